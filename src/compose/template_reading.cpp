#include "compose/template_reading.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "base/numbers.h"
#include "base/units.h"
#include "codes/page_code.h"
#include "compose/generators.h"
#include "compose/objective_flow.h"
#include "compose/objective_section.h"
#include "compose/sheet_inference.h"
#include "compose/written_section.h"
#include "doc/constants.h"
#include "doc/geometry.h"

namespace varelo::layout {

namespace {

using host::kMillimetresPerPoint;

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
    // A sheet made with more digits than the exam says would lose its leading columns.
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

void ReadAbsentMark(const host::Document& doc, const host::PlacedTable& pt, const exam::Exam& exam,
                    OmrTemplate& out) {
    if (!exam.marks.absent) return;
    const host::CellRect cell = AbsentBubbleCell(exam.layout);
    OmrBubble bubble = ExpectBubble(doc, pt, cell.top, cell.left, host::kEmptyBubble);
    bubble.value = "缺考";
    out.absent.push_back(std::move(bubble));
}

void ReadPaperTypes(const host::Document& doc, const host::PlacedTable& pt, const exam::Exam& exam,
                    OmrTemplate& out) {
    const std::string& types = exam.marks.paperTypes;
    for (size_t i = 0; i < types.size(); ++i) {
        const host::CellRect cell = PaperTypeBubble(exam.layout, static_cast<int>(i));
        out.paperTypes.push_back(
            ExpectBubble(doc, pt, cell.top, cell.left, std::string(1, types[i])));
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
        ObjectivePageColumns(exam.layout, sheet.objectiveStartRow, sheet.pageCodes);
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
        // more items than the exam says. After a full block that place is the next group's.
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

}  // namespace

const host::InlinePicture* PageCodePicture(const host::Table& t, exam::Layout layout, int page) {
    const host::CellRect area = PageCodeArea(layout, page);
    if (area.top == 0 || area.bottom > t.Rows() || t.CellArea(area.top, area.left) != area)
        return nullptr;
    for (const host::Block& block : t.At(area.top, area.left).content)
        if (!block.IsTable())
            for (const host::Run& run : block.paragraph.runs)
                if (run.picture) return run.picture.get();
    return nullptr;
}

namespace {

// The codes the sheet prints, each where its cell shows it: centred across and down the cell,
// as the generator sets it.
void ReadPageCodes(const host::PlacedTable& pt, const exam::Exam& exam, OmrTemplate& out) {
    const host::Table& t = *pt.table;
    std::string examId = exam.examId;
    for (int page = 1; page <= 2; ++page) {
        const host::CellRect area = PageCodeArea(exam.layout, page);
        const host::InlinePicture* picture = PageCodePicture(t, exam.layout, page);
        if (!picture) continue;
        // The code's own text says whose it is; a sheet whose settings name another exam
        // would be read under the wrong one.
        if (const auto code = codes::ParsePageCode(picture->description)) {
            if (examId.empty()) examId = code->examId;
            if (code->examId != examId || code->page != page)
                Mismatch(area.top, area.left,
                         "the page code of exam " + examId + ", page " + std::to_string(page));
        }
        const host::PageRect cell = AreaOnPage(pt, area);
        out.pageCodes.push_back(ToMillimetres(
            {cell.page, cell.x + (cell.width - picture->width) / 2,
             cell.y + (cell.height - picture->height) / 2, picture->width, picture->height}));
    }
    if (!out.pageCodes.empty()) out.examId = examId;
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
    ReadAbsentMark(doc, *grid, exam, out);
    ReadPaperTypes(doc, *grid, exam, out);
    ReadItems(*grid, doc, exam, plan, out);
    ReadRegions(*grid, exam, plan, out);
    ReadPageCodes(*grid, exam, out);
    return out;
}

OmrTemplate BuildOmrTemplate(const host::Document& doc, const exam::Exam& exam,
                             const SheetPlan& plan) {
    return BuildOmrTemplate(doc, host::LayOutPages(doc), exam, plan);
}

}  // namespace varelo::layout
