#include "layout/generators.h"

namespace varelo::layout {

void BuildObjectiveSection(SheetJob& job, int16_t layoutCode) {
    (void)job;
    (void)layoutCode;
}

}  // namespace varelo::layout
