#include "compose/written_section.h"

#include <memory>
#include <optional>

#include "base/numbers.h"
#include "compose/chinese_numeral.h"
#include "compose/composition.h"
#include "compose/generators.h"
#include "compose/objective_flow.h"
#include "compose/objective_section.h"
#include "doc/border_pass.h"
#include "doc/errors.h"
#include "doc/geometry.h"

namespace varelo::layout {

namespace {

const host::CharFormat kHeadingFormat{host::kFontHei, 10.5, std::nullopt};
const host::CharFormat kNumberFormat{host::kFontSong, 10.5, std::nullopt};
const host::CharFormat kCountFormat{host::kFontSong, kCountMarkSize, std::nullopt};
constexpr int kHeadingCells = 11;
// Room left and right of an answer box's label, in points.
constexpr double kLabelMargin = 3;
// The count mark's line in the gap row below the squares (0.3 cm, 8.5 pt).
constexpr double kCountLine = 7;

std::string Points(double value) {
    return host::NumberToText(value);
}

// The grid of a composition part, centred in its block, with the count under every square
// that ends a hundred.
std::unique_ptr<host::Table> CompositionPart(const WrittenItem& part) {
    std::unique_ptr<host::Table> grid =
        tools::MakeCompositionGrid({part.squareRows, part.squaresPerRow});
    grid->rowAlignment = host::RowAlignment::Center;
    grid->leftPadding = grid->rightPadding = 0;  // a count of four digits is wider than a square
    for (int i = 0; i < part.squareRows; ++i)
        for (int j = 0; j < part.squaresPerRow; ++j) {
            const int square = part.squaresBefore + i * part.squaresPerRow + j + 1;
            if (square % 100 != 0) continue;
            host::Cell& below = grid->At(2 * i + 3, j + 1);
            below.SetAlignment(host::Alignment::Center);
            below.SetLineSpacing(host::LineSpacingRule::Exactly, kCountLine);
            PutText(below, kCountFormat, std::to_string(square));
        }
    return grid;
}

void BuildFillItem(host::Application& app, host::Table& grid, const PageColumn& column,
                   const WrittenItem& item, int blanks) {
    const host::CellRect number{item.area.top + 1, column.boxLeft, item.area.top + 1,
                                column.boxLeft + kFillNumberCells - 1};
    grid.Merge(number);
    PutText(grid.At(number.top, number.left), kNumberFormat, FillNumberText(item.number));
    for (int line = 0; line < item.lines; ++line) {
        const int onLine = std::min(item.blanksPerLine, blanks - line * item.blanksPerLine);
        const int row = item.area.top + line * kFillLineRows + 1;
        for (const host::CellRect& blank : FillBlankCells(column, row, onLine))
            host::BorderPass(app, grid, blank, host::BorderSet::BottomOnly());
    }
}

void BuildAnswerBox(host::Application& app, host::Table& grid, const WrittenItem& item,
                    double points, const std::vector<double>& widths) {
    const std::string label = AnswerLabelText(item.number, points);
    const host::CellRect cells = AnswerLabelCells(item, label, widths);
    grid.Merge(cells);
    PutText(grid.At(cells.top, cells.left), kNumberFormat, label);
    host::BorderPass(app, grid, item.area, host::BorderSet::Outline());
}

void BuildCompositionPart(host::Table& grid, const WrittenItem& part) {
    grid.Merge(part.area);
    host::Cell& block = grid.At(part.area.top, part.area.left);
    block.verticalAlignment = host::CellVAlign::Top;
    host::Paragraph closing = block.content.front().paragraph;
    closing.runs.clear();
    closing.format.lineSpacingRule = host::LineSpacingRule::Exactly;
    closing.format.lineSpacing = kClosingParagraphPt;
    closing.markFormat.size = kClosingParagraphPt;
    block.content.clear();
    block.content.emplace_back(CompositionPart(part));
    block.content.emplace_back(std::move(closing));
}

}  // namespace

std::string WrittenHeading(const exam::Exam& exam, size_t index, host::Application& app) {
    const std::vector<exam::ObjectiveGroup>& groups = exam.groups;
    int last = 0;
    if (!groups.empty())
        last = host::ToInt16(groups.back().number).value_or(static_cast<int16_t>(groups.size()));
    std::string number = std::to_string(last + 1 + static_cast<int>(index));
    const exam::WrittenSection& s = exam.sections.at(index);
    std::string points;
    switch (s.kind) {
        case exam::SectionKind::Fill:
            points = " （每空" + Points(s.points) + "分共" + Points(s.points * s.items * s.blanks) +
                     "分）";
            break;
        case exam::SectionKind::Answer:
            points = " （每小题" + Points(s.points) + "分共" + Points(s.points * s.items) + "分）";
            break;
        case exam::SectionKind::Essay:
            points = " （共" + Points(s.points) + "分）";
            break;
    }
    return ToChineseNumeral(number, app) + "、" + s.name + points;
}

std::string FillNumberText(int item) {
    return std::to_string(item) + ".";
}

std::string AnswerLabelText(int item, double points) {
    return std::to_string(item) + ".（" + Points(points) + "分）";
}

std::string WrittenRefusalMessage(const exam::Exam& exam, const WrittenRefusal& refusal) {
    const std::string name =
        "“" + exam.sections.at(refusal.section).name + "”第" + std::to_string(refusal.item) + "题";
    return refusal.tallerThanColumn ? name + "比一栏还高，答题卡中放不下"
                                    : name + "在答题卡中放不下";
}

host::CellRect AnswerLabelCells(const WrittenItem& box, const std::string& label,
                                const std::vector<double>& columnWidths) {
    const double needed = HeadingWidth(label) + 2 * kLabelMargin;
    host::CellRect cells{box.area.top, box.area.left, box.area.top, box.area.left};
    double width = 0;
    for (int c = box.area.left; c <= box.area.right; ++c) {
        cells.right = c;
        if (c <= static_cast<int>(columnWidths.size()))
            width += columnWidths[static_cast<size_t>(c - 1)];
        if (width >= needed) break;
    }
    return cells;
}

void BuildWrittenSections(SheetJob& job, exam::Layout layout) {
    host::Table& grid = job.doc.Tables(1);
    const std::vector<double>& widths = job.plan.columnWidths;
    const WrittenPlan& plan = job.plan.written;
    const std::vector<PageColumn> columns =
        ObjectivePageColumns(layout, ObjectiveStartRow(layout), job.plan.pageCodes);
    if (!plan.fits)
        throw host::HostError(host::kErrInvalidArgument, "Invalid procedure call or argument");

    for (size_t s = 0; s < plan.sections.size(); ++s) {
        const SectionPlacement& placed = plan.sections[s];
        const exam::WrittenSection& section = job.exam.sections[s];
        const std::string heading = WrittenHeading(job.exam, s, job.app);
        const PageColumn& first = columns[static_cast<size_t>(placed.pageColumn)];
        const host::CellRect headingCells =
            HeadingCells(first, placed.headingRow, HeadingWidth(heading), widths)
                .value_or(host::CellRect{placed.headingRow, first.headingColumn, placed.headingRow,
                                         first.headingColumn + kHeadingCells - 1});
        grid.Merge(headingCells);
        PutText(grid.At(headingCells.top, headingCells.left), kHeadingFormat, heading);

        for (const WrittenItem& item : placed.items) {
            const PageColumn& column = columns[static_cast<size_t>(item.pageColumn)];
            switch (section.kind) {
                case exam::SectionKind::Fill:
                    BuildFillItem(job.app, grid, column, item, section.blanks);
                    break;
                case exam::SectionKind::Answer:
                    BuildAnswerBox(job.app, grid, item, section.points, widths);
                    break;
                case exam::SectionKind::Essay:
                    BuildCompositionPart(grid, item);
                    break;
            }
        }
        if (!placed.items.empty()) job.itemNo = static_cast<int16_t>(placed.items.back().number);
    }
}

}  // namespace varelo::layout
