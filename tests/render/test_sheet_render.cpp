#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <filesystem>

#include "dialog_sheet.h"
#include "render/export.h"
#include "render/render_support.h"

using namespace varelo;
using namespace varelo::rendertest;
namespace fs = std::filesystem;

namespace {

constexpr int kDpi = 144;
constexpr double kPx = kDpi / 72.0;

// The A3三栏 example: default texts, nine digits, one group of 30 items with 4 options,
// exported to PNG at 144 dpi.
class SheetRender : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        StartOffscreen();
        app = new host::Application;
        settings::SheetForm form;
        doc = fixture::MakeSheet(*app, form, "A3三栏");
        ASSERT_NE(doc, nullptr);
        // ctest runs the tests of this suite in parallel processes: each gets its own folder.
        dir = new fs::path(fs::temp_directory_path() /
                           ("varelo_sheet_render_" + std::to_string(::getpid())));
        fs::create_directories(*dir);
        const std::vector<std::string> paths =
            render::ExportPng(*doc, (*dir / "sheet").string(), kDpi);
        ASSERT_EQ(paths.size(), 2u);
        for (int i = 0; i < 2; ++i)
            pages[i] = new QImage(QString::fromStdString(paths[static_cast<size_t>(i)]));
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(*dir, ignored);
        delete dir;
        for (QImage*& p : pages) delete p, p = nullptr;
        delete app;
    }

    // Where a grid cell lies on its page, from the renderer's own geometry.
    static QRectF CellOn(int page, int r, int c) {
        const render::PageRenderer renderer(*doc);
        const std::vector<QRectF> rects = renderer.CellRects(page, doc->Tables(1), {r, c, r, c});
        EXPECT_EQ(rects.size(), 1u) << r << "," << c;
        return rects.empty() ? QRectF() : rects.front();
    }
    static double Share(int page, const QRectF& points) {
        return DarkShare(*pages[page], points, kPx);
    }

    static host::Application* app;
    static host::Document* doc;
    static fs::path* dir;
    static QImage* pages[2];
};
host::Application* SheetRender::app = nullptr;
host::Document* SheetRender::doc = nullptr;
fs::path* SheetRender::dir = nullptr;
QImage* SheetRender::pages[2] = {};

}  // namespace

TEST_F(SheetRender, PositioningMarksAreBlackAndTheTopRightCornerIsEmpty) {
    struct Mark {
        int page, row, column;
        bool right;
    };
    std::vector<Mark> marks = {{0, 1, 1, false},  {0, 65, 1, false},  {0, 65, 63, true},
                               {1, 66, 1, false}, {1, 130, 1, false}, {1, 130, 63, true}};
    for (int r = 11; r <= 20; ++r) marks.push_back({0, r, 1, false});  // bubble rows
    for (int r : {31, 34, 37, 40}) marks.push_back({0, r, 1, false});  // option rows
    for (const Mark& m : marks) {
        SCOPED_TRACE(::testing::Message() << "row " << m.row << " column " << m.column);
        const QRectF cell = CellOn(m.page, m.row, m.column);
        const double left = m.right ? cell.right() - 12 : cell.left();
        EXPECT_GT(Share(m.page, QRectF(left + 2, cell.top() + 3.5, 8, 5)), 0.9);
    }
    // No mark beside the number and spacer rows of the objective section.
    for (int r : {30, 35, 36, 41}) EXPECT_EQ(Share(0, CellOn(0, r, 1)), 0) << r;
    // The fourth corner of each page stays empty.
    for (int page : {0, 1}) {
        const int top = page == 0 ? 1 : 66;
        const QRectF corner = CellOn(page, top, 58).united(CellOn(page, top + 4, 63));
        EXPECT_EQ(Share(page, corner), 0) << page;
    }
}

TEST_F(SheetRender, BubbleAreaHasVerticalRulesButNoneBetweenBubbleRows) {
    for (int c = 14; c <= 21; ++c) {
        const double x = CellOn(0, 11, c).left();
        const QRectF column(x - 0.3, CellOn(0, 11, c).top(), 0.6,
                            CellOn(0, 20, c).bottom() - CellOn(0, 11, c).top());
        EXPECT_GT(RuleCoverage(*pages[0], column, kPx), 0.95) << c;
    }
    for (int r = 11; r < 20; ++r)
        for (int c = 13; c <= 21; ++c) {
            const QRectF cell = CellOn(0, r, c);
            EXPECT_EQ(Share(0, QRectF(cell.left() + 1, cell.bottom() - 0.6, cell.width() - 2, 1.2)),
                      0)
                << r << "," << c;
        }
    // The frame closes the area: a rule above the first bubble row and below the last.
    const QRectF first = CellOn(0, 11, 15), last = CellOn(0, 20, 15);
    EXPECT_GT(
        RuleCoverage(*pages[0], QRectF(first.left() + 2, first.top() - 0.6, first.width() - 4, 1.2),
                     kPx),
        0.95);
    EXPECT_GT(
        RuleCoverage(*pages[0], QRectF(last.left() + 2, last.bottom() - 0.6, last.width() - 4, 1.2),
                     kPx),
        0.95);
}

TEST_F(SheetRender, EachPageShowsItsPageNumber) {
    const QRectF one = CellOn(0, 64, 31).united(CellOn(0, 65, 33));
    const QRectF two = CellOn(1, 129, 31).united(CellOn(1, 130, 33));
    EXPECT_GT(Share(0, one), 0.03);
    EXPECT_GT(Share(1, two), 0.03);
    // Page 2 holds nothing but its marks and its number: its upper half is blank.
    EXPECT_EQ(Share(1, CellOn(1, 66, 3).united(CellOn(1, 100, 61))), 0);
}
