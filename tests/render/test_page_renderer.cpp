#include <gtest/gtest.h>

#include <memory>

#include "doc/border_pass.h"
#include "render/page_renderer.h"
#include "render/render_support.h"

using namespace varelo;
using namespace varelo::render;
using namespace varelo::rendertest;

namespace {

class PageRendererTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { StartOffscreen(); }
};

// Centre of the dark pixels in a rectangle, in points.
QPointF DarkCentre(const QImage& image, const QRectF& points) {
    const QRect px =
        QRectF(points.topLeft() * kScale, points.size() * kScale).toAlignedRect() & image.rect();
    double sx = 0, sy = 0;
    int n = 0;
    for (int y = px.top(); y <= px.bottom(); ++y)
        for (int x = px.left(); x <= px.right(); ++x)
            if (Dark(image.pixel(x, y))) sx += x, sy += y, ++n;
    return n ? QPointF(sx / n, sy / n) / kScale : QPointF(-1, -1);
}

void Frame(host::Table& t, const host::CellRect& rect, const host::Border& border) {
    for (auto type : {host::BorderType::Left, host::BorderType::Right, host::BorderType::Top,
                      host::BorderType::Bottom})
        t.SetBorder(rect, type, border);
}

}  // namespace

// The glyphs of the bubble font, at 12 pt on an exactly 12 pt line, left-aligned in their
// cell: the glyph's box runs 0.09 to 0.91 em across and 0.02 below to 0.62 em above the
// baseline, which lies 2.4 pt above the foot of the line.
TEST_F(PageRendererTest, BubbleFontDrawsMarksBubblesAndFills) {
    struct Case {
        const char* text;
        double minShare, maxShare;
    };
    const Case cases[] = {
        {"!", 0.95, 1.0}, {"3", 0.12, 0.45}, {"A", 0.12, 0.45}, {"%", 0.5, 0.8}, {"$", 0.15, 0.5}};
    GridPage page;
    for (int i = 0; i < 5; ++i)
        page.Write(2 * i + 1, 2, cases[i].text, host::kFontBubble, 12, host::Alignment::Left);
    const QImage image = Render(PageRenderer(page.doc), 0);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(cases[i].text);
        const QRectF cell = GridPage::Cell(2 * i + 1, 2);
        const QRectF glyph(cell.left() + 0.09 * 12, cell.bottom() - 2.4 - 0.62 * 12, 0.82 * 12,
                           0.64 * 12);
        const double share = DarkShare(image, glyph.adjusted(0.5, 0.5, -0.5, -0.5));
        EXPECT_GE(share, cases[i].minShare);
        EXPECT_LE(share, cases[i].maxShare);
        // Nothing spills out of the line into the rows above and below.
        EXPECT_EQ(DarkShare(image, GridPage::Cell(2 * i + 2, 2)), 0);
        EXPECT_EQ(DarkShare(image, QRectF(cell.left(), cell.top(), cell.width(), 1.5)), 0);
    }
    // A bubble is hollow: white between its outline and the label.
    const QRectF bubble = GridPage::Cell(3, 2);
    EXPECT_EQ(DarkShare(image, QRectF(bubble.left() + 2.2, bubble.top() + 5, 1.5, 2)), 0);
    // Empty cells stay white.
    EXPECT_EQ(DarkShare(image, GridPage::Cells(1, 4, 10, 10)), 0);
}

TEST_F(PageRendererTest, BordersFollowEdgeSegmentsAndTheirWidths) {
    GridPage page;
    host::Table& t = *page.table;
    // A frame with inside verticals only: the bubble area's rules.
    Frame(t, {2, 2, 5, 5}, host::kSolidBorder);
    t.SetBorder({2, 2, 5, 5}, host::BorderType::Vertical, host::kSolidBorder);
    // A thick rule under row 8 of columns 2-3.
    host::Border thick = host::kSolidBorder;
    thick.lineWidth = host::kLineWidth150pt;
    t.SetBorder({8, 2, 8, 3}, host::BorderType::Bottom, thick);
    t.At(9, 6).diagonalDown = host::kSolidBorder;
    const QImage image = Render(PageRenderer(page.doc), 0);

    const double vx = GridPage::kLeft + 2 * GridPage::kColumn;  // between columns 2 and 3
    EXPECT_GT(DarkShare(image, QRectF(vx - 0.25, 35, 0.5, 10)), 0.9);
    const double hy = GridPage::kTop + 3 * GridPage::kRow;  // between rows 3 and 4
    EXPECT_EQ(DarkShare(image, QRectF(vx + 2, hy - 1, 10, 2)), 0);
    // 0.5 pt and 1.5 pt at 4 px per point.
    const int thin =
        DarkRunAcross(image, vx + 9, GridPage::kTop + 5, GridPage::kTop + 15);  // the frame's top
    const int wide = DarkRunAcross(image, vx - 9, 102, 110);
    EXPECT_NEAR(thin, 2, 1);
    EXPECT_NEAR(wide, 6, 1);
    // Nothing where no segment is set.
    EXPECT_EQ(DarkShare(image, GridPage::Cells(6, 6, 8, 10).adjusted(1, 1, -1, -1)), 0);
    // The diagonal crosses its cell's centre.
    EXPECT_GT(
        DarkShare(image, QRectF(GridPage::Cell(9, 6).center() - QPointF(0.5, 0.5), QSizeF(1, 1))),
        0.2);
}

TEST_F(PageRendererTest, MergedCellHidesInsideEdgesAndPlacesTextByAlignment) {
    GridPage page;
    host::Table& t = *page.table;
    const host::CellRect block{2, 2, 7, 4};
    Frame(t, block, host::kSolidBorder);
    t.SetBorder(block, host::BorderType::Horizontal, host::kSolidBorder);
    t.SetBorder(block, host::BorderType::Vertical, host::kSolidBorder);
    t.Merge(block);
    t.At(2, 2).verticalAlignment = host::CellVAlign::Bottom;
    page.Write(2, 2, "中", host::kFontSong, 10.5, host::Alignment::Right);
    t.Merge({2, 6, 7, 8});
    page.Write(2, 6, "中", host::kFontSong, 10.5, host::Alignment::Left);  // top, left
    const QImage image = Render(PageRenderer(page.doc), 0);

    const QRectF area = GridPage::Cells(2, 2, 7, 4);
    EXPECT_GT(DarkShare(image, QRectF(area.left() - 0.25, area.top() + 5, 0.5, 50)), 0.9);  // frame
    const QRectF inside = area.adjusted(1, 1, -1, -1);
    const QPointF ink = DarkCentre(image, inside);
    EXPECT_GT(ink.y(), area.bottom() - GridPage::kRow);  // in the last row
    EXPECT_GT(ink.x(), area.right() - 10.5);             // at the right
    const QRectF other = GridPage::Cells(2, 6, 7, 8);
    const QPointF ink2 = DarkCentre(image, other);
    EXPECT_LT(ink2.y(), other.top() + GridPage::kRow);
    EXPECT_LT(ink2.x(), other.left() + 10.5);
    // Apart from the text, the inside of the merged cell is white: no inner rules.
    EXPECT_EQ(
        DarkShare(image, QRectF(inside.left(), inside.top(), inside.width(), 4 * GridPage::kRow)),
        0);
}

TEST_F(PageRendererTest, TextWrapsWithinItsCellAndIsClippedToIt) {
    GridPage page;
    host::Table& t = *page.table;
    t.Merge({2, 2, 3, 2});  // two lines of one 18 pt column
    page.Write(2, 2, "图书馆里读书写字", host::kFontSong, 10.5);
    page.Write(6, 2, "ABCDEFGHIJKLMNOP", host::kFontHei, 10.5);  // one word wider than its cell
    const QImage image = Render(PageRenderer(page.doc), 0);
    EXPECT_GT(DarkShare(image, GridPage::Cell(2, 2)), 0.02);
    EXPECT_GT(DarkShare(image, GridPage::Cell(3, 2)), 0.02);
    for (const QRectF& neighbour :
         {GridPage::Cell(4, 2), GridPage::Cells(2, 1, 3, 1), GridPage::Cells(2, 3, 3, 3),
          GridPage::Cell(6, 1), GridPage::Cell(6, 3), GridPage::Cell(7, 2)})
        EXPECT_EQ(DarkShare(image, neighbour), 0);
    EXPECT_GT(DarkShare(image, GridPage::Cell(6, 2)), 0.02);
}

// The composition grid: a Word 9 table with a 1.5 pt outer frame, gap rows without inner
// verticals, nested in a merged, vertically centred cell.
TEST_F(PageRendererTest, NestedTableIsDrawnInsideItsCell) {
    GridPage page;
    host::Table& t = *page.table;
    t.Merge({2, 2, 9, 9});
    host::Cell& cell = t.At(2, 2);
    cell.verticalAlignment = host::CellVAlign::Center;
    auto grid = std::make_unique<host::Table>(3, 4, host::TableBehavior::Word9);
    grid->preferredWidth = {host::PreferredWidthType::Points, 80};
    grid->Row(1) = {6, host::RowHeightRule::Exactly};
    grid->Row(2) = {20, host::RowHeightRule::Exactly};
    grid->Row(3) = {6, host::RowHeightRule::Exactly};
    grid->SetBorder({1, 1, 1, 4}, host::BorderType::Vertical, {});
    grid->SetBorder({3, 1, 3, 4}, host::BorderType::Vertical, {});
    host::Border frame = host::kSolidBorder;
    frame.lineWidth = host::kLineWidth150pt;
    for (auto type : {host::BorderType::Left, host::BorderType::Right, host::BorderType::Top,
                      host::BorderType::Bottom})
        grid->SetBorder({1, 1, 3, 4}, type, frame);
    const host::Table* nested = grid.get();
    cell.content.insert(cell.content.begin(), host::Block(std::move(grid)));
    const PageRenderer renderer(page.doc);
    const QImage image = Render(renderer, 0);

    // Centred: content 32 pt of table + one 12 pt line in a 96 pt cell.
    const QRectF area = GridPage::Cells(2, 2, 9, 9);
    const double top = area.top() + (area.height() - 44) / 2;
    const double left = area.left();
    EXPECT_NEAR(DarkRunAcross(image, left + 30, top - 2, top + 2), 6, 1);  // 1.5 pt frame
    EXPECT_GT(DarkShare(image, QRectF(left + 19.75, top + 8, 0.5, 16)),
              0.9);                                                      // square row's inner rule
    EXPECT_EQ(DarkShare(image, QRectF(left + 19, top + 1.5, 2, 3)), 0);  // none in the gap row
    EXPECT_EQ(DarkShare(image, QRectF(left + 82, area.top() + 1, 50, area.height() - 2)), 0);

    // Hit testing reaches the nested table, and cell rectangles come back where they were drawn.
    const std::optional<CellHit> hit = renderer.HitTest(0, QPointF(left + 25, top + 15));
    ASSERT_TRUE(hit);
    EXPECT_EQ(hit->table, nested);
    EXPECT_EQ(hit->row, 2);
    EXPECT_EQ(hit->column, 2);
    const std::vector<QRectF> rects = renderer.CellRects(0, *nested, {2, 2, 2, 2});
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_NEAR(rects[0].left(), left + 20, 0.01);
    EXPECT_NEAR(rects[0].top(), top + 6, 0.01);
    const std::optional<CellHit> outer = renderer.HitTest(0, GridPage::Cell(10, 10).center());
    ASSERT_TRUE(outer);
    EXPECT_EQ(outer->table, page.table);
    EXPECT_EQ(outer->row, 10);
    EXPECT_FALSE(renderer.HitTest(0, QPointF(2, 2)));
}

TEST_F(PageRendererTest, RowsFlowOntoTheNextPageAndMergedCellsSplit) {
    GridPage page(14, 10);  // 130 pt of text height holds 10 rows
    host::Table& t = *page.table;
    page.Write(11, 1, "!", host::kFontBubble, 12, host::Alignment::Left);
    t.Merge({9, 5, 12, 5});
    Frame(t, {9, 5, 12, 5}, host::kSolidBorder);
    page.Write(9, 5, "中", host::kFontSong, 10.5);
    const PageRenderer renderer(page.doc);
    ASSERT_EQ(renderer.PageCount(), 2);
    const QImage first = Render(renderer, 0), second = Render(renderer, 1);

    // Row 11 starts page 2 at the top margin.
    EXPECT_GT(DarkShare(second, QRectF(13, 14, 6, 4)), 0.9);
    EXPECT_EQ(DarkShare(first, GridPage::Cells(1, 1, 10, 1)), 0);
    // The merged cell: sides on both pages, its foot only on page 2, its text only on page 1.
    const QRectF onFirst = GridPage::Cells(9, 5, 10, 5), onSecond = GridPage::Cells(1, 5, 2, 5);
    EXPECT_GT(DarkShare(first, QRectF(onFirst.left() - 0.25, onFirst.top() + 2, 0.5, 20)), 0.9);
    EXPECT_GT(DarkShare(second, QRectF(onSecond.left() - 0.25, onSecond.top() + 2, 0.5, 20)), 0.9);
    EXPECT_EQ(DarkShare(first, QRectF(onFirst.left() + 2, onFirst.bottom() - 1, 14, 2)), 0);
    EXPECT_GT(DarkShare(second, QRectF(onSecond.left() + 2, onSecond.bottom() - 0.25, 14, 0.5)),
              0.9);
    EXPECT_GT(DarkShare(first, onFirst.adjusted(1, 1, -1, -1)), 0.02);
    EXPECT_EQ(DarkShare(second, onSecond.adjusted(1, 1, -1, -1)), 0);
    EXPECT_EQ(renderer.CellRects(1, t, {10, 5, 10, 5}).size(),
              1u);  // the merged cell's part on page 2
}

TEST_F(PageRendererTest, BodyParagraphsDrawBelowTheTableAndTheClosingEmptyOneOpensNoPage) {
    GridPage full(10, 10);  // exactly fills the text height
    EXPECT_EQ(PageRenderer(full.doc).PageCount(), 1);
    full.doc.body.back().paragraph.Append("x");
    EXPECT_EQ(PageRenderer(full.doc).PageCount(), 2);

    GridPage part(2, 10);
    host::Paragraph& p = part.doc.body.back().paragraph;
    p.format.alignment = host::Alignment::Left;
    p.Append("答题卡");
    const QImage image = Render(PageRenderer(part.doc), 0);
    const double below = GridPage::kTop + 2 * GridPage::kRow;
    EXPECT_GT(DarkShare(image, QRectF(GridPage::kLeft, below, 40, 16)), 0.05);
    EXPECT_EQ(DarkShare(image, QRectF(GridPage::kLeft + 40, below, 130, 16)), 0);
    EXPECT_EQ(DarkShare(image, QRectF(GridPage::kLeft, 0, 180, below)), 0);
}

TEST_F(PageRendererTest, GridlinesAndSelectionShowOnlyWhenAsked) {
    GridPage page;
    const PageRenderer renderer(page.doc);
    RenderOptions screen;
    screen.showGridlines = true;
    screen.selectionTable = page.table;
    screen.selection = {2, 2, 3, 3};
    const QImage plain = Render(renderer, 0), shown = Render(renderer, 0, screen);
    auto coloured = [](const QImage& image, const QRectF& pt) {
        const QRect px = QRectF(pt.topLeft() * kScale, pt.size() * kScale).toAlignedRect();
        for (int y = px.top(); y <= px.bottom(); ++y)
            for (int x = px.left(); x <= px.right(); ++x)
                if (image.pixel(x, y) != qRgb(255, 255, 255)) return true;
        return false;
    };
    const QRectF onEdge(GridPage::kLeft + 6 * GridPage::kColumn - 0.5, 78, 1, 6);
    EXPECT_FALSE(coloured(plain, onEdge));
    EXPECT_TRUE(coloured(shown, onEdge));
    const QRgb selected = shown.pixel((GridPage::Cell(2, 2).center() * kScale).toPoint());
    EXPECT_GT(qBlue(selected), qRed(selected));
    EXPECT_FALSE(coloured(shown, GridPage::Cell(5, 5).adjusted(2, 2, -2, -2)));
}
