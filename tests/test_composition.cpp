#include <gtest/gtest.h>

#include "base/units.h"
#include "doc/application.h"
#include "doc/geometry.h"
#include "edit/tools.h"

using namespace varelo::host;
using namespace varelo::tools;

namespace {

// An application whose active document's first table is a grid of exact rows; column 1 is
// firstCm wide, the others otherCm.
class CompositionTest : public ::testing::Test {
  protected:
    Table& MakeGrid(int rows, int columns, double firstCm, double otherCm) {
        Table& t = doc.AddTableAtStart(rows, columns);
        t.SetAllRows(RowHeightRule::Exactly, CentimetersToPoints(0.42324));
        for (int c = 1; c <= columns; ++c)
            t.ColumnWidth(c) = {PreferredWidthType::Points,
                                CentimetersToPoints(c == 1 ? firstCm : otherCm)};
        doc.saved = true;
        return t;
    }

    void Click() {
        bool cancel = false;
        cbbZuwen_Click(app, cancel);
    }

    Application app;
    Document& doc = app.AddDocument();
};

double Cm(double points) {
    return PointsToCentimeters(points);
}

}  // namespace

TEST_F(CompositionTest, ElevenByElevenHalfCentimetreCellsHoldFourRowsOfSevenSquares) {
    Table& grid = MakeGrid(20, 20, 0.5, 0.5);
    const CellRect block{3, 2, 13, 12};
    app.selection.SelectCells(grid, block);
    Click();

    EXPECT_TRUE(app.messages.empty());
    EXPECT_EQ(grid.CellArea(13, 12), block);
    EXPECT_EQ(app.selection.Rect(), block);
    EXPECT_FALSE(doc.saved);
    Cell& cell = grid.At(3, 2);
    EXPECT_EQ(cell.verticalAlignment, CellVAlign::Center);
    // The empty paragraph of the block gives the grid its place and follows it.
    ASSERT_EQ(cell.content.size(), 2u);
    ASSERT_TRUE(cell.content[0].IsTable());
    EXPECT_FALSE(cell.content[1].IsTable());
    const Table& paper = *cell.content[0].table;

    ASSERT_EQ(paper.Rows(), 9);
    ASSERT_EQ(paper.Columns(), 7);
    EXPECT_EQ(paper.autoFit, AutoFit::Fixed);
    EXPECT_EQ(paper.preferredWidth.type, PreferredWidthType::Points);
    EXPECT_NEAR(Cm(paper.preferredWidth.value), 7 * 0.75, 1e-9);
    for (double w : ResolveColumnWidths(paper, 0)) EXPECT_NEAR(Cm(w), 0.75, 1e-9);

    const Border frame{kLineStyleSingle, kLineWidth150pt, kColorAutomatic};
    for (int r = 1; r <= 9; ++r) {
        SCOPED_TRACE(r);
        const bool gap = r % 2 == 1;
        EXPECT_EQ(paper.Row(r).heightRule, RowHeightRule::Exactly);
        EXPECT_NEAR(Cm(paper.Row(r).height), gap ? 0.3 : 0.75, 1e-9);
        EXPECT_EQ(paper.VerticalEdge(r, 1), frame);
        EXPECT_EQ(paper.VerticalEdge(r, 8), frame);
        for (int c = 2; c <= 7; ++c) EXPECT_EQ(paper.VerticalEdge(r, c).Visible(), !gap) << c;
        if (!gap) {
            EXPECT_EQ(paper.VerticalEdge(r, 4), kSolidBorder);
        }
    }
    for (int c = 1; c <= 7; ++c) {
        EXPECT_EQ(paper.HorizontalEdge(1, c), frame);
        EXPECT_EQ(paper.HorizontalEdge(10, c), frame);
        for (int r = 2; r <= 9; ++r) EXPECT_EQ(paper.HorizontalEdge(r, c), kSolidBorder);
    }
}

TEST_F(CompositionTest, TextInTheBlockStaysAboveTheGrid) {
    Table& grid = MakeGrid(12, 12, 0.5, 0.5);
    grid.At(1, 1).InsertAfter("作文");
    grid.At(5, 5).InsertAfter("草稿");
    app.selection.SelectCells(grid, {1, 1, 12, 12});
    Click();

    const Content& story = grid.At(1, 1).content;
    ASSERT_EQ(story.size(), 3u);
    EXPECT_EQ(story[0].paragraph.Text(), "作文");
    EXPECT_TRUE(story[1].IsTable());
    EXPECT_EQ(story[2].paragraph.Text(), "草稿");
}

TEST_F(CompositionTest, SquaresFollowRowCountAndFirstCellWidthInSinglePrecision) {
    struct Case {
        int rows, columns;
        double firstCm, otherCm;
        int squareRows, squares;
    };
    const Case cases[] = {
        {30, 11, 0.5, 0.5, 11, 7},
        {11, 11, 0.3, 0.5, 4, 4},   // a narrow first column counts for every column
        {11, 11, 0.7, 0.5, 4, 10},  // and a wide one overcounts
        // 20 x 0.3 cm is 6 cm on paper, but 5.9999995 in single precision: 7 squares, not 8.
        {11, 20, 0.3, 0.3, 4, 7},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << k.rows << "x" << k.columns << " first " << k.firstCm);
        Table& grid = MakeGrid(k.rows, k.columns, k.firstCm, k.otherCm);
        app.selection.SelectCells(grid, {1, 1, k.rows, k.columns});
        Click();
        ASSERT_TRUE(grid.At(1, 1).content.front().IsTable());
        const Table& paper = *grid.At(1, 1).content.front().table;
        EXPECT_EQ(paper.Rows(), 2 * k.squareRows + 1);
        EXPECT_EQ(paper.Columns(), k.squares);
    }
    EXPECT_TRUE(app.messages.empty());
}

TEST_F(CompositionTest, UnsuitableBlocksAreRefusedWithTheDocumentUnchanged) {
    struct Case {
        const char* what;
        int rows, columns;
        double firstCm;
    };
    const Case cases[] = {
        {"ten rows", 10, 30, 0.5},
        {"ten columns", 30, 10, 0.5},
        {"first cell too narrow for one square", 11, 11, 0.05},
        {"more squares than a table may have columns", 11, 11, 5.0},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        app.messages.clear();
        Table& grid = MakeGrid(k.rows, k.columns, k.firstCm, 0.5);
        const Table before = grid;
        app.selection.SelectCells(grid, {1, 1, k.rows, k.columns});
        Click();
        EXPECT_EQ(app.messages, std::vector<std::string>{"请先选定合适的区域"});
        EXPECT_EQ(grid, before);
        EXPECT_TRUE(doc.saved);
    }
}

TEST_F(CompositionTest, BlockThatCutsAMergedCellIsRefusedWithItsMessageBeforeAnyChange) {
    Table& grid = MakeGrid(14, 14, 0.5, 0.5);
    grid.Merge({12, 1, 13, 2});
    const Table before = grid;
    app.selection.SelectCells(grid, {1, 1, 12, 12});
    Click();
    EXPECT_EQ(app.messages, std::vector<std::string>{"请先选定合适的区域"});
    EXPECT_EQ(grid, before);
    EXPECT_TRUE(doc.saved);
}
