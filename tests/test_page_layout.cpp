#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "doc/geometry.h"
#include "doc/page_layout.h"

using namespace varelo;

namespace {

TEST(PageLayout, SheetGridSplitsWhereItsLayoutSays) {
    // Rows on page 1 of the page grid: 65 (A3), 58 (8开), 63 (A4), 54 (B5).
    const struct {
        const char* layout;
        int firstOnPage2;
    } cases[] = {{"A3三栏", 66}, {"8开双栏", 59}, {"A4单栏", 64}, {"B5单栏", 55}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        const fixture::DialogSheet sheet(c.layout, {});  // no objective group
        const host::Document* doc = sheet.doc;
        ASSERT_NE(doc, nullptr);

        const host::PageLayout pages = host::LayOutPages(*doc);
        EXPECT_EQ(pages.pageCount, 2);  // the closing paragraph opens no third page
        const host::PlacedTable& grid = *pages.FirstTable();
        EXPECT_EQ(grid.RowPage(c.firstOnPage2 - 1), 0);
        EXPECT_EQ(grid.RowPage(c.firstOnPage2), 1);
        EXPECT_DOUBLE_EQ(grid.RowTop(c.firstOnPage2), doc->pageSetup.topMargin);
        // Centred in the text width, with the columns of the shared geometry.
        const host::PageSetup& ps = doc->pageSetup;
        const std::vector<double> widths = host::ResolveColumnWidths(*grid.table, ps.TextWidth());
        const double width = std::accumulate(widths.begin(), widths.end(), 0.0);
        EXPECT_NEAR(grid.ColumnLeft(1) - ps.leftMargin, (ps.TextWidth() - width) / 2, 1e-9);
        EXPECT_NEAR(grid.ColumnWidth(5), widths[4], 1e-9);
    }
}

// A 200 x 100 pt page with 10 pt margins: 80 pt of text height.
TEST(PageLayout, RowsAndLinesMoveWholeToTheNextPage) {
    host::Document doc;
    doc.pageSetup.pageWidth = 200;
    doc.pageSetup.pageHeight = 100;
    doc.pageSetup.topMargin = doc.pageSetup.bottomMargin = 10;
    doc.pageSetup.leftMargin = doc.pageSetup.rightMargin = 10;
    host::Table& t = doc.AddTableAtStart(5, 2);
    t.SetAllRows(host::RowHeightRule::Exactly, 30);
    t.Row(4).height = 200;  // taller than any page: it stays alone on a page
    t.Merge({2, 1, 3, 1});
    host::Paragraph p;
    p.format.lineSpacingRule = host::LineSpacingRule::Exactly;
    p.format.lineSpacing = 20;
    p.runs.push_back({"a\r\nb", {}, nullptr});
    doc.body.insert(doc.body.begin() + 1, host::Block(p));  // two lines after the table

    std::vector<std::string> measured;
    const host::PageLayout pages =
        host::LayOutPages(doc, [&](const host::Paragraph& q, double width) {
            measured.push_back(q.Text());
            return host::EstimateParagraph(doc, q, width);
        });
    const host::PlacedTable& pt = *pages.FirstTable();
    EXPECT_EQ(pt.rowPage, (std::vector<int>{0, 0, 1, 2, 3}));
    EXPECT_EQ(pt.rowTop, (std::vector<double>{10, 40, 10, 10, 10}));
    // A merged cell across the break: its part on the page where it starts.
    EXPECT_EQ(pt.CellRect(3, 1), (host::PageRect{0, 10, 40, 90, 30}));
    EXPECT_FALSE(pt.CellRect(6, 1));

    EXPECT_EQ(measured, (std::vector<std::string>{"a\r\nb", ""}));
    using Lines = std::vector<std::pair<int, double>>;
    EXPECT_EQ(pages.paragraphs[0].lines, (Lines{{3, 40}, {3, 60}}));
    // The closing empty paragraph does not fit and opens no page.
    EXPECT_TRUE(pages.paragraphs[1].lines.empty());
    EXPECT_EQ(pages.pageCount, 4);
}

}  // namespace
