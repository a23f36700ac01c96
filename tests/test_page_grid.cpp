#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>
#include <vector>

#include "base/units.h"
#include "doc/errors.h"
#include "sheet_fixture.h"

using namespace varelo;
using fixture::SheetFixture;
using host::Alignment;
using host::CellRect;

namespace {

struct Grid {
    int16_t code;
    int rows, columns, page1Rows;
    double tableWidth;
    std::vector<std::pair<int, double>> widths;  // columns with a percentage, ascending
    std::vector<CellRect> separators;            // tall cells, in reading order
    int numberColumn;                            // left column of both page-number blocks
};

// clang-format off
const std::vector<Grid> kGrids{
    {1, 130, 63, 65, 98, {{1, 2}, {2, 1.2}, {22, 1.2}, {42, 1.2}, {62, 1.2}, {63, 2.5}},
     {{1, 2, 130, 2}, {1, 22, 130, 22}, {1, 42, 130, 42}, {1, 62, 130, 62}}, 31},
    {2, 130, 63, 65, 98, {{1, 2}, {2, 1.2}, {32, 1.2}, {62, 1.2}, {63, 2.5}},
     {{1, 2, 130, 2}, {1, 32, 63, 32}, {1, 62, 130, 62}, {66, 32, 128, 32}}, 31},
    {3, 115, 55, 58, 95, {{1, 2}, {2, 1}, {21, 1}, {38, 1}, {54, 1}, {55, 2.5}},
     {{1, 2, 115, 2}, {1, 21, 115, 21}, {1, 38, 115, 38}, {1, 54, 115, 54}}, 27},
    {4, 115, 55, 58, 95, {{1, 2}, {2, 1}, {28, 1}, {54, 1}, {55, 2.5}},
     {{1, 2, 115, 2}, {1, 28, 56, 28}, {1, 54, 115, 54}, {59, 28, 112, 28}}, 27},
    {5, 126, 28, 63, 96, {{27, 1.2}}, {}, 13},
    {6, 108, 26, 54, 96, {{25, 1.2}}, {}, 13},
};
// clang-format on

}  // namespace

TEST(PageGrid, ShapeMergesMarksAndPageNumbersPerLayout) {
    for (const Grid& g : kGrids) {
        SCOPED_TRACE(g.code);
        SheetFixture s;
        s.Build(g.code, SheetFixture::kPageGrid);
        const host::Table& t = s.Grid();
        ASSERT_EQ(std::pair(t.Rows(), t.Columns()), std::pair(g.rows, g.columns));
        EXPECT_EQ(t.preferredWidth,
                  (host::PreferredWidth{host::PreferredWidthType::Percent, g.tableWidth}));
        EXPECT_EQ(t.autoFit, host::AutoFit::Fixed);
        EXPECT_EQ(t.rowAlignment, host::RowAlignment::Center);
        EXPECT_EQ(t.leftPadding + t.rightPadding + t.topPadding + t.bottomPadding, 0);
        std::vector<std::pair<int, double>> widths;
        for (int c = 1; c <= t.Columns(); ++c)
            if (t.ColumnWidth(c).type == host::PreferredWidthType::Percent)
                widths.emplace_back(c, t.ColumnWidth(c).value);
        EXPECT_EQ(widths, g.widths);
        for (int r = 1; r <= t.Rows(); ++r)
            ASSERT_EQ(t.Row(r), (host::RowFormat{host::CentimetersToPoints(0.42324),
                                                 host::RowHeightRule::Exactly}));

        // Three marks per page; the empty corner is top right on landscape pages, top left
        // on portrait ones (5, 6), where every mark is left-aligned.
        const int p = g.page1Rows, last = g.columns;
        const Alignment right = g.code <= 4 ? Alignment::Right : Alignment::Left;
        const int top = g.code <= 4 ? 1 : last;
        std::vector<std::tuple<int, int, Alignment>> expectedMarks{
            {1, top, Alignment::Left},     {p, 1, Alignment::Left},      {p, last, right},
            {p + 1, top, Alignment::Left}, {g.rows, 1, Alignment::Left}, {g.rows, last, right}};
        const CellRect number1{p - 1, g.numberColumn, p, g.numberColumn + 2};
        const CellRect number2{g.rows - 1, g.numberColumn, g.rows, g.numberColumn + 2};
        std::vector<CellRect> expectedMerged = g.separators;
        expectedMerged.insert(expectedMerged.end(), {number1, number2});

        std::vector<CellRect> merged;
        std::vector<std::tuple<int, int, Alignment>> marks;
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c) {
                if (!t.IsAnchor(r, c)) continue;
                if (t.CellArea(r, c) != CellRect{r, c, r, c}) merged.push_back(t.CellArea(r, c));
                const host::Paragraph& para = t.At(r, c).content.front().paragraph;
                if (t.At(r, c).Text() == "!") {
                    marks.emplace_back(r, c, para.format.alignment);
                    EXPECT_EQ(para.runs[0].format, (host::CharFormat{host::kFontBubble, 12, {}}));
                } else if (t.At(r, c).Empty()) {
                    EXPECT_EQ(para.format.alignment, Alignment::Center);
                    EXPECT_EQ(para.format.lineSpacingRule, host::LineSpacingRule::Exactly);
                    EXPECT_EQ(para.format.lineSpacing, 12);
                }
            }
        std::sort(expectedMarks.begin(), expectedMarks.end());
        EXPECT_EQ(marks, expectedMarks);
        const auto byTop = [](const CellRect& a, const CellRect& b) {
            return std::pair(a.top, a.left) < std::pair(b.top, b.left);
        };
        std::sort(expectedMerged.begin(), expectedMerged.end(), byTop);
        EXPECT_EQ(merged, expectedMerged);

        // The digit and its paragraph mark both carry the number's font.
        for (const auto& [block, digit] : {std::pair(number1, "1"), std::pair(number2, "2")}) {
            const host::Cell& cell = t.At(block.top, block.left);
            const host::Paragraph& para = cell.content.at(0).paragraph;
            EXPECT_EQ(cell.content.size(), 1u);
            EXPECT_EQ(para.runs, (std::vector<host::Run>{{digit, {{}, 22, true}}}));
            EXPECT_EQ(para.markFormat, (host::CharFormat{{}, 22, true}));
            EXPECT_EQ(para.format.alignment, Alignment::Center);
            EXPECT_EQ(std::pair(para.format.lineSpacingRule, para.format.lineSpacing),
                      std::pair(host::LineSpacingRule::Exactly, 18.0));
            EXPECT_EQ(cell.verticalAlignment, host::CellVAlign::Bottom);
        }
    }
}

TEST(PageGrid, SeparatorOfLayout4IsCutByThePageNumberBlocks) {
    SheetFixture s;
    s.Build(4, SheetFixture::kPageGrid);
    // clang-format off
    const std::vector<std::pair<int, CellRect>> column28{
        {1, {1, 28, 56, 28}}, {56, {1, 28, 56, 28}}, {57, {57, 27, 58, 29}}, {58, {57, 27, 58, 29}},
        {59, {59, 28, 112, 28}}, {112, {59, 28, 112, 28}}, {113, {113, 28, 113, 28}},
        {114, {114, 27, 115, 29}}, {115, {114, 27, 115, 29}}};
    // clang-format on
    for (const auto& [row, area] : column28) EXPECT_EQ(s.Grid().CellArea(row, 28), area) << row;
}

TEST(PageGrid, UnknownLayoutMakesNoTableAndFails) {
    for (int16_t code : {0, 7, -1}) {
        SheetFixture s;
        EXPECT_THROW(s.Build(code, SheetFixture::kPageGrid), host::HostError);
        EXPECT_EQ(s.doc.TableCount(), 0);
    }
}
