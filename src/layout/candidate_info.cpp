#include "layout/generators.h"

namespace varelo::layout {

void BuildCandidateInfo(SheetJob& job, int16_t layoutCode) {
    (void)job;
    (void)layoutCode;
}

}  // namespace varelo::layout

namespace varelo::layout {
int16_t ObjectiveStartRow(int16_t layoutCode) {
    static constexpr int16_t kRows[] = {30, 22, 30, 22, 22, 28};
    return layoutCode >= 1 && layoutCode <= 6 ? kRows[layoutCode - 1] : 0;
}
}  // namespace varelo::layout
