#include "layout/generators.h"

namespace varelo::layout {

void BuildObjectiveSection(SheetJob& job, int16_t layoutCode) {
    (void)job;
    (void)layoutCode;
}

}  // namespace varelo::layout

namespace varelo::layout {
int ItemsPerBlock(int16_t layoutCode) {
    static constexpr int kItems[] = {15, 25, 15, 20, 20, 20};
    return layoutCode >= 1 && layoutCode <= 6 ? kItems[layoutCode - 1] : 0;
}
}  // namespace varelo::layout
