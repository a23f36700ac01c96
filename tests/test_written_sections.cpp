#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "compose/generators.h"
#include "compose/sheet_exam.h"
#include "compose/template_reading.h"
#include "compose/written_section.h"
#include "dialog_sheet.h"
#include "doc/geometry.h"
#include "doc/page_layout.h"

using namespace varelo;
using exam::SectionKind;
using exam::WrittenSection;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

struct Sheet {
    host::Application app;
    settings::SheetForm form;
    host::Document* doc = nullptr;

    // Groups of four-option items, then the sections.
    Sheet(const char* layoutName, const std::vector<int>& groups, std::vector<WrittenSection> s) {
        fixture::OpenSettings(form, layoutName);
        for (size_t g = 0; g < groups.size(); ++g)
            form.mfgQuestion.AddRow(
                {std::to_string(g + 1), "选择题", std::to_string(groups[g]), "4", "字母", "1"});
        form.sections = std::move(s);
        // The flow as it runs without page codes (test_page_codes has them).
        form.chkPageCode = settings::SheetForm::kUnchecked;
    }
    bool Make() { return (doc = settings::OKButton_Click(app, form)) != nullptr; }
    host::Table& Grid() { return doc->Tables(1); }
    exam::Layout Layout() const { return *exam::ParseLayout(form.cmbPage); }
    settings::ValidExam Made() const { return settings::ExamOfSettings(settings::DraftOf(form)); }
    layout::WrittenPlan Plan() const { return Made().plan.written; }
};

WrittenSection Fill(int items, int blanks, double points = 2) {
    return {SectionKind::Fill, "填空题", items, blanks, 1, 0, points};
}
WrittenSection Answer(int items, int rows, double points = 10) {
    return {SectionKind::Answer, "解答题", items, 1, rows, 0, points};
}
WrittenSection Essay(int chars, double points = 50) {
    return {SectionKind::Essay, "作文", 1, 1, 1, chars, points};
}

bool Framed(const host::Table& t, const host::CellRect& r) {
    bool all = true;
    for (int c = r.left; c <= r.right; ++c)
        all = all && t.HorizontalEdge(r.top, c).Visible() &&
              t.HorizontalEdge(r.bottom + 1, c).Visible();
    for (int row = r.top; row <= r.bottom; ++row)
        all = all && t.VerticalEdge(row, r.left).Visible() &&
              t.VerticalEdge(row, r.right + 1).Visible();
    return all;
}

// Checks a sheet against its plan: every item whole in its page column on one page, apart from
// everything else, with its number, underlines, frame or squares; every item number once.
// Returns the rectangles the sections took.
std::vector<host::CellRect> CheckSheet(Sheet& sheet) {
    host::Table& grid = sheet.Grid();
    const layout::WrittenPlan plan = sheet.Plan();
    EXPECT_TRUE(plan.fits);
    const int startRow = layout::ObjectiveStartRow(sheet.Layout());
    const auto columns = layout::ObjectivePageColumns(sheet.Layout(), startRow);
    const host::PageLayout pages = host::LayOutPages(*sheet.doc);
    host::Application quiet;

    std::vector<host::CellRect> objective, taken;
    std::vector<layout::GroupShape> shapes;
    int objectiveItems = 0;
    for (const auto& g : sheet.form.mfgQuestion.Groups()) {
        shapes.push_back({std::stoi(g[2]), 4});
        objectiveItems += shapes.back().items;
    }
    for (const auto& g : layout::PlanObjectiveSection(sheet.Layout(), startRow, shapes).groups) {
        const auto& c = columns[static_cast<size_t>(g.pageColumn)];
        objective.push_back({g.headingRow, c.boxLeft, g.headingRow, c.boxRight});
        objective.insert(objective.end(), g.frames.begin(), g.frames.end());
    }
    int expectedNumber = objectiveItems;
    for (size_t s = 0; s < plan.sections.size(); ++s) {
        const layout::SectionPlacement& sp = plan.sections[s];
        const WrittenSection& section = sheet.form.sections[s];
        const int headingColumn = columns[static_cast<size_t>(sp.pageColumn)].headingColumn;
        EXPECT_EQ(grid.At(sp.headingRow, headingColumn).Text(),
                  layout::WrittenHeading(sheet.Made().exam, s, quiet));
        taken.push_back(grid.CellArea(sp.headingRow, headingColumn));
        // A heading right below a fill-in section has an empty row between it and the last
        // line: no text there and no underline along the heading's top.
        if (s > 0 && sheet.form.sections[s - 1].kind == SectionKind::Fill &&
            plan.sections[s - 1].items.back().pageColumn == sp.pageColumn) {
            const layout::PageColumn& c = columns[static_cast<size_t>(sp.pageColumn)];
            EXPECT_GE(sp.headingRow - plan.sections[s - 1].items.back().area.bottom, 2);
            for (int col = c.boxLeft; col <= c.boxRight; ++col)
                EXPECT_TRUE(grid.At(sp.headingRow - 1, col).Empty() &&
                            !grid.HorizontalEdge(sp.headingRow, col).Visible())
                    << "heading of section " << s + 1 << " touches the line above, column "
                    << col;
        }
        int squares = 0, counts = 0;
        for (const layout::WrittenItem& item : sp.items) {
            SCOPED_TRACE("item " + std::to_string(item.number));
            const host::CellRect& a = item.area;
            const layout::PageColumn& c = columns[static_cast<size_t>(item.pageColumn)];
            EXPECT_TRUE(a.top >= c.firstRow && a.bottom <= c.lastRow && a.left == c.boxLeft &&
                        a.right == c.boxRight);
            EXPECT_EQ(pages.FirstTable()->RowPage(a.top), pages.FirstTable()->RowPage(a.bottom));
            EXPECT_FALSE(grid.CutsMergedCell(a));
            taken.push_back(a);
            if (item.part <= 1) {
                EXPECT_EQ(item.number, ++expectedNumber);
            }
            if (section.kind == SectionKind::Fill) {
                EXPECT_EQ(grid.At(a.top + 1, a.left).Text(), std::to_string(item.number) + ".");
                int blanks = 0;  // runs of underline at the foot of each line
                for (int row = a.top + 2; row <= a.bottom + 1; row += 2)
                    for (int col = a.left; col <= a.right; ++col)
                        blanks += grid.HorizontalEdge(row, col).Visible() &&
                                  !grid.HorizontalEdge(row, col - 1).Visible();
                EXPECT_EQ(blanks, section.blanks);
            } else if (section.kind == SectionKind::Answer) {
                EXPECT_EQ(grid.At(a.top, a.left).Text(),
                          layout::AnswerLabelText(item.number, section.points));
                EXPECT_EQ(a.Rows(), section.rows);
                EXPECT_TRUE(Framed(grid, a));
            } else {
                const host::Content& story = grid.At(a.top, a.left).content;
                EXPECT_TRUE(grid.CellArea(a.top, a.left) == a && story.front().IsTable());
                if (!story.front().IsTable()) continue;
                const host::Table& sq = *story.front().table;
                EXPECT_EQ(sq.Rows(), 2 * item.squareRows + 1);
                EXPECT_EQ(sq.Columns(), item.squaresPerRow);
                EXPECT_EQ(item.squaresBefore, squares);
                squares += item.squareRows * item.squaresPerRow;
                // Counts run on from part to part, under every hundredth square.
                for (int r = 3; r <= sq.Rows(); r += 2)
                    for (int col = 1; col <= sq.Columns(); ++col)
                        if (!sq.At(r, col).Empty()) {
                            ++counts;
                            EXPECT_EQ(sq.At(r, col).Text(), std::to_string(100 * counts));
                            EXPECT_EQ((r - 3) / 2 * sq.Columns() + col + item.squaresBefore,
                                      100 * counts);
                        }
            }
        }
        if (section.kind == SectionKind::Essay) {
            EXPECT_TRUE(squares >= section.chars &&
                        squares - section.chars < sp.items.back().squaresPerRow);
            EXPECT_EQ(counts, squares / 100);
        }
    }
    taken.insert(taken.end(), objective.begin(), objective.end());
    for (size_t i = 0; i < taken.size(); ++i)
        for (size_t j = i + 1; j < taken.size(); ++j)
            EXPECT_FALSE(taken[i].Intersects(taken[j])) << i << " and " << j;
    // Printed numbers ("N." and "N.（P分）"; the notes start "1." too) stand once each.
    std::map<int, int> printed;
    for (int r = 1; r <= grid.Rows(); ++r)
        for (int c = 1; c <= grid.Columns(); ++c) {
            const std::string t = grid.IsAnchor(r, c) ? grid.At(r, c).Text() : "";
            const size_t dot = t.find('.');
            if (dot > 0 && dot != std::string::npos && t.find_first_not_of("0123456789") == dot &&
                (dot + 1 == t.size() || t.compare(dot + 1, 3, "（") == 0))
                ++printed[std::stoi(t)];
        }
    for (const auto& [number, times] : printed) EXPECT_EQ(times, 1) << number;
    taken.resize(taken.size() - objective.size());
    return taken;
}

// The template's regions lie on what is printed: a box's frame, the rows of a fill-in item with
// underlines at its foot, a composition part's 1.5 pt frame centred at the top of its block.
void CheckRegions(Sheet& sheet) {
    const settings::ValidExam made = sheet.Made();
    const layout::OmrTemplate t = layout::BuildOmrTemplate(*sheet.doc, made.exam, made.plan);
    const host::PageLayout pages = host::LayOutPages(*sheet.doc);
    const host::PlacedTable& pt = *pages.FirstTable();
    const host::Table& grid = *pt.table;
    constexpr double kPt = 72 / 25.4;
    size_t parts = 0;
    for (const auto& s : sheet.Plan().sections) parts += s.items.size();
    EXPECT_EQ(t.regions.size(), parts);
    for (const layout::OmrRegion& region : t.regions) {
        SCOPED_TRACE(region.kind + " item " + std::to_string(region.item));
        const WrittenSection& s = sheet.form.sections.at(static_cast<size_t>(region.section - 1));
        EXPECT_EQ(region.kind, exam::SectionKindName(s.kind));
        const double x = region.rect.x * kPt, y = region.rect.y * kPt;
        const double w = region.rect.width * kPt, h = region.rect.height * kPt;
        // The grid slot whose top-left corner lies at (px, py) on the region's page.
        const auto slot = [&](double px, double py) {
            host::CellRect at{0, 0, 0, 0};
            for (int c = 1; c <= grid.Columns() + 1; ++c)
                if (std::abs(pt.columnX[static_cast<size_t>(c - 1)] - px) < 0.01) at.left = c;
            for (int r = 1; r <= grid.Rows(); ++r)
                if (pt.RowPage(r) == region.rect.page - 1 && std::abs(pt.RowTop(r) - py) < 0.01)
                    at.top = r;
                else if (pt.RowPage(r) == region.rect.page - 1 &&
                         std::abs(pt.RowTop(r) + pt.RowHeight(r) - py) < 0.01)
                    at.top = r + 1;
            return at;
        };
        const host::CellRect from = slot(x, y), to = slot(x + w, y + h);
        ASSERT_TRUE(from.top) << "the region starts off the grid lines";
        if (s.kind == SectionKind::Answer) {
            ASSERT_TRUE(from.left && to.top && to.left);
            EXPECT_TRUE(Framed(grid, {from.top, from.left, to.top - 1, to.left - 1}));
        } else if (s.kind == SectionKind::Fill) {
            ASSERT_TRUE(from.left && to.top && to.left);
            bool underlined = false;
            for (int c = from.left; c < to.left; ++c)
                underlined = underlined || grid.HorizontalEdge(to.top, c).Visible();
            EXPECT_TRUE(underlined);
            EXPECT_FALSE(grid.HorizontalEdge(to.top, from.left - 1).Visible() ||
                         grid.HorizontalEdge(to.top, to.left).Visible());
        } else {
            int column = 1;  // the grid column the region starts in
            while (pt.ColumnLeft(column + 1) <= x) ++column;
            const host::CellRect block = grid.CellArea(from.top, column);
            const host::Table& sq = *grid.At(block.top, block.left).content.front().table;
            EXPECT_NEAR(2 * x + w, pt.ColumnLeft(block.left) + pt.ColumnLeft(block.right + 1),
                        0.01);
            EXPECT_NEAR(w, sq.Columns() * 0.75 / 2.54 * 72, 0.01);
            EXPECT_NEAR(h, (sq.Rows() / 2 * 1.05 + 0.3) / 2.54 * 72, 0.01);
            EXPECT_EQ(sq.HorizontalEdge(1, 1).lineWidth, host::kLineWidth150pt);
        }
    }
}

}  // namespace

TEST(WrittenSections, RandomListsThatFitLieWholeAndApartInEveryLayout) {
    for (int16_t code = 1; code <= 6; ++code) {
        std::mt19937 rng(static_cast<unsigned>(code) * 7919u);
        const auto pick = [&](int lo, int hi) {
            return std::uniform_int_distribution(lo, hi)(rng);
        };
        int sheets = 0, moved = 0;
        for (int trial = 0; trial < 10; ++trial) {
            std::vector<int> groups;
            for (int g = pick(0, 2); g > 0; --g) groups.push_back(pick(0, 60));
            std::vector<WrittenSection> sections;
            for (int n = pick(1, 4); n > 0; --n) {
                const int kind = pick(0, 2);
                sections.push_back(kind == 0   ? Fill(pick(1, 12), pick(1, 7), pick(1, 3))
                                   : kind == 1 ? Answer(pick(1, 5), pick(4, 30), pick(5, 12))
                                               : Essay(pick(50, 900)));
            }
            // Shortened until it fits: the lists that fit are the point here.
            while (!sections.empty() &&
                   std::holds_alternative<std::string>(settings::ValidateSettings(
                       settings::DraftOf(Sheet(kLayouts[code - 1], groups, sections).form))))
                sections.pop_back();
            if (sections.empty()) continue;
            SCOPED_TRACE(std::string(kLayouts[code - 1]) + " trial " + std::to_string(trial));
            Sheet sheet(kLayouts[code - 1], groups, sections), bare(kLayouts[code - 1], groups, {});
            ASSERT_TRUE(sheet.Make() && bare.Make() && sheet.app.messages.empty());
            const std::vector<host::CellRect> areas = CheckSheet(sheet);
            CheckRegions(sheet);
            ++sheets;
            for (const auto& s : sheet.Plan().sections)
                moved += s.items.back().pageColumn > s.pageColumn;

            // Everything else is the sheet the same settings make without sections.
            const host::Table &a = sheet.Grid(), &b = bare.Grid();
            const auto inSections = [&](int r, int c) {
                for (const host::CellRect& s : areas)
                    if (s.Contains(r, c)) return true;
                return false;
            };
            for (int r = 1; r <= a.Rows(); ++r)
                for (int c = 1; c <= a.Columns(); ++c)
                    if (!inSections(r, c)) {
                        ASSERT_TRUE(
                            a.CellArea(r, c) == b.CellArea(r, c) && a.At(r, c) == b.At(r, c) &&
                            (inSections(r - 1, c) ||
                             a.HorizontalEdge(r, c) == b.HorizontalEdge(r, c)) &&
                            (inSections(r, c - 1) || a.VerticalEdge(r, c) == b.VerticalEdge(r, c)))
                            << r << "," << c;
                    }
        }
        EXPECT_GE(sheets, 6) << kLayouts[code - 1];
        EXPECT_GE(moved, 1) << kLayouts[code - 1] << ": no section ran into a further column";
    }
}

TEST(WrittenSections, HeadingsAndLabelsOfAnExam) {
    Sheet sheet("A3三栏", {60}, {Fill(10, 1), Answer(4, 20), Essay(600)});
    ASSERT_TRUE(sheet.Make());
    host::Application quiet;
    const exam::Exam made = sheet.Made().exam;
    EXPECT_EQ(layout::WrittenHeading(made, 0, quiet), "二、填空题 （每空2分共20分）");
    EXPECT_EQ(layout::WrittenHeading(made, 1, quiet), "三、解答题 （每小题10分共40分）");
    EXPECT_EQ(layout::WrittenHeading(made, 2, quiet), "四、作文 （共50分）");
    EXPECT_EQ(layout::AnswerLabelText(18, 7.5), "18.（7.5分）");
    CheckSheet(sheet);
    CheckRegions(sheet);
}

TEST(WrittenSections, ListsThatDoNotFitAreRefusedBeforeAnythingIsMade) {
    const std::string longName = "作文：" + std::string(90, 'W');
    const std::vector<std::tuple<const char*, WrittenSection, std::string>> cases = {
        {"A4单栏", Answer(2, 62), "“解答题”第31题比一栏还高，答题卡中放不下"},
        {"A3三栏", Fill(1, 200), "“填空题”第31题比一栏还高，答题卡中放不下"},
        {"B5单栏", Answer(3, 45), "“解答题”第32题在答题卡中放不下"},
        {"A3双栏", Essay(5000), "“作文”第31题在答题卡中放不下"},
        {"8开双栏", Fill(200, 1), "“填空题”第124题在答题卡中放不下"},
        {"A3三栏", Fill(0, 1), "“填空题”的小题数必须是1到32767之间的整数"},
        {"A3三栏", Fill(2, 0), "“填空题”的每题空数必须是1到32767之间的整数"},
        {"A3三栏", Answer(2, 0), "“解答题”的答题框行数必须是1到32767之间的整数"},
        {"A3三栏", Essay(0), "“作文”的字数必须是1到32767之间的整数"},
        {"A3三栏", Fill(2, 1, -1), "“填空题”的分值必须是不小于0的数"},
        {"A3三栏", Fill(30000, 30000, 1e300), "“填空题”的分值太大，无法计算总分"},
        {"A4单栏",
         {SectionKind::Essay, longName, 1, 1, 1, 100, 50},
         "“" + longName + "”的标题太长，答题卡中放不下"},
    };
    for (const auto& [layoutName, section, message] : cases) {
        Sheet sheet(layoutName, {30}, {section});
        EXPECT_FALSE(sheet.Make());
        EXPECT_EQ(sheet.app.messages, std::vector<std::string>{message});
        EXPECT_EQ(sheet.app.DocumentCount(), 0);
    }
}
