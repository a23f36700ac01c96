#include <gtest/gtest.h>

#include <memory>

#include "base/units.h"
#include "doc/application.h"
#include "edit/active_cells.h"
#include "edit/tools.h"

using namespace varelo::host;
using namespace varelo::tools;

namespace {

constexpr Border kThick{kLineStyleSingle, kLineWidth150pt, 255};
constexpr BorderOptions kUserOptions{2, kLineWidth150pt, 255};

// The active document holds a 6 x 8 grid with every edge and diagonal drawn thick, and the
// user has changed the default border options.
class ToolsTest : public ::testing::Test {
  protected:
    ToolsTest() : doc(app.AddDocument()), grid(doc.AddTableAtStart(6, 8)) {
        for (BorderType t : {BorderType::Top, BorderType::Bottom, BorderType::Left,
                             BorderType::Right, BorderType::Horizontal, BorderType::Vertical,
                             BorderType::DiagonalDown, BorderType::DiagonalUp})
            grid.SetBorder({1, 1, 6, 8}, t, kThick);
        app.options = kUserOptions;
        doc.saved = true;
    }

    void Click(void (*tool)(Application&, bool&)) {
        bool cancel = false;
        tool(app, cancel);
        EXPECT_FALSE(cancel);
    }

    Application app;
    Document& doc;
    Table& grid;
};

// A segment after the box tool: `across` and `along` locate it across and along its direction;
// the box spans lo..hi across and from..to along. Outside the box nothing changes.
void ExpectBoxed(const Border& b, int across, int along, int lo, int hi, int from, int to) {
    if (along < from || along > to || across < lo || across > hi + 1)
        EXPECT_EQ(b, kThick);
    else if (across == lo || across == hi + 1)
        EXPECT_EQ(b, kSolidBorder);
    else
        EXPECT_FALSE(b.Visible());
}

}  // namespace

TEST_F(ToolsTest, BoxLeavesOneThinFrameAndNothingInsideWhateverWasThere) {
    const Table before = grid;
    for (const CellRect b : {CellRect{2, 2, 4, 5}, CellRect{3, 7, 3, 7}}) {
        grid = before;
        app.options = kUserOptions;
        app.selection.SelectCells(grid, b);
        Click(cbbBox_Click);
        for (int r = 1; r <= 7; ++r)
            for (int c = 1; c <= 8; ++c) {
                SCOPED_TRACE(testing::Message() << "horizontal " << r << "," << c);
                ExpectBoxed(grid.HorizontalEdge(r, c), r, c, b.top, b.bottom, b.left, b.right);
            }
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 9; ++c) {
                SCOPED_TRACE(testing::Message() << "vertical " << r << "," << c);
                ExpectBoxed(grid.VerticalEdge(r, c), c, r, b.left, b.right, b.top, b.bottom);
            }
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 8; ++c)
                EXPECT_EQ(grid.At(r, c).diagonalUp.Visible(), !b.Contains(r, c));
        EXPECT_EQ(app.options, BorderOptions{});
        EXPECT_FALSE(doc.saved);
    }
}

TEST_F(ToolsTest, LineDrawsOnlyTheBottomEdgeAndResetsDefaults) {
    Table expected = grid;
    for (int c = 2; c <= 6; ++c) expected.HorizontalEdge(4, c) = kSolidBorder;
    app.selection.SelectCells(grid, {3, 2, 3, 6});
    Click(cbbLine_Click);
    EXPECT_EQ(grid, expected);
    EXPECT_EQ(app.options, BorderOptions{});
    EXPECT_FALSE(doc.saved);
}

TEST_F(ToolsTest, ASelectionThatCutsATallCellIsNeverGrownAndTouchesNoOtherCell) {
    grid.Merge({1, 2, 6, 2});  // a spacer column: one cell six rows high
    const Table before = grid;
    app.selection.SelectCells(grid, {3, 2, 4, 4});
    EXPECT_EQ(app.selection.Rect(), (CellRect{3, 2, 4, 4}));
    // Touched: the whole spacer, and rows 3-4 of columns 3-4.
    const auto touched = [](int r, int c) {
        return c == 2 || (r >= 3 && r <= 4 && (c == 3 || c == 4));
    };
    const auto inside = [&](int r, int c) {
        return r >= 1 && r <= 6 && c >= 1 && c <= 8 && touched(r, c);
    };
    for (auto tool : {cbbBox_Click, cbbLine_Click}) {
        grid = before;
        Click(tool);
        const bool box = tool == cbbBox_Click;
        for (int r = 1; r <= 7; ++r)
            for (int c = 1; c <= 8; ++c) {
                SCOPED_TRACE(testing::Message() << "horizontal " << r << "," << c);
                const bool up = inside(r - 1, c), down = inside(r, c);
                const Border& b = grid.HorizontalEdge(r, c);
                if (up && !down)
                    EXPECT_EQ(b, kSolidBorder);  // under the touched cells
                else if (box && down && !up)
                    EXPECT_EQ(b, kSolidBorder);
                else if (box && up && down)
                    EXPECT_FALSE(b.Visible());
                else
                    EXPECT_EQ(b, kThick);
            }
        for (int r = 1; r <= 6; ++r)
            for (int c = 1; c <= 9; ++c) {
                SCOPED_TRACE(testing::Message() << "vertical " << r << "," << c);
                const bool left = inside(r, c - 1), right = inside(r, c);
                const Border& b = grid.VerticalEdge(r, c);
                if (box && left != right)
                    EXPECT_EQ(b, kSolidBorder);
                else if (box && left && right)
                    EXPECT_FALSE(b.Visible());
                else
                    EXPECT_EQ(b, kThick);
            }
    }
}

TEST_F(ToolsTest, MergeRefusesFewerThanTwoCellsWithItsMessage) {
    grid.Merge({1, 1, 2, 2});
    const Table before = grid;
    // One plain cell, and a merged cell that covers several slots but is one cell.
    for (const CellRect rect : {CellRect{4, 4, 4, 4}, CellRect{1, 1, 2, 2}}) {
        app.messages.clear();
        app.selection.SelectCells(grid, rect);
        Click(cbbHebing_Click);
        EXPECT_EQ(app.messages, std::vector<std::string>{"请先选择要合并的区域"});
        EXPECT_EQ(grid, before);
    }
    EXPECT_TRUE(doc.saved);
}

TEST_F(ToolsTest, MergeJoinsTheCellsAndCentresTheResult) {
    grid.At(2, 4).InsertAfter("右");
    grid.At(2, 3).InsertAfter("左");
    app.selection.SelectCells(grid, {2, 3, 2, 4});
    Click(cbbHebing_Click);
    EXPECT_EQ(grid.CellArea(2, 4), (CellRect{2, 3, 2, 4}));
    EXPECT_EQ(grid.At(2, 3).Text(), "左\r右");
    EXPECT_EQ(grid.At(2, 3).verticalAlignment, CellVAlign::Center);
    EXPECT_TRUE(app.messages.empty());
    EXPECT_FALSE(doc.saved);
}

TEST_F(ToolsTest, RefusedMergeIsSilentAndStillCentresTheFirstCell) {
    grid.Merge({2, 2, 3, 2});
    grid.At(2, 2).InsertAfter("!");
    grid.At(2, 2).ApplyCharFormat({kFontBubble, 12, {}});
    app.askToConfirm = [this](const std::string& q) {
        app.messages.push_back(q);
        return true;
    };
    app.selection.SelectCells(grid, {3, 2, 4, 3});  // cuts the merged cell in half
    Click(cbbHebing_Click);
    EXPECT_TRUE(app.messages.empty());  // nothing is lost, so nothing is asked
    EXPECT_EQ(grid.CellArea(4, 3), (CellRect{4, 3, 4, 3}));
    EXPECT_EQ(grid.CellArea(2, 2), (CellRect{2, 2, 3, 2}));
    EXPECT_EQ(grid.At(3, 2).verticalAlignment, CellVAlign::Center);
    EXPECT_FALSE(doc.saved);
}

TEST_F(ToolsTest, MergingBubblesOrMarksAsksFirstAndANoChangesNothing) {
    grid.At(4, 4).InsertAfter("A");
    grid.At(4, 4).ApplyCharFormat({kFontBubble, 10, {}});
    std::vector<std::string> asked;
    bool answer = false;
    app.askToConfirm = [&](const std::string& q) {
        asked.push_back(q);
        return answer;
    };
    const Table before = grid;
    app.selection.SelectCells(grid, {4, 3, 5, 4});
    Click(cbbHebing_Click);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], kLosesBubbles);
    EXPECT_EQ(grid, before);
    EXPECT_TRUE(doc.saved);

    answer = true;
    Click(cbbHebing_Click);
    EXPECT_EQ(grid.CellArea(4, 4), (CellRect{4, 3, 5, 4}));
    // Plain text in a sheet font is no bubble: merging it asks nothing.
    asked.clear();
    grid.At(1, 1).InsertAfter("A");
    app.selection.SelectCells(grid, {1, 1, 1, 2});
    Click(cbbHebing_Click);
    EXPECT_TRUE(asked.empty());
    EXPECT_EQ(grid.CellArea(1, 2), (CellRect{1, 1, 1, 2}));
}

TEST_F(ToolsTest, GridToggleRestoresAfterTwoClicksAndLeavesTheDocumentAlone) {
    Click(cbbGrid_Click);
    EXPECT_FALSE(app.view.tableGridlines);
    Click(cbbGrid_Click);
    EXPECT_TRUE(app.view.tableGridlines);
    EXPECT_TRUE(doc.saved);
}

TEST_F(ToolsTest, SelectionsOutsideTheActiveDocumentAreIgnoredAndNestedTablesReached) {
    Table loose(12, 12);
    const Table looseBefore = loose, before = grid;
    for (bool select : {false, true}) {
        if (select) app.selection.SelectCells(loose, {1, 1, 12, 12});
        for (auto tool : {cbbBox_Click, cbbLine_Click, cbbHebing_Click, cbbZuwen_Click})
            Click(tool);
    }
    EXPECT_EQ(loose, looseBefore);
    EXPECT_EQ(grid, before);
    EXPECT_TRUE(app.messages.empty());
    EXPECT_EQ(app.options, kUserOptions);
    EXPECT_TRUE(doc.saved);

    Content& story = grid.At(2, 2).content;
    story.insert(story.begin(), Block{std::make_unique<Table>(3, 3)});
    app.selection.SelectCells(*story.front().table, {1, 1, 2, 2});
    Click(cbbBox_Click);
    EXPECT_EQ(story.front().table->HorizontalEdge(3, 2), kSolidBorder);
    EXPECT_FALSE(doc.saved);
}
