#include "layout/generators.h"

namespace varelo::layout {

void BuildPageGrid(SheetJob& job, int16_t layoutCode) {
    (void)job;
    (void)layoutCode;
}

}  // namespace varelo::layout

namespace varelo::layout {
int GridRows(int16_t layoutCode) {
    static constexpr int kRows[] = {130, 130, 115, 115, 126, 108};
    return layoutCode >= 1 && layoutCode <= 6 ? kRows[layoutCode - 1] : 0;
}
}  // namespace varelo::layout
