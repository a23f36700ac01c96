#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/geometry.h"
#include "host/page_layout.h"
#include "layout/generators.h"
#include "layout/objective_flow.h"
#include "layout/omr_template.h"
#include "layout/written_section.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

using namespace varelo;
using layout::SectionKind;
using layout::WrittenSection;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

struct GroupSpec {
    int items, options;
};

struct Sheet {
    host::Application app;
    layout::SheetForm form;
    host::Document* doc = nullptr;

    Sheet(const char* layoutName, const std::vector<GroupSpec>& groups,
          std::vector<WrittenSection> sections) {
        settings::Form_Load(form);
        form.cmbPage = layoutName;
        for (size_t g = 0; g < groups.size(); ++g)
            form.mfgQuestion.AddRow({std::to_string(g + 1), "选择题",
                                     std::to_string(groups[g].items),
                                     std::to_string(groups[g].options), "字母", "1"});
        form.sections = std::move(sections);
    }
    bool Make() {
        doc = settings::OKButton_Click(app, form);
        return doc != nullptr;
    }
    host::Table& Grid() { return doc->Tables(1); }
    int16_t Code() const { return settings::LayoutCode(form.cmbPage).value_or(0); }
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

std::vector<WrittenSection> RandomSections(std::mt19937& rng) {
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(rng); };
    std::vector<WrittenSection> out;
    for (int n = pick(1, 4); n > 0; --n) {
        switch (pick(0, 2)) {
            case 0:
                out.push_back(Fill(pick(1, 12), pick(1, 7), pick(1, 3)));
                break;
            case 1:
                out.push_back(Answer(pick(1, 5), pick(4, 30), pick(5, 12)));
                break;
            default:
                out.push_back(Essay(pick(50, 900)));
        }
    }
    return out;
}

// Every page-grid rectangle the objective groups and the sections take, with what it is.
struct Taken {
    host::CellRect rect;
    std::string what;
};

std::vector<Taken> ObjectiveAreas(int16_t code, const layout::SheetForm& form) {
    std::vector<layout::GroupShape> shapes;
    for (const auto& g : form.mfgQuestion.Groups())
        shapes.push_back({std::stoi(g[2]), std::stoi(g[3])});
    const layout::ObjectivePlan plan =
        layout::PlanObjectiveSection(code, layout::ObjectiveStartRow(code), shapes);
    const auto columns = layout::ObjectivePageColumns(code, layout::ObjectiveStartRow(code));
    std::vector<Taken> out;
    for (const layout::GroupPlacement& g : plan.groups) {
        const layout::PageColumn& c = columns[static_cast<size_t>(g.pageColumn)];
        out.push_back({{g.headingRow, c.boxLeft, g.headingRow, c.boxRight}, "objective heading"});
        for (const host::CellRect& f : g.frames) out.push_back({f, "objective frame"});
    }
    return out;
}

std::string Describe(const host::CellRect& r) {
    return "rows " + std::to_string(r.top) + "-" + std::to_string(r.bottom) + ", columns " +
           std::to_string(r.left) + "-" + std::to_string(r.right);
}

// Checks a generated sheet against its plan: each item whole in one page column of one page,
// nothing overlapping, headings, numbers, underlines, frames and squares as planned, every item
// number once. Returns the section areas (headings and items).
std::vector<host::CellRect> CheckSheet(Sheet& sheet) {
    const int16_t code = sheet.Code();
    host::Table& grid = sheet.Grid();
    const std::vector<double> widths =
        host::ResolveColumnWidths(grid, sheet.doc->pageSetup.TextWidth());
    const layout::WrittenPlan plan = layout::PlanFormSections(code, sheet.form, widths);
    EXPECT_TRUE(plan.fits);
    const auto columns = layout::ObjectivePageColumns(code, layout::ObjectiveStartRow(code));
    const host::PageLayout pages = host::LayOutPages(*sheet.doc);
    const host::PlacedTable& placed = *pages.FirstTable();
    host::Application quiet;

    std::vector<Taken> taken = ObjectiveAreas(code, sheet.form);
    std::vector<host::CellRect> sectionAreas;
    std::vector<int> numbers;  // item numbers the sections take, in order
    for (size_t s = 0; s < plan.sections.size(); ++s) {
        const layout::SectionPlacement& sp = plan.sections[s];
        const WrittenSection& section = sheet.form.sections[s];
        const layout::PageColumn& hc = columns[static_cast<size_t>(sp.pageColumn)];
        const host::CellRect heading = grid.CellArea(sp.headingRow, hc.headingColumn);
        EXPECT_EQ(grid.At(sp.headingRow, hc.headingColumn).Text(),
                  layout::WrittenHeading(sheet.form, s, quiet));
        taken.push_back({heading, "heading of section " + std::to_string(s + 1)});
        sectionAreas.push_back(heading);
        int squares = 0, counts = 0;
        for (const layout::WrittenItem& item : sp.items) {
            SCOPED_TRACE("item " + std::to_string(item.number) + " at " + Describe(item.area));
            const layout::PageColumn& c = columns[static_cast<size_t>(item.pageColumn)];
            // Whole, inside its page column, on one page.
            EXPECT_GE(item.area.top, c.firstRow);
            EXPECT_LE(item.area.bottom, c.lastRow);
            EXPECT_EQ(item.area.left, c.boxLeft);
            EXPECT_EQ(item.area.right, c.boxRight);
            EXPECT_EQ(placed.RowPage(item.area.top), placed.RowPage(item.area.bottom));
            EXPECT_FALSE(grid.CutsMergedCell(item.area));
            taken.push_back({item.area, "item " + std::to_string(item.number)});
            sectionAreas.push_back(item.area);
            if (numbers.empty() || numbers.back() != item.number) numbers.push_back(item.number);

            switch (section.kind) {
                case SectionKind::Fill: {
                    EXPECT_EQ(grid.At(item.area.top + 1, c.boxLeft).Text(),
                              std::to_string(item.number) + ".");
                    EXPECT_GE(item.lines * item.blanksPerLine, section.blanks);
                    int underlined = 0;
                    for (int line = 0; line < item.lines; ++line) {
                        const int row = item.area.top + 2 * line + 1;
                        bool inBlank = false;
                        for (int col = c.boxLeft; col <= c.boxRight; ++col) {
                            const bool under = grid.HorizontalEdge(row + 1, col).Visible();
                            if (under && !inBlank) ++underlined;
                            inBlank = under;
                        }
                    }
                    EXPECT_EQ(underlined, section.blanks);
                    break;
                }
                case SectionKind::Answer: {
                    EXPECT_EQ(grid.At(item.area.top, item.area.left).Text(),
                              layout::AnswerLabelText(item.number, section.points));
                    EXPECT_EQ(item.area.Rows(), section.rows);
                    for (int col = item.area.left; col <= item.area.right; ++col) {
                        EXPECT_TRUE(grid.HorizontalEdge(item.area.top, col).Visible());
                        EXPECT_TRUE(grid.HorizontalEdge(item.area.bottom + 1, col).Visible());
                    }
                    for (int row = item.area.top; row <= item.area.bottom; ++row) {
                        EXPECT_TRUE(grid.VerticalEdge(row, item.area.left).Visible());
                        EXPECT_TRUE(grid.VerticalEdge(row, item.area.right + 1).Visible());
                    }
                    break;
                }
                case SectionKind::Essay: {
                    EXPECT_EQ(grid.CellArea(item.area.top, item.area.left), item.area);
                    const host::Content& story = grid.At(item.area.top, item.area.left).content;
                    EXPECT_TRUE(!story.empty() && story.front().IsTable());
                    if (story.empty() || !story.front().IsTable()) break;
                    const host::Table& squaresGrid = *story.front().table;
                    EXPECT_EQ(squaresGrid.Rows(), 2 * item.squareRows + 1);
                    EXPECT_EQ(squaresGrid.Columns(), item.squaresPerRow);
                    EXPECT_EQ(item.squaresBefore, squares);
                    squares += item.squareRows * item.squaresPerRow;
                    // The counts continue from part to part, under every hundredth square.
                    for (int r = 1; r <= squaresGrid.Rows(); ++r)
                        for (int col = 1; col <= squaresGrid.Columns(); ++col) {
                            const std::string text = squaresGrid.At(r, col).Text();
                            if (text.empty()) continue;
                            EXPECT_EQ(text, std::to_string(100 * ++counts));
                            EXPECT_EQ((r - 3) / 2 * item.squaresPerRow + col + item.squaresBefore,
                                      100 * counts);
                        }
                    break;
                }
            }
        }
        if (section.kind == SectionKind::Essay) {
            EXPECT_GE(squares, section.chars);
            EXPECT_LT(squares - section.chars, sp.items.back().squaresPerRow);
            EXPECT_EQ(counts, squares / 100);
        }
    }
    for (size_t i = 0; i < taken.size(); ++i)
        for (size_t j = i + 1; j < taken.size(); ++j)
            EXPECT_FALSE(taken[i].rect.Intersects(taken[j].rect))
                << taken[i].what << " " << Describe(taken[i].rect) << " and " << taken[j].what
                << " " << Describe(taken[j].rect);

    // Every number once, on from the objective items, as printed.
    int objectiveItems = 0;
    for (const auto& g : sheet.form.mfgQuestion.Groups()) objectiveItems += std::stoi(g[2]);
    for (size_t i = 0; i < numbers.size(); ++i)
        EXPECT_EQ(numbers[i], objectiveItems + 1 + static_cast<int>(i));
    std::map<int, int> printed;
    for (int r = 1; r <= grid.Rows(); ++r)
        for (int col = 1; col <= grid.Columns(); ++col) {
            if (!grid.IsAnchor(r, col)) continue;
            const std::string text = grid.At(r, col).Text();
            const size_t dot = text.find('.');
            // "N." of a fill-in item, "N.（P分）" of an answer box; notes start "1." too.
            if (dot == 0 || dot == std::string::npos ||
                text.find_first_not_of("0123456789") != dot ||
                (dot + 1 != text.size() && text.compare(dot + 1, 3, "（") != 0))
                continue;
            ++printed[std::stoi(text.substr(0, dot))];
        }
    for (const auto& [number, times] : printed) EXPECT_EQ(times, 1) << number;
    EXPECT_EQ(sheet.form.itemNo, numbers.empty() ? objectiveItems : numbers.back());
    return sectionAreas;
}

constexpr double kPtPerMm = 72 / 25.4;

// The grid line at a position in points, or 0 when none lies there.
int LineAt(const std::vector<double>& lines, double at) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (std::abs(lines[i] - at) < 0.01) return static_cast<int>(i) + 1;
    return 0;
}

// The template's regions lie on what is printed: an answer box's frame, the rows of a fill-in
// item with its underlines along the foot, a composition part's thick frame; they keep clear
// of each other and of every bubble and mark.
void CheckRegions(Sheet& sheet) {
    const layout::OmrTemplate t = layout::BuildOmrTemplate(*sheet.doc, sheet.form, sheet.Code());
    const host::PageLayout pages = host::LayOutPages(*sheet.doc);
    const host::PlacedTable& pt = *pages.FirstTable();
    const host::Table& grid = *pt.table;
    std::vector<double> rowLines[2];
    for (int r = 1; r <= grid.Rows(); ++r) {
        rowLines[pt.RowPage(r)].resize(static_cast<size_t>(r), -1);
        rowLines[pt.RowPage(r)][static_cast<size_t>(r - 1)] = pt.RowTop(r);
    }
    for (int r = 1; r <= grid.Rows(); ++r)
        if (r == grid.Rows() || pt.RowPage(r + 1) != pt.RowPage(r))
            rowLines[pt.RowPage(r)].push_back(pt.RowTop(r) + pt.RowHeight(r));
    size_t expected = 0;
    for (const WrittenSection& s : sheet.form.sections)
        expected += s.kind == SectionKind::Essay ? 1 : static_cast<size_t>(s.items);
    size_t items = 0;
    for (const layout::OmrRegion& region : t.regions) {
        SCOPED_TRACE(region.kind + " item " + std::to_string(region.item));
        const WrittenSection& section =
            sheet.form.sections.at(static_cast<size_t>(region.section - 1));
        EXPECT_EQ(region.kind, layout::SectionKindName(section.kind));
        items += region.part <= 1;
        const std::vector<double>& rows = rowLines[region.rect.page - 1];
        const double x = region.rect.x * kPtPerMm, y = region.rect.y * kPtPerMm;
        const double right = x + region.rect.width * kPtPerMm;
        const double bottom = y + region.rect.height * kPtPerMm;
        const int left = LineAt(pt.columnX, x), rightLine = LineAt(pt.columnX, right);
        const int top = LineAt(rows, y), foot = LineAt(rows, bottom);
        switch (section.kind) {
            case SectionKind::Answer:
                ASSERT_TRUE(left && rightLine && top && foot);
                for (int c = left; c < rightLine; ++c)
                    EXPECT_TRUE(grid.HorizontalEdge(top, c).Visible() &&
                                grid.HorizontalEdge(foot, c).Visible());
                for (int r = top; r < foot; ++r)
                    EXPECT_TRUE(grid.VerticalEdge(r, left).Visible() &&
                                grid.VerticalEdge(r, rightLine).Visible());
                break;
            case SectionKind::Fill: {
                ASSERT_TRUE(left && rightLine && top && foot);
                // Its underlines: visible edges at its foot, none running out of it.
                int underlined = 0;
                for (int c = left; c < rightLine; ++c)
                    underlined += grid.HorizontalEdge(foot, c).Visible();
                for (int c : {left - 1, rightLine}) {
                    if (c >= 1 && c <= grid.Columns()) {
                        EXPECT_FALSE(grid.HorizontalEdge(foot, c).Visible()) << c;
                    }
                }
                EXPECT_GT(underlined, 0);
                break;
            }
            case SectionKind::Essay: {
                // Centred at the top of its block: squares of 0.75 cm, 0.3 cm gaps, a 1.5 pt frame.
                ASSERT_TRUE(top);
                int c = 1;
                while (c < grid.Columns() && pt.ColumnLeft(c + 1) <= x) ++c;
                const host::CellRect block = grid.CellArea(top, c);
                EXPECT_EQ(block.top, top);
                EXPECT_NEAR(x + right, pt.ColumnLeft(block.left) + pt.ColumnLeft(block.right + 1),
                            0.01);
                EXPECT_LE(bottom, pt.RowTop(block.bottom) + pt.RowHeight(block.bottom));
                const host::Table& squares = *grid.At(top, c).content.front().table;
                const double side = 0.75 / 2.54 * 72, gap = 0.3 / 2.54 * 72;
                EXPECT_NEAR(region.rect.width * kPtPerMm, squares.Columns() * side, 0.01);
                EXPECT_NEAR(region.rect.height * kPtPerMm,
                            (squares.Rows() / 2) * (side + gap) + gap, 0.01);
                EXPECT_EQ(squares.HorizontalEdge(1, 1).lineWidth, host::kLineWidth150pt);
                EXPECT_EQ(squares.VerticalEdge(1, 1).lineWidth, host::kLineWidth150pt);
                break;
            }
        }
        for (const layout::OmrRegion& other : t.regions) {
            if (&other == &region || other.rect.page != region.rect.page) continue;
            EXPECT_FALSE(other.rect.x < region.rect.x + region.rect.width - 1e-6 &&
                         region.rect.x < other.rect.x + other.rect.width - 1e-6 &&
                         other.rect.y < region.rect.y + region.rect.height - 1e-6 &&
                         region.rect.y < other.rect.y + other.rect.height - 1e-6)
                << "overlaps item " << other.item;
        }
        const auto clear = [&](const layout::OmrRect& r) {
            return r.page != region.rect.page || r.x >= region.rect.x + region.rect.width ||
                   r.x + r.width <= region.rect.x || r.y >= region.rect.y + region.rect.height ||
                   r.y + r.height <= region.rect.y;
        };
        for (const layout::OmrItem& item : t.items)
            for (const layout::OmrBubble& b : item.options) EXPECT_TRUE(clear(b.rect));
        for (const layout::OmrPage& page : t.pages)
            for (const layout::OmrMark& mark : page.marks) EXPECT_TRUE(clear(mark.rect));
    }
    EXPECT_EQ(items, expected);
}

}  // namespace

TEST(WrittenSections, RandomListsThatFitLieWholeAndApartInEveryLayout) {
    for (int16_t code = 1; code <= 6; ++code) {
        std::mt19937 rng(static_cast<unsigned>(code) * 7919u);
        int sheets = 0, moved = 0;
        for (int trial = 0; trial < 10; ++trial) {
            std::vector<GroupSpec> groups;
            for (int g = std::uniform_int_distribution(0, 2)(rng); g > 0; --g)
                groups.push_back({std::uniform_int_distribution(0, 60)(rng),
                                  std::uniform_int_distribution(2, 5)(rng)});
            std::vector<WrittenSection> sections = RandomSections(rng);
            // Shortened until it fits: the lists that fit are the point here.
            while (!sections.empty()) {
                Sheet probe(kLayouts[code - 1], groups, sections);
                if (!settings::ValidateSettings(probe.form)) break;
                sections.pop_back();
            }
            if (sections.empty()) continue;
            SCOPED_TRACE(std::string(kLayouts[code - 1]) + " trial " + std::to_string(trial));
            Sheet sheet(kLayouts[code - 1], groups, sections);
            ASSERT_TRUE(sheet.Make()) << sheet.app.messages.back();
            ASSERT_TRUE(sheet.app.messages.empty());
            const std::vector<host::CellRect> areas = CheckSheet(sheet);
            CheckRegions(sheet);
            ++sheets;

            // Everything else is the sheet the same settings make without sections.
            Sheet bare(kLayouts[code - 1], groups, {});
            ASSERT_TRUE(bare.Make());
            const host::Table& a = sheet.Grid();
            const host::Table& b = bare.Grid();
            const auto inSections = [&](int r, int c) {
                for (const host::CellRect& s : areas)
                    if (s.Contains(r, c)) return true;
                return false;
            };
            for (int r = 1; r <= a.Rows(); ++r)
                for (int c = 1; c <= a.Columns(); ++c) {
                    if (inSections(r, c)) continue;
                    ASSERT_EQ(a.CellArea(r, c), b.CellArea(r, c)) << r << "," << c;
                    ASSERT_TRUE(a.At(r, c) == b.At(r, c)) << r << "," << c;
                    if (!inSections(r - 1, c)) {
                        ASSERT_EQ(a.HorizontalEdge(r, c), b.HorizontalEdge(r, c)) << r << "," << c;
                    }
                    if (!inSections(r, c - 1)) {
                        ASSERT_EQ(a.VerticalEdge(r, c), b.VerticalEdge(r, c)) << r << "," << c;
                    }
                }
            const layout::WrittenPlan plan = layout::PlanFormSections(
                code, sheet.form,
                host::ResolveColumnWidths(sheet.Grid(), sheet.doc->pageSetup.TextWidth()));
            for (const auto& s : plan.sections) moved += s.items.back().pageColumn > s.pageColumn;
        }
        EXPECT_GE(sheets, 6) << kLayouts[code - 1];
        EXPECT_GE(moved, 1) << kLayouts[code - 1] << ": no section ran into a further column";
    }
}

TEST(WrittenSections, HeadingsLabelsAndNumbersOfAnExam) {
    Sheet sheet("A3三栏", {{60, 4}}, {Fill(10, 1), Answer(4, 20), Essay(600)});
    ASSERT_TRUE(sheet.Make());
    host::Application quiet;
    EXPECT_EQ(layout::WrittenHeading(sheet.form, 0, quiet), "二、填空题 （每空2分共20分）");
    EXPECT_EQ(layout::WrittenHeading(sheet.form, 1, quiet), "三、解答题 （每小题10分共40分）");
    EXPECT_EQ(layout::WrittenHeading(sheet.form, 2, quiet), "四、作文 （共50分）");
    EXPECT_EQ(layout::AnswerLabelText(71, 10), "71.（10分）");
    EXPECT_EQ(layout::AnswerLabelText(18, 7.5), "18.（7.5分）");
    CheckSheet(sheet);
    CheckRegions(sheet);
    EXPECT_EQ(sheet.form.itemNo, 75);  // 60 + 10 + 4 + the composition
}

TEST(WrittenSections, ListsThatDoNotFitAreRefusedBeforeAnythingIsMade) {
    struct Case {
        const char* layout;
        std::vector<WrittenSection> sections;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"A4单栏", {Answer(2, 62)}, "“解答题”第31题比一栏还高，答题卡中放不下"},
        {"A3三栏", {Fill(1, 200)}, "“填空题”第31题比一栏还高，答题卡中放不下"},
        {"B5单栏", {Answer(3, 45)}, "“解答题”第32题在答题卡中放不下"},
        {"A3双栏", {Fill(20, 1), Essay(5000)}, "“作文”第51题在答题卡中放不下"},
        {"8开双栏", {Fill(200, 1)}, "“填空题”第124题在答题卡中放不下"},
        {"A3三栏", {Fill(0, 1)}, "“填空题”的小题数必须是1到32767之间的整数"},
        {"A3三栏", {Fill(2, 0)}, "“填空题”的每题空数必须是1到32767之间的整数"},
        {"A3三栏", {Answer(2, 0)}, "“解答题”的答题框行数必须是1到32767之间的整数"},
        {"A3三栏", {Essay(0)}, "“作文”的字数必须是1到32767之间的整数"},
        {"A3三栏", {Fill(2, 1, -1)}, "“填空题”的分值必须是不小于0的数"},
        {"A3三栏", {Fill(30000, 30000, 1e300)}, "“填空题”的分值太大，无法计算总分"},
        {"A4单栏",
         {{SectionKind::Essay, "作文：" + std::string(90, 'W'), 1, 1, 1, 100, 50}},
         "“作文：" + std::string(90, 'W') + "”的标题太长，答题卡中放不下"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        Sheet sheet(c.layout, {{30, 4}}, c.sections);
        EXPECT_FALSE(sheet.Make());
        EXPECT_EQ(sheet.app.messages, std::vector<std::string>{c.message});
        EXPECT_EQ(sheet.app.DocumentCount(), 0);
    }
}
