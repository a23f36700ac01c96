// Item numbers of three digits stay legible in Varelo's own rendering: a clear gap between
// neighbouring numbers in every layout.
#include <gtest/gtest.h>

#include <string>

#include "host/application.h"
#include "host/page_layout.h"
#include "number_gaps.h"
#include "render/render_support.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

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
        host::Application app;
        layout::SheetForm form;
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = layout;
        form.txtQ_Count = std::to_string(items);
        settings::cmdAdd_Click(app, form);
        const host::Document* doc = settings::OKButton_Click(app, form);
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
