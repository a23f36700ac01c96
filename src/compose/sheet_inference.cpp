#include "compose/sheet_inference.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "codes/page_code.h"
#include "compose/chinese_numeral.h"
#include "compose/generators.h"
#include "compose/objective_flow.h"
#include "compose/objective_section.h"
#include "compose/template_reading.h"
#include "doc/application.h"

namespace varelo::layout {

namespace {

constexpr int kMaxDigits = 12;
constexpr int kMaxGroupNumber = 999;

[[noreturn]] void CannotTell(const std::string& what) {
    throw OmrError("the sheet carries no settings and its grid does not tell them: " + what);
}

[[noreturn]] void WrittenSectionsFollow() {
    CannotTell(
        "written-answer sections follow its objective groups, and their regions cannot be read "
        "from the grid");
}

std::string CellText(const host::Table& t, int r, int c) {
    if (r < 1 || c < 1 || r > t.Rows() || c > t.Columns()) return {};
    return t.At(r, c).Text();
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The title block: title paragraphs, then "SUBTITLE（答题卡）", then "命题人：SETTER".
void ReadTitle(const host::Table& t, exam::Exam& exam) {
    static const std::string kSubtitleTail = "（答题卡）", kSetter = "命题人：";
    for (int r = 1; r <= t.Rows(); ++r)
        for (int c = 1; c <= t.Columns(); ++c) {
            if (!t.IsAnchor(r, c)) continue;
            const host::Content& content = t.At(r, c).content;
            const size_t n = content.size();
            if (n < 3 || content[n - 1].IsTable() || content[n - 2].IsTable()) continue;
            const std::string setter = content[n - 1].paragraph.Text();
            const std::string subtitle = content[n - 2].paragraph.Text();
            if (setter.rfind(kSetter, 0) != 0 || !EndsWith(subtitle, kSubtitleTail)) continue;
            exam.title.clear();
            for (size_t i = 0; i + 2 < n; ++i) {
                if (content[i].IsTable()) continue;
                if (i > 0) exam.title += "\r";
                exam.title += content[i].paragraph.Text();
            }
            exam.subtitle = subtitle.substr(0, subtitle.size() - kSubtitleTail.size());
            exam.setter = setter.substr(kSetter.size());
            return;
        }
    CannotTell("no title block");
}

bool DigitColumn(const host::Table& t, const host::CellRect& area, int c) {
    for (int d = 0; d <= 9; ++d)
        if (CellText(t, area.top + d, c) != std::to_string(d)) return false;
    return true;
}

// The digit count whose bubble columns are all there, with none beside them.
int ReadDigits(const host::Table& t, exam::Layout layout) {
    std::optional<int> found;
    for (int d = 1; d <= kMaxDigits; ++d) {
        const host::CellRect area = CandidateBubbleArea(layout, d);
        // A column beside them that begins with the digit 0 is one of them, damaged or not.
        if (area.top == 0 || CellText(t, area.top, area.left - 1) == "0") continue;
        bool all = true;
        for (int c = area.left; c <= area.right && all; ++c) all = DigitColumn(t, area, c);
        if (all) found = d;
    }
    if (!found) CannotTell("no complete set of candidate-number bubbles");
    return *found;
}

// "一、NAME （每小题P分共T分）" split into its numeral, name and points.
struct Heading {
    std::string numeral, name, points;
};

std::optional<Heading> ParseHeading(const std::string& text) {
    static const std::string kComma = "、", kEach = " （每小题", kOf = "分共", kEnd = "分）";
    if (!EndsWith(text, kEnd)) return std::nullopt;
    const size_t comma = text.find(kComma);
    const size_t of = text.rfind(kOf);
    if (comma == std::string::npos || of == std::string::npos) return std::nullopt;
    const size_t each = text.rfind(kEach, of);
    if (each == std::string::npos || each < comma + kComma.size()) return std::nullopt;
    return Heading{text.substr(0, comma),
                   text.substr(comma + kComma.size(), each - comma - kComma.size()),
                   text.substr(each + kEach.size(), of - each - kEach.size())};
}

// The group number a numeral was written from: "三" -> "3"; "" when none gives it.
std::string GroupNumber(const std::string& numeral) {
    static const std::map<std::string, std::string> numbers = [] {
        std::map<std::string, std::string> m;
        host::Application app;
        for (int n = 1; n <= kMaxGroupNumber; ++n) {
            std::string text = std::to_string(n);
            m.emplace(ToChineseNumeral(text, app), std::to_string(n));
        }
        return m;
    }();
    const auto it = numbers.find(numeral);
    return it == numbers.end() ? std::string() : it->second;
}

// The option type and count of the bubbles below a number cell.
std::optional<std::pair<exam::OptionLabels, int>> ReadOptions(const host::Table& t, int numberRow,
                                                              int column) {
    for (const exam::OptionLabels type :
         {exam::OptionLabels::Letters, exam::OptionLabels::Digits, exam::OptionLabels::TrueFalse}) {
        int count = 0;
        while (CellText(t, numberRow + count + 1, column) == OptionLabel(type, count + 1) &&
               (type != exam::OptionLabels::Digits || count < 9) &&
               (type != exam::OptionLabels::TrueFalse || count < 2))
            ++count;
        if (count > 0) return std::pair{type, count};
    }
    return std::nullopt;
}

// A group found on the grid: its heading's place, the group and its first item number.
struct FoundGroup {
    int pageColumn = 0, headingRow = 0;
    exam::ObjectiveGroup group;
    int firstItem = 0;
};

// The objective groups, heading by heading along the flow, each placed where the plan of the
// groups before it says it would stand.
std::vector<exam::ObjectiveGroup> ReadGroups(const host::Table& t, exam::Layout layout,
                                             bool pageCodes) {
    const int startRow = ObjectiveStartRow(layout);
    const std::vector<PageColumn> columns = ObjectivePageColumns(layout, startRow, pageCodes);
    std::vector<FoundGroup> found;
    std::vector<GroupShape> shapes;
    size_t ci = 0;
    int row = startRow - 1;  // where the next heading may stand
    const auto headingAt = [&](size_t column, int r) -> std::optional<Heading> {
        const PageColumn& pc = columns[column];
        for (const int c : {pc.headingColumn, pc.boxLeft})
            if (const auto h = ParseHeading(CellText(t, r, c))) return h;
        return std::nullopt;
    };
    const auto planFor = [&](const std::vector<GroupShape>& s) {
        return PlanObjectiveSection(layout, startRow, s, pageCodes);
    };
    for (;;) {
        // The next heading along the flow.
        std::optional<Heading> heading;
        for (; ci < columns.size() && !heading; ++ci) {
            row = std::max(row, columns[ci].firstRow);
            for (; row <= columns[ci].lastRow && !heading; ++row) heading = headingAt(ci, row);
            if (heading) break;
            row = 0;
        }
        if (!heading) break;
        const int headingRow = --row;
        const PageColumn& pc = columns[ci];
        const int numberRow = headingRow + 1, column = pc.ItemColumn(0);
        const std::string first = CellText(t, numberRow, column);
        const auto options = ReadOptions(t, numberRow, column);
        if ((first.empty() || !options) && !found.empty()) WrittenSectionsFollow();
        if (first.empty() || !options)
            CannotTell("under the heading \"" + heading->name +
                       "\" stand no option bubbles (a written-answer section, or a group "
                       "without items, cannot be read from the grid)");
        FoundGroup g{static_cast<int>(ci),
                     headingRow,
                     {GroupNumber(heading->numeral),
                      heading->name,
                      {},
                      {options->second, std::to_string(options->second)},
                      options->first,
                      {host::LeadingValue(heading->points), heading->points}},
                     host::ToInt16(first).value_or(0)};
        if (!found.empty()) {
            FoundGroup& before = found.back();
            const int items = g.firstItem - before.firstItem;
            if (items < 1)
                CannotTell("the item numbers do not run on at group \"" + heading->name + "\"");
            before.group.items = {items, std::to_string(items)};
            shapes.back().items = items;
        }
        found.push_back(g);
        shapes.push_back({1, options->second});
        // The heading stands where the plan of the groups so far puts it.
        const ObjectivePlan plan = planFor(shapes);
        if (!plan.fits || plan.groups.back().pageColumn != static_cast<int>(ci) ||
            plan.groups.back().headingRow != headingRow)
            CannotTell("the group \"" + heading->name + "\" is not where the groups before it end");
        // Continue below the group's first block; its further blocks hold no heading.
        row = numberRow + options->second + 1;
    }
    if (found.empty()) CannotTell("no objective question group");

    // The last group runs as long as the next item's number stands where the plan puts it.
    FoundGroup& last = found.back();
    int items = 1;
    for (; last.firstItem + items < INT16_MAX; ++items) {
        shapes.back().items = items + 1;
        const ObjectivePlan plan = planFor(shapes);
        if (!plan.fits) break;
        const ObjectiveBlock& b = plan.groups.back().blocks.back();
        const PageColumn& pc = columns[static_cast<size_t>(b.pageColumn)];
        if (CellText(t, b.row, pc.ItemColumn(b.itemCount - 1)) !=
            std::to_string(last.firstItem + items))
            break;
    }
    last.group.items = {items, std::to_string(items)};

    shapes.back().items = items;
    const ObjectivePlan plan = planFor(shapes);
    // Every item of a group has the options of its first: the spacer row below them is empty.
    for (size_t g = 0; g < plan.groups.size(); ++g)
        for (const ObjectiveBlock& b : plan.groups[g].blocks)
            for (int k = 0; k < b.itemCount; ++k) {
                const int r = b.row + shapes[g].options + 1,
                          c = columns[static_cast<size_t>(b.pageColumn)].ItemColumn(k);
                if (CellText(t, r, c) == OptionLabel(found[g].group.labels, shapes[g].options + 1))
                    CannotTell("grid cell (" + std::to_string(r) + ", " + std::to_string(c) +
                               ") holds more options than the group's first item");
            }

    // A numbered heading further along the flow begins a written-answer section. (Anything
    // else there, such as composition paper drawn with the tools, is no part of the template.)
    for (size_t c = static_cast<size_t>(plan.nextPageColumn); c < columns.size(); ++c) {
        const PageColumn& pc = columns[c];
        const int top =
            c == static_cast<size_t>(plan.nextPageColumn) ? plan.nextRow - 1 : pc.firstRow;
        for (int r = std::max(top, 1); r <= pc.lastRow; ++r)
            for (const int k : {pc.headingColumn, pc.boxLeft}) {
                const std::string text = CellText(t, r, k);
                const size_t comma = text.find("、");
                if (comma != std::string::npos && !GroupNumber(text.substr(0, comma)).empty())
                    WrittenSectionsFollow();
            }
    }
    std::vector<exam::ObjectiveGroup> groups;
    for (const FoundGroup& g : found) groups.push_back(g.group);
    return groups;
}

exam::Exam InferForLayout(const host::Document& doc, const host::PageLayout& pages,
                          exam::Layout layout) {
    const host::Table& t = *pages.FirstTable()->table;
    exam::Exam exam;
    exam.layout = layout;
    ReadTitle(t, exam);
    const int digits = ReadDigits(t, layout);
    exam.digits = {digits, std::to_string(digits)};
    // Printed codes keep the flow clear of them, and name the exam.
    if (const host::InlinePicture* code = PageCodePicture(t, layout, 1)) {
        exam.pageCode = exam::PageCodeChoice::On;
        if (const auto parsed = codes::ParsePageCode(code->description))
            exam.examId = parsed->examId;
    } else {
        exam.pageCode = exam::PageCodeChoice::Off;
    }
    exam.groups = ReadGroups(t, layout, exam.pageCode == exam::PageCodeChoice::On);
    CheckGridPages(pages, layout);
    // The exam holds when the template built from it finds every cell it names.
    BuildOmrTemplate(doc, pages, exam, PlanSheet(exam, doc.pageSetup.TextWidth()));
    return exam;
}

}  // namespace

exam::Exam InferExam(const host::Document& doc) {
    const host::PageLayout pages = host::LayOutPages(doc);
    const host::PlacedTable* grid = pages.FirstTable();
    if (!grid) CannotTell("it has no page grid");
    std::vector<exam::Exam> forms;
    std::string why;
    for (const exam::Layout layout : exam::kLayouts) {
        if (grid->table->Rows() != GridRows(layout) ||
            static_cast<int>(PageGridColumnWidths(layout, doc.pageSetup.TextWidth()).size()) !=
                grid->table->Columns())
            continue;
        // A layout whose candidate field is not there is no more than a weak reason.
        bool candidateField = false;
        try {
            ReadDigits(*grid->table, layout);
            candidateField = true;
            forms.push_back(InferForLayout(doc, pages, layout));
        } catch (const OmrError& e) {
            if (why.empty() || candidateField) why = e.what();
        }
    }
    if (forms.size() == 1) return forms.front();
    if (forms.size() > 1) CannotTell("it fits more than one paper layout");
    if (!why.empty()) throw OmrError(why);
    CannotTell("its table is the page grid of no paper layout");
}

void CheckGridPages(const host::PageLayout& pages, exam::Layout layout) {
    const host::PlacedTable* grid = pages.FirstTable();
    int secondPage = 0;
    for (const PageColumn& c : ObjectivePageColumns(layout, ObjectiveStartRow(layout)))
        if (c.page == 2) {
            secondPage = c.firstRow;
            break;
        }
    if (!grid || secondPage < 2 || secondPage > grid->table->Rows()) return;
    if (pages.pageCount != 2 || grid->RowPage(secondPage) != 1 ||
        grid->RowPage(secondPage - 1) != 0 || grid->RowPage(1) != 0)
        throw OmrError("the page grid no longer lies on two pages as its layout prints it (row " +
                       std::to_string(secondPage) +
                       " should begin page 2): an office program may have changed its row heights");
}

}  // namespace varelo::layout
