#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "compose/generators.h"
#include "compose/sheet_plan.h"
#include "doc/errors.h"
#include "exam/exam.h"

using namespace varelo::host;
using namespace varelo::layout;

namespace {

struct LayoutFacts {
    int rows, columns, startRow, perBlock, headingColumn, markColumn, boxLeft, boxRight;
    std::vector<std::pair<int, int>> itemRuns;  // item columns of a block, as runs
};

// The grids of the two layouts used here: the three-column A3 and the B5.
const std::map<int16_t, LayoutFacts> kFacts{
    {1, {130, 63, 30, 15, 3, 1, 3, 21, {{4, 8}, {10, 14}, {16, 20}}}},
    {6, {108, 26, 28, 20, 2, 26, 2, 24, {{2, 6}, {8, 12}, {14, 18}, {20, 24}}}},
};

using varelo::exam::ObjectiveGroup;
using varelo::exam::OptionLabels;

ObjectiveGroup Group(std::string number, std::string name, int items, int options,
                     std::string points = "1", OptionLabels labels = OptionLabels::Letters) {
    return {number,
            name,
            {items, std::to_string(items)},
            {options, std::to_string(options)},
            labels,
            {std::stod(points), points}};
}

varelo::exam::Exam ExamOf(int16_t code, const std::vector<ObjectiveGroup>& groups) {
    varelo::exam::Exam e;
    e.layout = static_cast<varelo::exam::Layout>(code);
    e.groups = groups;
    // The flow as it runs without page codes, which take rows from it where they print.
    e.pageCode = varelo::exam::PageCodeChoice::Off;
    return e;
}

// A sheet whose page grid is a plain table of the layout's size.
struct Sheet {
    Application app;
    Document& doc;
    varelo::exam::Exam exam;
    SheetPlan plan;
    SheetJob job{app, doc, exam, plan};
    const LayoutFacts& facts;
    int16_t code;

    Sheet(int16_t layoutCode, const std::vector<ObjectiveGroup>& groups)
        : doc(app.AddDocument()),
          exam(ExamOf(layoutCode, groups)),
          plan(PlanSheet(exam, 1000)),
          facts(kFacts.at(layoutCode)),
          code(layoutCode) {
        doc.AddTableAtStart(facts.rows, facts.columns);
        // Columns wide enough that every heading here keeps its eleven cells.
        doc.pageSetup.pageWidth = 20000;
        job.curRow = static_cast<int16_t>(facts.startRow);
    }
    Table& Grid() { return doc.Tables(1); }
    void Build() { BuildObjectiveSection(job, exam.layout); }
};

const char* const kNumerals[] = {"", "一", "二", "三"};

// Builds the sheet and compares every cell, every border segment, curRow, itemNo and the
// clipboard with what the layout's item columns and mark column call for.
void ExpectSheetCellByCell(int16_t code, const std::vector<ObjectiveGroup>& groups) {
    Sheet s(code, groups);
    s.Build();
    const LayoutFacts& f = s.facts;
    std::vector<int> itemColumns;
    for (auto [from, to] : f.itemRuns)
        for (int c = from; c <= to; ++c) itemColumns.push_back(c);
    ASSERT_EQ(static_cast<int>(itemColumns.size()), f.perBlock);

    std::map<std::pair<int, int>, std::string> want;
    std::vector<CellRect> boxes;
    int row = f.startRow, itemNo = 0, lastOptions = 0;
    for (const auto& g : groups) {
        const int items = g.items.value, options = g.options.value;
        const int points = std::stoi(g.points.text);
        const int blocks = items == 0 ? 1 : (items + f.perBlock - 1) / f.perBlock;
        want[{row - 1, f.headingColumn}] = std::string(kNumerals[std::stoi(g.number)]) + "、" +
                                           g.name + " （每小题" + g.points.text + "分共" +
                                           std::to_string(points * items) + "分）";
        EXPECT_EQ(s.Grid().CellArea(row - 1, f.headingColumn),
                  (CellRect{row - 1, f.headingColumn, row - 1, f.headingColumn + 10}));
        for (int b = 0; b < blocks; ++b)
            for (int j = 1; j <= options; ++j)
                want[{row + b * (options + 2) + j, f.markColumn}] = "!";
        for (int k = 0; k < items; ++k) {
            const int r = row + k / f.perBlock * (options + 2), c = itemColumns[k % f.perBlock];
            want[{r, c}] = std::to_string(++itemNo);
            for (int j = 1; j <= options; ++j) want[{r + j, c}] = std::string(1, char('A' + j - 1));
        }
        if (items > 0) lastOptions = options;
        boxes.push_back({row, f.boxLeft, row + blocks * (options + 2) - 2, f.boxRight});
        row += blocks * (options + 2);
    }

    const Table& t = s.Grid();
    for (int r = 1; r <= f.rows; ++r)
        for (int c = 1; c <= f.columns; ++c) {
            if (!t.IsAnchor(r, c)) continue;
            const auto it = want.find({r, c});
            EXPECT_EQ(t.At(r, c).Text(), it == want.end() ? "" : it->second) << r << "," << c;
        }
    for (int r = 1; r <= f.rows + 1; ++r)
        for (int c = 1; c <= f.columns + 1; ++c) {
            bool h = false, v = false;
            for (const CellRect& b : boxes) {
                h |= (r == b.top || r == b.bottom + 1) && c >= b.left && c <= b.right;
                v |= r >= b.top && r <= b.bottom && (c == b.left || c == b.right + 1);
            }
            if (c <= f.columns) {
                EXPECT_EQ(t.HorizontalEdge(r, c).Visible(), h) << r << "," << c;
            }
            if (r <= f.rows) {
                EXPECT_EQ(t.VerticalEdge(r, c).Visible(), v) << r << "," << c;
            }
        }
    EXPECT_EQ(s.job.curRow, row);
    EXPECT_EQ(s.job.itemNo, itemNo);
    ASSERT_EQ(s.app.clipboard.rows, lastOptions);
    for (int j = 0; j < lastOptions; ++j)
        EXPECT_EQ(ContentText(s.app.clipboard.cells[static_cast<size_t>(j)]),
                  std::string(1, char('A' + j)));
}

void ExpectFormat(const Cell& cell, const char* font, double size) {
    ASSERT_FALSE(cell.content.front().paragraph.runs.empty());
    const CharFormat& format = cell.content.front().paragraph.runs.front().format;
    EXPECT_EQ(format.font, font);
    EXPECT_EQ(format.size, size);
}

}  // namespace

// A group of no items still takes its heading and one framed block of its option rows.
TEST(ObjectiveSection, EmptyGroupKeepsItsHeadingAndOneFramedBlock) {
    ExpectSheetCellByCell(1, {Group("1", "空", 0, 3), Group("2", "选择题", 2, 5)});
}

TEST(ObjectiveSection, HeadingTakesNumberAndPointsFromTheList) {
    Sheet s(1, {Group("1", "选择题", 10, 4, "1.5"), Group("03", "多选题", 2, 4, "2"),
                Group("x", "判断题", 1, 2)});
    s.Build();
    EXPECT_EQ(s.Grid().At(29, 3).Text(), "一、选择题 （每小题1.5分共15分）");
    EXPECT_EQ(s.Grid().At(35, 3).Text(), "三、多选题 （每小题2分共4分）");
    EXPECT_EQ(s.Grid().At(41, 3).Text(), "、判断题 （每小题1分共1分）");
    EXPECT_EQ(s.app.messages, std::vector<std::string>{"无效的数字"});
}

TEST(ObjectiveSection, BlocksStepOverPageNumbersAndCornerMarksOntoPageTwo) {
    Sheet s(6, {Group("1", "选择题", 100, 4)});
    Table& t = s.Grid();
    t.Merge({53, 13, 54, 15});  // page-number block "1" at the foot of page 1
    t.At(53, 13).InsertAfter("1");
    t.At(54, 26).InsertAfter("!");
    t.At(55, 26).InsertAfter("!");
    s.Build();
    EXPECT_EQ(s.job.itemNo, 100);
    EXPECT_EQ(t.At(46, 2).Text(), "61");  // the fourth block ends in row 50, above the block
    EXPECT_EQ(t.At(55, 2).Text(), "81");  // the fifth starts page 2
    EXPECT_EQ(t.At(56, 2).Text(), "A");
    EXPECT_EQ(t.At(52, 2).Text(), "");
    EXPECT_EQ(t.At(53, 13).Text(), "1");
    EXPECT_EQ(t.At(54, 26).Text(), "!");
    EXPECT_EQ(t.At(55, 26).Text(), "!");
    EXPECT_EQ(s.job.curRow, 61);
    // One frame per page: rows 28-50 on page 1, 55-59 on page 2.
    EXPECT_TRUE(t.HorizontalEdge(51, 2).Visible());
    EXPECT_FALSE(t.HorizontalEdge(52, 2).Visible());
    EXPECT_TRUE(t.HorizontalEdge(55, 2).Visible());
    EXPECT_TRUE(t.HorizontalEdge(60, 2).Visible());
}

TEST(ObjectiveSection, OptionTypesPrintLettersDigitsOrTickAndCross) {
    Sheet s(1, {Group("1", "单选", 2, 3), Group("2", "排序", 2, 3, "1", OptionLabels::Digits),
                Group("3", "判断", 2, 2, "1", OptionLabels::TrueFalse)});
    s.Build();
    const Table& t = s.Grid();
    const std::vector<std::pair<int, std::vector<std::string>>> want = {
        {31, {"A", "B", "C"}}, {36, {"1", "2", "3"}}, {41, {"\u221A", "\u00D7"}}};
    for (const auto& [row, labels] : want)
        for (size_t j = 0; j < labels.size(); ++j)
            for (const int column : {4, 5}) {
                EXPECT_EQ(t.At(row + static_cast<int>(j), column).Text(), labels[j]) << row;
                ExpectFormat(t.At(row + static_cast<int>(j), column), kFontBubble, 12);
            }
    EXPECT_EQ(t.At(40, 4).Text(), "5");
}
