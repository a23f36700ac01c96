#include "layout/omr_template.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>

#include "host/atomic_file.h"
#include "host/constants.h"
#include "host/geometry.h"
#include "host/numbers.h"
#include "layout/generators.h"
#include "layout/objective_flow.h"
#include "layout/objective_section.h"
#include "layout/sheet_inference.h"
#include "layout/written_section.h"

namespace varelo::layout {

namespace {

using Json = nlohmann::ordered_json;

constexpr double kMillimetresPerPoint = 25.4 / 72.0;

// The bubble font's metrics in em (fonts/block_hx.py): every glyph advances one em, its line
// box runs 0.8 above and 0.2 below the baseline without leading, and the bubble, like the
// solid mark, fills x 0.09..0.91 and y -0.02..0.62 above the baseline.
constexpr double kAdvance = 1.0;
constexpr double kDescent = 0.2;
constexpr double kBoxLeft = 0.09, kBoxRight = 0.91;
constexpr double kBoxBottom = -0.02, kBoxTop = 0.62;

bool IsBubbleFont(const std::string& name) {
    const std::string bubble = host::kFontBubble;
    return name.size() == bubble.size() &&
           std::equal(name.begin(), name.end(), bubble.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

size_t CodePoints(const std::string& s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char ch) {
        return (static_cast<unsigned char>(ch) & 0xC0) != 0x80;
    }));
}

// The line pitch of a one-line paragraph of the bubble font at size points.
double LineHeight(const host::ParagraphFormat& f, double size) {
    const double natural = size;  // ascent + descent, no leading
    switch (f.lineSpacingRule) {
        case host::LineSpacingRule::Exactly:
            return std::max(0.0, f.lineSpacing);
        case host::LineSpacingRule::AtLeast:
            return std::max(natural, f.lineSpacing);
        case host::LineSpacingRule::OnePtFive:
            return natural * 1.5;
        case host::LineSpacingRule::Double:
            return natural * 2;
        case host::LineSpacingRule::Multiple:
            return f.lineSpacing > 0 ? natural * f.lineSpacing / 12.0 : natural;
        case host::LineSpacingRule::Single:
            break;
    }
    return natural;
}

// A cell holding one character of the bubble font, and the box of that glyph on its page.
struct Glyph {
    std::string text;
    host::PageRect box;
};

// Places the glyph as the renderer does: the cell's padding, then its vertical alignment
// (content taller than the cell keeps its top), the paragraph's alignment within the
// content width, and the baseline at the line's foot less the font's descent.
std::optional<Glyph> BubbleGlyph(const host::Document& doc, const host::PlacedTable& pt, int r,
                                 int c) {
    const host::Table& t = *pt.table;
    const host::Cell& cell = t.At(r, c);
    if (cell.content.size() != 1 || cell.content.front().IsTable()) return std::nullopt;
    const host::Paragraph& p = cell.content.front().paragraph;
    const std::string text = p.Text();
    if (CodePoints(text) != 1 || p.runs.empty()) return std::nullopt;
    double size = 0;
    for (const host::Run& run : p.runs) {
        if (run.text.empty()) continue;
        const host::CharFormat f = doc.Resolve(p, run.format);
        if (!IsBubbleFont(f.font.value_or(std::string{}))) return std::nullopt;
        size = std::max(0.0, f.size.value_or(10.5));
    }

    const std::optional<host::PageRect> rect = pt.CellRect(r, c);
    if (!rect || size <= 0) return std::nullopt;
    const double spaceBefore = std::max(0.0, p.format.spaceBefore);
    const double lineHeight = LineHeight(p.format, size);
    const double contentHeight = spaceBefore + lineHeight + std::max(0.0, p.format.spaceAfter);
    const double room = rect->height - t.topPadding - t.bottomPadding;
    double offset = 0;
    if (cell.verticalAlignment == host::CellVAlign::Center) offset = (room - contentHeight) / 2;
    if (cell.verticalAlignment == host::CellVAlign::Bottom) offset = room - contentHeight;
    const double baseline =
        rect->y + t.topPadding + std::max(0.0, offset) + spaceBefore + lineHeight - kDescent * size;

    const double width = std::max(0.0, rect->width - t.leftPadding - t.rightPadding);
    double shift = 0;
    if (p.format.alignment == host::Alignment::Center) shift = (width - kAdvance * size) / 2;
    if (p.format.alignment == host::Alignment::Right) shift = width - kAdvance * size;
    const double left = rect->x + t.leftPadding + shift;

    return Glyph{text,
                 {rect->page, left + kBoxLeft * size, baseline - kBoxTop * size,
                  (kBoxRight - kBoxLeft) * size, (kBoxTop - kBoxBottom) * size}};
}

OmrRect ToMillimetres(const host::PageRect& r) {
    return {r.page + 1, r.x * kMillimetresPerPoint, r.y * kMillimetresPerPoint,
            r.width * kMillimetresPerPoint, r.height * kMillimetresPerPoint};
}

[[noreturn]] void Mismatch(int r, int c, const std::string& expected) {
    throw OmrError("the sheet does not match its settings: grid cell (" + std::to_string(r) + ", " +
                   std::to_string(c) + ") should hold " + expected);
}

OmrBubble ExpectBubble(const host::Document& doc, const host::PlacedTable& pt, int r, int c,
                       const std::string& value) {
    const std::optional<Glyph> g = BubbleGlyph(doc, pt, r, c);
    if (!g || g->text != value) Mismatch(r, c, "the bubble \"" + value + "\"");
    return {value, ToMillimetres(g->box)};
}

bool FirstOrLastOnPage(const host::PlacedTable& pt, int r) {
    const int rows = pt.table->Rows();
    const int page = pt.RowPage(r);
    return r == 1 || r == rows || pt.RowPage(r - 1) != page || pt.RowPage(r + 1) != page;
}

void ReadMarks(const host::Document& doc, const host::PlacedTable& pt, OmrTemplate& out) {
    const host::Table& t = *pt.table;
    for (int r = 1; r <= t.Rows(); ++r)
        for (int c = 1; c <= t.Columns(); ++c) {
            if (!t.IsAnchor(r, c)) continue;
            const std::optional<Glyph> g = BubbleGlyph(doc, pt, r, c);
            if (!g || g->text != "!") continue;
            const host::CellRect area = t.CellArea(r, c);
            const bool corner =
                FirstOrLastOnPage(pt, r) && (area.left == 1 || area.right == t.Columns());
            const OmrRect rect = ToMillimetres(g->box);
            out.pages[static_cast<size_t>(rect.page - 1)].marks.push_back({corner, rect});
        }
    for (OmrPage& page : out.pages)
        std::stable_sort(
            page.marks.begin(), page.marks.end(), [](const OmrMark& a, const OmrMark& b) {
                return a.rect.y != b.rect.y ? a.rect.y < b.rect.y : a.rect.x < b.rect.x;
            });
}

void ReadCandidateField(const host::Document& doc, const host::PlacedTable& pt,
                        const exam::Exam& exam, OmrTemplate& out) {
    const int digits = exam.digits.value;
    const host::CellRect area = CandidateBubbleArea(exam.layout, digits);
    if (area.top == 0)
        throw OmrError("the digit count " + std::to_string(digits) +
                       " has no candidate-number grid");
    // A sheet made with more digits than the form says would lose its leading columns.
    if (area.left > 1) {
        const std::optional<Glyph> before = BubbleGlyph(doc, pt, area.top, area.left - 1);
        if (before && before->text == "0")
            throw OmrError(
                "the sheet does not match its settings: its candidate number has more than " +
                std::to_string(digits) + " digits");
    }
    for (int c = area.left; c <= area.right; ++c) {
        std::vector<OmrBubble> column;
        for (int d = 0; d <= 9; ++d)
            column.push_back(ExpectBubble(doc, pt, area.top + d, c, std::to_string(d)));
        out.candidateColumns.push_back(std::move(column));
    }
}

// Follows the objective section's flow: the plan the generator laid the groups out by.
void ReadItems(const host::PlacedTable& pt, const host::Document& doc, const exam::Exam& exam,
               const SheetPlan& sheet, OmrTemplate& out) {
    const host::Table& t = *pt.table;
    const std::vector<exam::ObjectiveGroup>& groups = exam.groups;
    const ObjectivePlan& plan = sheet.objective;
    if (!plan.fits || plan.groups.size() != groups.size())
        throw OmrError("the question list does not fit on the sheet");
    const std::vector<PageColumn> columns =
        ObjectivePageColumns(exam.layout, sheet.objectiveStartRow);
    const auto cellIsEmpty = [&](int row, int column) {
        return row > t.Rows() || column > t.Columns() || t.At(row, column).Empty();
    };
    // Below the last group the written sections may begin: there only a further item's number
    // would tell of more items.
    const auto noFurtherItem = [&](int row, int column, int number) {
        return cellIsEmpty(row, column) ||
               (!exam.sections.empty() && t.At(row, column).Text() != std::to_string(number));
    };

    int itemNo = 0;
    for (size_t gi = 0; gi < groups.size(); ++gi) {
        const exam::ObjectiveGroup& g = groups[gi];
        const exam::OptionLabels type = g.labels;
        OmrGroup group{g.number,
                       g.name,
                       g.points.value,
                       itemNo + 1,
                       g.items.value,
                       g.options.value,
                       exam::OptionLabelsName(type)};
        out.groups.push_back(group);
        const GroupPlacement& placed = plan.groups[gi];
        for (const ObjectiveBlock& b : placed.blocks) {
            const PageColumn& pc = columns[static_cast<size_t>(b.pageColumn)];
            for (int k = 0; k < b.itemCount; ++k) {
                const int column = pc.ItemColumn(k);
                ++itemNo;
                if (t.At(b.row, column).Text() != std::to_string(itemNo))
                    Mismatch(b.row, column, "the number " + std::to_string(itemNo));
                OmrItem item{itemNo, static_cast<int>(out.groups.size()), group.points, {}};
                for (int j = 1; j <= group.optionCount; ++j) {
                    // Letters past "Z" follow character codes, so only the letters are checked
                    // by value.
                    const std::optional<Glyph> glyph = BubbleGlyph(doc, pt, b.row + j, column);
                    const bool known = type != exam::OptionLabels::Letters || j <= 26;
                    const std::string label = OptionLabel(type, j);
                    if (!glyph || (known && glyph->text != label))
                        Mismatch(b.row + j, column,
                                 known ? "the bubble \"" + label + "\"" : "an option bubble");
                    item.options.push_back({OptionValue(type, j), ToMillimetres(glyph->box)});
                }
                out.items.push_back(std::move(item));
            }
        }
        // Where a further item of this group would stand must be empty, or the sheet holds
        // more items than the form says. After a full block that place is the next group's.
        const ObjectiveBlock& last = placed.blocks.back();
        const PageColumn& pc = columns[static_cast<size_t>(last.pageColumn)];
        const bool full = last.itemCount == pc.itemsPerBlock;
        const bool clear =
            !full ? cellIsEmpty(last.row, pc.ItemColumn(last.itemCount))
            : gi + 1 < groups.size()
                ? true
                : noFurtherItem(plan.nextRow,
                                columns[static_cast<size_t>(plan.nextPageColumn)].ItemColumn(0),
                                itemNo + 1);
        if (!clear)
            throw OmrError("the sheet does not match its settings: it holds more than " +
                           std::to_string(group.itemCount) + " items in group " +
                           std::to_string(out.groups.size()));
    }
}

// The page rectangle of a block of page-grid slots that lies on one page.
host::PageRect AreaOnPage(const host::PlacedTable& pt, const host::CellRect& area) {
    if (pt.RowPage(area.top) != pt.RowPage(area.bottom))
        throw OmrError("the sheet does not match its settings: rows " + std::to_string(area.top) +
                       " to " + std::to_string(area.bottom) + " cross a page break");
    const double x = pt.ColumnLeft(area.left), y = pt.RowTop(area.top);
    return {pt.RowPage(area.top), x, y, pt.ColumnLeft(area.right + 1) - x,
            pt.RowTop(area.bottom) + pt.RowHeight(area.bottom) - y};
}

// The frame of the composition grid inside its block, where the renderer and the office
// program put it: at the top of the block's content, centred in its width.
host::PageRect CompositionFrame(const host::PlacedTable& pt, const WrittenItem& part) {
    const host::Table& t = *pt.table;
    const host::CellRect area = t.CellArea(part.area.top, part.area.left);
    const host::Content& story = t.At(part.area.top, part.area.left).content;
    if (area != part.area || story.empty() || !story.front().IsTable() ||
        story.front().table->Rows() != 2 * part.squareRows + 1 ||
        story.front().table->Columns() != part.squaresPerRow)
        Mismatch(part.area.top, part.area.left,
                 "a composition grid of " + std::to_string(part.squareRows) + " rows of " +
                     std::to_string(part.squaresPerRow) + " squares");
    const host::Table& grid = *story.front().table;
    const host::PageRect block = AreaOnPage(pt, area);
    const double room = std::max(0.0, block.width - t.leftPadding - t.rightPadding);
    double width = 0, height = 0;
    for (double w : host::ResolveColumnWidths(grid, room)) width += w;
    for (double h : host::ResolveRowHeights(grid)) height += h;
    return {block.page, block.x + t.leftPadding + (room - width) / 2, block.y + t.topPadding, width,
            height};
}

// The written sections' items where the plan put them, each checked to hold its number, label
// or grid.
void ReadRegions(const host::PlacedTable& pt, const exam::Exam& exam, const SheetPlan& sheet,
                 OmrTemplate& out) {
    if (exam.sections.empty()) return;
    const host::Table& t = *pt.table;
    const WrittenPlan& plan = sheet.written;
    if (!plan.fits || plan.sections.size() != exam.sections.size())
        throw OmrError("the written sections do not fit on the sheet");
    for (size_t s = 0; s < plan.sections.size(); ++s) {
        const exam::WrittenSection& section = exam.sections[s];
        for (const WrittenItem& item : plan.sections[s].items) {
            OmrRegion region{exam::SectionKindName(section.kind),
                             static_cast<int>(s) + 1,
                             item.number,
                             item.part,
                             section.points,
                             {}};
            switch (section.kind) {
                case exam::SectionKind::Fill: {
                    const std::string number = FillNumberText(item.number);
                    if (t.At(item.area.top + 1, item.area.left).Text() != number)
                        Mismatch(item.area.top + 1, item.area.left, "the number " + number);
                    region.points = section.points * section.blanks;
                    region.rect = ToMillimetres(AreaOnPage(pt, item.area));
                    break;
                }
                case exam::SectionKind::Answer: {
                    const std::string label = AnswerLabelText(item.number, section.points);
                    if (t.At(item.area.top, item.area.left).Text() != label)
                        Mismatch(item.area.top, item.area.left, "the label " + label);
                    region.rect = ToMillimetres(AreaOnPage(pt, item.area));
                    break;
                }
                case exam::SectionKind::Essay:
                    region.rect = ToMillimetres(CompositionFrame(pt, item));
                    break;
            }
            out.regions.push_back(std::move(region));
        }
    }
}

// Rounds to a number of decimals; dividing by a power of ten gives the double nearest the
// decimal, so the JSON shows it without a long tail.
double Round(double v, int decimals) {
    const double scale = std::pow(10.0, decimals);
    return std::round(v * scale) / scale;
}

Json RectJson(const OmrRect& r) {
    constexpr int kDecimals = 3;  // micrometres
    return Json{{"x", Round(r.x, kDecimals)},
                {"y", Round(r.y, kDecimals)},
                {"width", Round(r.width, kDecimals)},
                {"height", Round(r.height, kDecimals)}};
}

Json BubbleJson(const char* key, const Json& value, const OmrRect& r) {
    return Json{{key, value}, {"page", r.page}, {"rect", RectJson(r)}};
}

// A field of an OMRChecker block: one item or one candidate-number column, its bubbles on
// one page running down from (x, y) gap pixels apart.
struct Field {
    std::string label;
    std::vector<std::string> values;
    double x = 0, y = 0, gap = 0;
};

struct FieldBlock {
    std::string name;
    std::vector<Field> fields;
    double labelsGap = 0;
};

constexpr double kPixelTolerance = 0.01;

bool Joins(const FieldBlock& block, const Field& f) {
    const Field& first = block.fields.front();
    const Field& last = block.fields.back();
    if (f.values != first.values || std::abs(f.y - first.y) > kPixelTolerance ||
        std::abs(f.gap - first.gap) > kPixelTolerance || f.x <= last.x)
        return false;
    return block.fields.size() == 1 || std::abs(f.x - last.x - block.labelsGap) <= kPixelTolerance;
}

// Neighbouring fields with the same values, the same top and an even spacing form one block.
std::vector<FieldBlock> FormBlocks(const std::vector<Field>& fields) {
    std::vector<FieldBlock> blocks;
    for (const Field& f : fields) {
        if (!blocks.empty() && Joins(blocks.back(), f)) {
            FieldBlock& b = blocks.back();
            if (b.fields.size() == 1) b.labelsGap = f.x - b.fields.back().x;
            b.fields.push_back(f);
        } else {
            blocks.push_back({{}, {f}, 0});
        }
    }
    return blocks;
}

std::optional<Field> FieldOnPage(const std::string& label, const std::vector<OmrBubble>& bubbles,
                                 int page, double scale) {
    std::vector<const OmrBubble*> on;
    for (const OmrBubble& b : bubbles)
        if (b.rect.page == page) on.push_back(&b);
    if (on.empty()) return std::nullopt;
    Field f{label, {}, on.front()->rect.x * scale, on.front()->rect.y * scale, 0};
    for (const OmrBubble* b : on) f.values.push_back(b->value);
    if (on.size() > 1)
        f.gap =
            (on.back()->rect.y - on.front()->rect.y) * scale / static_cast<double>(on.size() - 1);
    return f;
}

// JSON on one line, with a blank after every colon and comma. Texts from the dialog may hold
// broken UTF-8; it is replaced rather than failing the export.
std::string Inline(const Json& j) {
    if (!j.is_structured()) return j.dump(-1, ' ', false, Json::error_handler_t::replace);
    std::string out(1, j.is_object() ? '{' : '[');
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += ", ";
        first = false;
        if (j.is_object())
            out += Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        out += Inline(it.value());
    }
    return out + (j.is_object() ? '}' : ']');
}

// Indented JSON that keeps every nested object or array that fits in the line on one line, so
// a rectangle or a bubble reads as one line; the top level is always spread out.
void Pretty(const Json& j, size_t indent, size_t used, std::string& out) {
    constexpr size_t kWidth = 120;
    const std::string one = Inline(j);
    if (!j.is_structured() || j.empty() || (indent > 0 && used + one.size() <= kWidth)) {
        out += one;
        return;
    }
    const std::string pad(indent + 2, ' ');
    out += j.is_object() ? "{\n" : "[\n";
    bool first = true;
    for (auto it = j.begin(); it != j.end(); ++it) {
        if (!first) out += ",\n";
        first = false;
        out += pad;
        std::string key;
        if (j.is_object())
            key = Json(it.key()).dump(-1, ' ', false, Json::error_handler_t::replace) + ": ";
        out += key;
        Pretty(it.value(), indent + 2, pad.size() + key.size(), out);
    }
    out += "\n" + std::string(indent, ' ') + (j.is_object() ? '}' : ']');
}

std::string Dump(const Json& j) {
    std::string out;
    Pretty(j, 0, 0, out);
    return out + "\n";
}

Json BlockJson(const FieldBlock& b) {
    constexpr int kDecimals = 2;  // hundredths of a pixel
    Json labels = Json::array();
    for (const Field& f : b.fields) labels.push_back(f.label);
    const Field& first = b.fields.front();
    return Json{{"origin", {std::lround(first.x), std::lround(first.y)}},
                {"bubblesGap", Round(first.gap, kDecimals)},
                {"labelsGap", Round(b.labelsGap, kDecimals)},
                {"fieldLabels", labels},
                {"bubbleValues", first.values},
                {"direction", "vertical"}};
}

void WriteAtomically(const std::string& path, const std::string& text) {
    try {
        host::SaveFileAtomically(path, text);
    } catch (const host::SaveError& e) {
        throw OmrError(e.what());
    }
}

}  // namespace

OmrTemplate BuildOmrTemplate(const host::Document& doc, const host::PageLayout& pages,
                             const exam::Exam& exam, const SheetPlan& plan) {
    const host::PlacedTable* grid = pages.FirstTable();
    if (!grid || grid->table->Rows() != GridRows(exam.layout))
        throw OmrError("the sheet has no page grid of its layout " +
                       std::string(exam::LayoutName(exam.layout)));

    OmrTemplate out;
    out.layout = exam::LayoutName(exam.layout);
    out.title = exam.title;
    out.subtitle = exam.subtitle;
    for (int i = 0; i < pages.pageCount; ++i)
        out.pages.push_back(
            {pages.pageWidth * kMillimetresPerPoint, pages.pageHeight * kMillimetresPerPoint, {}});
    CheckGridPages(pages, exam.layout);
    ReadMarks(doc, *grid, out);
    ReadCandidateField(doc, *grid, exam, out);
    ReadItems(*grid, doc, exam, plan, out);
    ReadRegions(*grid, exam, plan, out);
    return out;
}

OmrTemplate BuildOmrTemplate(const host::Document& doc, const exam::Exam& exam,
                             const SheetPlan& plan) {
    return BuildOmrTemplate(doc, host::LayOutPages(doc), exam, plan);
}

std::string OmrTemplateJson(const OmrTemplate& t) {
    Json pages = Json::array();
    for (size_t i = 0; i < t.pages.size(); ++i) {
        Json marks = Json::array();
        for (const OmrMark& m : t.pages[i].marks)
            marks.push_back(
                Json{{"kind", m.corner ? "corner" : "row"}, {"rect", RectJson(m.rect)}});
        pages.push_back(Json{{"page", static_cast<int>(i) + 1},
                             {"width", Round(t.pages[i].width, 3)},
                             {"height", Round(t.pages[i].height, 3)},
                             {"marks", marks}});
    }
    Json columns = Json::array();
    for (size_t i = 0; i < t.candidateColumns.size(); ++i) {
        Json bubbles = Json::array();
        for (const OmrBubble& b : t.candidateColumns[i])
            bubbles.push_back(BubbleJson("digit", std::stoi(b.value), b.rect));
        columns.push_back(Json{{"position", static_cast<int>(i) + 1}, {"bubbles", bubbles}});
    }
    Json groups = Json::array();
    for (size_t i = 0; i < t.groups.size(); ++i) {
        const OmrGroup& g = t.groups[i];
        groups.push_back(Json{{"group", static_cast<int>(i) + 1},
                              {"number", g.number},
                              {"name", g.name},
                              {"points", g.points},
                              {"firstItem", g.firstItem},
                              {"itemCount", g.itemCount},
                              {"optionCount", g.optionCount},
                              {"labels", g.labels}});
    }
    Json items = Json::array();
    for (const OmrItem& item : t.items) {
        Json options = Json::array();
        for (const OmrBubble& b : item.options)
            options.push_back(BubbleJson("label", b.value, b.rect));
        items.push_back(Json{{"number", item.number},
                             {"group", item.group},
                             {"points", item.points},
                             {"options", options}});
    }
    Json regions = Json::array();
    for (const OmrRegion& r : t.regions) {
        Json region{{"kind", r.kind}, {"section", r.section}, {"item", r.item}};
        if (r.part > 0) region["part"] = r.part;
        region["points"] = r.points;
        region["page"] = r.rect.page;
        region["rect"] = RectJson(r.rect);
        regions.push_back(std::move(region));
    }
    const Json doc{
        {"format", "varelo-omr-template"},
        {"version", 1},
        {"unit", "mm"},
        {"layout", t.layout},
        {"title", t.title},
        {"subtitle", t.subtitle},
        {"pages", pages},
        {"candidateNumber", {{"digits", t.candidateColumns.size()}, {"columns", columns}}},
        {"groups", groups},
        {"items", items},
        {"regions", regions}};
    return Dump(doc);
}

std::vector<std::string> OmrCheckerJson(const OmrTemplate& t, int dpi) {
    if (dpi < 1) throw OmrError("the resolution must be a positive number of dots per inch");
    const double scale = dpi / 25.4;  // px per mm

    // All bubbles are one glyph at one size; take the first for the common bubble size.
    const OmrBubble* sample = nullptr;
    if (!t.candidateColumns.empty() && !t.candidateColumns.front().empty())
        sample = &t.candidateColumns.front().front();
    else if (!t.items.empty() && !t.items.front().options.empty())
        sample = &t.items.front().options.front();
    const long bubbleW = sample ? std::max(1L, std::lround(sample->rect.width * scale)) : 1;
    const long bubbleH = sample ? std::max(1L, std::lround(sample->rect.height * scale)) : 1;

    std::vector<std::string> out;
    for (size_t i = 0; i < t.pages.size(); ++i) {
        const int page = static_cast<int>(i) + 1;
        std::vector<Field> digits, items;
        Json candidateLabels = Json::array();
        for (size_t c = 0; c < t.candidateColumns.size(); ++c) {
            const std::string label = "c" + std::to_string(c + 1);
            if (auto f = FieldOnPage(label, t.candidateColumns[c], page, scale)) {
                digits.push_back(*f);
                candidateLabels.push_back(label);
            }
        }
        for (const OmrItem& item : t.items)
            if (auto f = FieldOnPage("q" + std::to_string(item.number), item.options, page, scale))
                items.push_back(*f);

        Json blocks = Json::object();
        const std::vector<FieldBlock> digitBlocks = FormBlocks(digits);
        for (size_t b = 0; b < digitBlocks.size(); ++b)
            blocks[b == 0 ? std::string("candidateNumber")
                          : "candidateNumber_" + std::to_string(b + 1)] = BlockJson(digitBlocks[b]);
        for (const FieldBlock& b : FormBlocks(items)) {
            const std::string name = b.fields.size() == 1
                                         ? b.fields.front().label
                                         : b.fields.front().label + "-" + b.fields.back().label;
            blocks[name] = BlockJson(b);
        }

        Json doc{{"pageDimensions",
                  {std::lround(t.pages[i].width * scale), std::lround(t.pages[i].height * scale)}},
                 {"bubbleDimensions", {bubbleW, bubbleH}},
                 {"preProcessors", Json::array()},
                 {"fieldBlocks", blocks}};
        if (!candidateLabels.empty())
            doc["customLabels"] = Json{{"candidateNumber", candidateLabels}};
        out.push_back(Dump(doc));
    }
    return out;
}

bool PageHasBubbles(const OmrTemplate& t, int page) {
    const auto on = [page](const std::vector<OmrBubble>& bubbles) {
        return std::any_of(bubbles.begin(), bubbles.end(),
                           [page](const OmrBubble& b) { return b.rect.page == page; });
    };
    return std::any_of(t.candidateColumns.begin(), t.candidateColumns.end(), on) ||
           std::any_of(t.items.begin(), t.items.end(),
                       [&](const OmrItem& item) { return on(item.options); });
}

std::vector<std::string> WriteOmrTemplate(const OmrTemplate& t, const std::string& path,
                                          OmrFormat format, int dpi) {
    if (format == OmrFormat::Varelo) {
        WriteAtomically(path, OmrTemplateJson(t));
        return {path};
    }
    const std::vector<std::string> pages = OmrCheckerJson(t, dpi);
    std::string stem = path;
    if (stem.size() >= 5) {
        std::string tail = stem.substr(stem.size() - 5);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char ch) { return std::tolower(ch); });
        if (tail == ".json") stem.resize(stem.size() - 5);
    }
    std::vector<std::string> written;
    for (size_t i = 0; i < pages.size(); ++i) {
        if (!PageHasBubbles(t, static_cast<int>(i) + 1)) continue;
        const std::string file = stem + "-" + std::to_string(i + 1) + ".json";
        WriteAtomically(file, pages[i]);
        written.push_back(file);
    }
    return written;
}

}  // namespace varelo::layout
