#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/geometry.h"
#include "host/page_layout.h"
#include "host/units.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

using namespace varelo;
using host::PageLayout;

namespace {

// A 200 x 100 pt page with 10 pt margins: 80 pt of text height.
host::Document SmallPage() {
    host::Document doc;
    doc.pageSetup.pageWidth = 200;
    doc.pageSetup.pageHeight = 100;
    doc.pageSetup.topMargin = doc.pageSetup.bottomMargin = 10;
    doc.pageSetup.leftMargin = doc.pageSetup.rightMargin = 10;
    return doc;
}

host::Paragraph Line(const std::string& text, double exactly) {
    host::Paragraph p;
    p.format.lineSpacingRule = host::LineSpacingRule::Exactly;
    p.format.lineSpacing = exactly;
    p.runs.push_back({text, {}});
    return p;
}

TEST(PageLayout, SheetGridSplitsWhereItsLayoutSays) {
    // Rows on page 1 of the page grid: 65 (A3), 58 (8开), 63 (A4), 54 (B5).
    const struct {
        const char* layout;
        int firstOnPage2, rows;
    } cases[] = {
        {"A3三栏", 66, 130}, {"8开双栏", 59, 115}, {"A4单栏", 64, 126}, {"B5单栏", 55, 108}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        host::Application app;
        layout::SheetForm form;
        settings::Form_Load(form);
        form.cmbPage = c.layout;
        const host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr);

        const PageLayout pages = host::LayOutPages(*doc);
        EXPECT_EQ(pages.pageCount, 2);  // the closing paragraph opens no third page
        const host::PlacedTable& grid = *pages.FirstTable();
        ASSERT_EQ(grid.rowPage.size(), static_cast<size_t>(c.rows));
        EXPECT_EQ(grid.RowPage(c.firstOnPage2 - 1), 0);
        EXPECT_EQ(grid.RowPage(c.firstOnPage2), 1);
        EXPECT_DOUBLE_EQ(grid.RowTop(1), doc->pageSetup.topMargin);
        EXPECT_DOUBLE_EQ(grid.RowTop(c.firstOnPage2), doc->pageSetup.topMargin);

        // Centred in the text width, columns as the shared geometry resolves them.
        const host::PageSetup& ps = doc->pageSetup;
        const std::vector<double> widths = host::ResolveColumnWidths(*grid.table, ps.TextWidth());
        const double width = std::accumulate(widths.begin(), widths.end(), 0.0);
        EXPECT_NEAR(grid.ColumnLeft(1) - ps.leftMargin, (ps.TextWidth() - width) / 2, 1e-9);
        EXPECT_NEAR(grid.ColumnWidth(5), widths[4], 1e-9);
        EXPECT_NEAR(grid.columnX.back() - grid.columnX.front(), width, 1e-9);
    }
}

TEST(PageLayout, RowsMoveWholeToTheNextPage) {
    host::Document doc = SmallPage();
    host::Table& t = doc.AddTableAtStart(5, 2);
    t.SetAllRows(host::RowHeightRule::Exactly, 30);
    t.Row(4).height = 200;  // taller than any page: it stays on a page of its own
    t.Merge({2, 1, 3, 1});

    const PageLayout pages = host::LayOutPages(doc);
    const host::PlacedTable& pt = *pages.FirstTable();
    EXPECT_EQ(pt.rowPage, (std::vector<int>{0, 0, 1, 2, 3}));
    EXPECT_EQ(pt.rowTop, (std::vector<double>{10, 40, 10, 10, 10}));
    EXPECT_EQ(pages.pageCount, 4);

    // A merged cell across the break: the part on the page where it starts.
    const std::optional<host::PageRect> merged = pt.CellRect(3, 1);
    ASSERT_TRUE(merged);
    EXPECT_EQ(*merged, (host::PageRect{0, 10, 40, 90, 30}));
    EXPECT_FALSE(pt.CellRect(6, 1));
    EXPECT_FALSE(pt.CellRect(1, 0));
}

TEST(PageLayout, ParagraphsFlowWithTheTables) {
    host::Document doc = SmallPage();
    doc.body.clear();
    doc.body.emplace_back(Line("a\r\nb", 20));  // two lines
    doc.AddTableAtStart(1, 1);                  // before the paragraph
    doc.body.emplace_back(Line("c", 50));
    doc.body.emplace_back(Line("", 50));  // closing, empty: never opens a page
    doc.body.front().table->Row(1) = {15, host::RowHeightRule::Exactly};

    std::vector<std::string> measured;
    const PageLayout pages = host::LayOutPages(doc, [&](const host::Paragraph& p, double width) {
        measured.push_back(p.Text());
        EXPECT_DOUBLE_EQ(width, 180);
        return host::EstimateParagraph(doc, p, width);
    });
    EXPECT_EQ(measured, (std::vector<std::string>{"a\r\nb", "c", ""}));
    ASSERT_EQ(pages.paragraphs.size(), 3u);
    using Lines = std::vector<std::pair<int, double>>;
    EXPECT_EQ(pages.paragraphs[0].lines, (Lines{{0, 25}, {0, 45}}));
    EXPECT_EQ(pages.paragraphs[1].lines, (Lines{{1, 10}}));
    EXPECT_TRUE(pages.paragraphs[2].lines.empty());
    EXPECT_EQ(pages.pageCount, 2);

    // A closing paragraph with text does take a page.
    doc.body.back() = host::Block(Line("d", 50));
    EXPECT_EQ(host::LayOutPages(doc).pageCount, 3);
}

}  // namespace
