// Item numbers of three digits stay legible in Varelo's own rendering: a clear gap between
// neighbouring numbers in every layout.
#include <gtest/gtest.h>

#include <string>

#include "dialog_sheet.h"
#include "doc/page_layout.h"
#include "number_gaps.h"
#include "render/render_support.h"

using namespace varelo;
using namespace varelo::rendertest;

TEST(ItemNumbers, ThreeDigitNeighboursKeepHalfAMillimetreApart) {
    StartOffscreen();
    // A group long enough to fill both pages of each layout.
    const std::pair<const char*, int> sheets[] = {{"A3三栏", 840},  {"A3双栏", 925},
                                                  {"8开三栏", 555}, {"8开双栏", 660},
                                                  {"A4单栏", 320},  {"B5单栏", 240}};
    for (const auto& [layout, items] : sheets) {
        SCOPED_TRACE(layout);
        const fixture::DialogSheet sheet(layout, {{"选择题", std::to_string(items), "", "1"}});
        const host::Document* doc = sheet.doc;
        ASSERT_NE(doc, nullptr);
        const host::PageLayout pages = host::LayOutPages(*doc);
        const PageRenderer renderer(*doc);
        int measured = 0;
        for (int page = 0; page < 2; ++page) {
            const auto pairs = varelo::testing::NeighbouringLongNumbers(*pages.FirstTable(), page);
            if (pairs.empty()) continue;
            measured += static_cast<int>(pairs.size());
            const QImage image = Render(renderer, page);
            EXPECT_GE(varelo::testing::NarrowestGapMm(image, kScale, *pages.FirstTable(), pairs),
                      0.5)
                << "page " << page + 1;
        }
        EXPECT_GT(measured, 100);
    }
}
