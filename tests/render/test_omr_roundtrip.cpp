// The scanner template against the printed sheet: pages rendered to PNG at 200 dpi, bubbles
// filled inside the template's rectangles, everything read back through the template alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "host/application.h"
#include "layout/omr_template.h"
#include "render/export.h"
#include "render/omr_probe.h"
#include "render/render_support.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

using namespace varelo;
using namespace varelo::omrprobe;
namespace fs = std::filesystem;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

class OmrRoundTrip : public ::testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite() { rendertest::StartOffscreen(); }

    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir = fs::temp_directory_path() / ("varelo_omr_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);

        // The example sheet: default texts, nine digits, one default group of 30 items
        // with 4 options at 1 point, in the layout under test.
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = GetParam();
        settings::cmdAdd_Click(app, form);
        doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(app.messages.empty()) << app.messages.front();
        sheet = layout::BuildOmrTemplate(*doc, form, *settings::LayoutCode(form.cmbPage));

        for (const std::string& path : render::ExportPng(*doc, (dir / "page").string(), kDpi)) {
            pages.emplace_back(QString::fromStdString(path));
            ASSERT_FALSE(pages.back().isNull()) << path;
        }
        ASSERT_EQ(pages.size(), sheet.pages.size());
    }
    void TearDown() override { fs::remove_all(dir); }

    QImage& Page(const layout::OmrRect& r) { return pages.at(static_cast<size_t>(r.page - 1)); }

    void Paint(const layout::OmrBubble& b) {
        QPainter painter(&Page(b.rect));
        painter.fillRect(Pixels(b.rect), Qt::black);
    }

    fs::path dir;
    host::Application app;
    layout::SheetForm form;
    host::Document* doc = nullptr;
    layout::OmrTemplate sheet;
    std::vector<QImage> pages;
};

TEST_P(OmrRoundTrip, MarksLieWhereTheTemplatePutsThem) {
    EXPECT_EQ(ExpectMarksInPlace(pages, sheet), 3u * 2 + 10 + 8);
}

TEST_P(OmrRoundTrip, EmptyBubblesPrintInsideTheirRectangles) {
    EXPECT_EQ(ExpectBubblesInPlace(pages, sheet), 9u * 10 + 30u * 4);
}

TEST_P(OmrRoundTrip, FilledAnswersAndCandidateNumberReadBack) {
    const std::string number = "907153284";
    ASSERT_EQ(sheet.candidateColumns.size(), number.size());
    for (size_t c = 0; c < number.size(); ++c)
        Paint(sheet.candidateColumns[c][static_cast<size_t>(number[c] - '0')]);

    // One answer for most items, two for every seventh, none for every eleventh.
    std::vector<std::set<std::string>> answers;
    for (const layout::OmrItem& item : sheet.items) {
        std::set<std::string> chosen;
        const size_t n = item.options.size();
        if (item.number % 11 != 0)
            chosen.insert(item.options[static_cast<size_t>(item.number * 3) % n].value);
        if (item.number % 7 == 0)
            chosen.insert(item.options[static_cast<size_t>(item.number + 1) % n].value);
        for (const layout::OmrBubble& b : item.options)
            if (chosen.count(b.value)) Paint(b);
        answers.push_back(chosen);
    }

    std::string read;
    for (const auto& column : sheet.candidateColumns) {
        std::string digits;
        for (const layout::OmrBubble& b : column)
            if (Filled(Page(b.rect), b)) digits += b.value;
        EXPECT_EQ(digits.size(), 1u)
            << "column " << read.size() + 1 << " reads \"" << digits << "\"";
        read += digits;
    }
    EXPECT_EQ(read, number);

    ASSERT_EQ(sheet.items.size(), 30u);
    for (size_t i = 0; i < sheet.items.size(); ++i) {
        std::set<std::string> got;
        for (const layout::OmrBubble& b : sheet.items[i].options)
            if (Filled(Page(b.rect), b)) got.insert(b.value);
        EXPECT_EQ(got, answers[i]) << "item " << sheet.items[i].number;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, OmrRoundTrip, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return "Layout" + std::to_string(info.index + 1);
                         });

}  // namespace
