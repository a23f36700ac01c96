#include "compose/objective_section.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/numbers.h"
#include "compose/chinese_numeral.h"
#include "compose/objective_flow.h"
#include "doc/border_pass.h"
#include "doc/errors.h"
#include "doc/geometry.h"

namespace varelo::layout {

namespace {

[[noreturn]] void InvalidArgument() {
    throw host::HostError(host::kErrInvalidArgument, "Invalid procedure call or argument");
}

[[noreturn]] void PastTheGrid() {
    throw host::HostError(host::kErrNoSuchMember,
                          "The requested member of the collection does not exist.");
}

const host::CharFormat kHeadingFormat{host::kFontHei, 10.5, std::nullopt};
const host::CharFormat kBubbleFormat{host::kFontBubble, 12, std::nullopt};
constexpr double kNumberSize = 10.5;
// Three digits of the number font at 10.5 pt are nearly as wide as an item column; at 8 pt
// they leave a clear gap to the next number in every layout.
constexpr double kLongNumberSize = 8;
constexpr int kLongNumber = 100;
constexpr int kHeadingCells = 11;

std::string Utf8(char32_t cp) {
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

bool FreeSingleCell(const host::Table& grid, int r, int c) {
    const host::CellRect area = grid.CellArea(r, c);
    return area.Rows() == 1 && area.Columns() == 1 && grid.At(r, c).Empty();
}

// Refuses the group before any of it is drawn when a cell it writes is taken: a page-number
// block, a corner mark or anything a generator put there before.
void CheckCellsAreFree(const host::Table& grid, const std::vector<PageColumn>& columns,
                       const GroupPlacement& placed, const host::CellRect& heading, int markColumn,
                       int options) {
    for (int c = heading.left; c <= heading.right; ++c)
        if (!FreeSingleCell(grid, heading.top, c)) InvalidArgument();
    for (const ObjectiveBlock& b : placed.blocks) {
        const PageColumn& pc = columns[static_cast<size_t>(b.pageColumn)];
        for (int t = 0; t < b.itemCount; ++t)
            for (int j = 0; j <= options; ++j)
                if (!FreeSingleCell(grid, b.row + j, pc.ItemColumn(t))) InvalidArgument();
        for (int j = 1; j <= options; ++j) {
            const host::Cell& mark = grid.At(b.row + j, markColumn);
            if (!mark.Empty() && mark.Text() != "!") InvalidArgument();
        }
    }
}

void BuildGroup(SheetJob& job, exam::Layout layout, const std::vector<PageColumn>& columns,
                const GroupPlacement& placed, const exam::ObjectiveGroup& group) {
    host::Table& grid = job.doc.Tables(1);
    const int itemCount = group.items.value;
    const int optionCount = group.options.value;
    const exam::OptionLabels type = group.labels;
    if (job.itemNo + itemCount > INT16_MAX) throw host::HostError(6, "Overflow");

    const std::string heading = ObjectiveHeading(group, job.app);
    const PageColumn& first = columns[static_cast<size_t>(placed.pageColumn)];
    // A heading too long even for the whole box is refused by the settings check; should one
    // come here all the same, it keeps its eleven cells.
    const host::CellRect headingCells =
        HeadingCells(first, placed.headingRow, HeadingWidth(heading),
                     host::ResolveColumnWidths(grid, job.doc.pageSetup.TextWidth()))
            .value_or(host::CellRect{placed.headingRow, first.headingColumn, placed.headingRow,
                                     first.headingColumn + kHeadingCells - 1});
    const int markColumn = ObjectiveMarkColumn(layout);
    CheckCellsAreFree(grid, columns, placed, headingCells, markColumn, optionCount);

    grid.Merge(headingCells);
    PutText(grid.At(headingCells.top, headingCells.left), kHeadingFormat, heading);
    for (const host::CellRect& frame : placed.frames)
        FrameObjectiveGroup(job, frame, markColumn, optionCount);

    bool copied = false;
    for (const ObjectiveBlock& b : placed.blocks) {
        const PageColumn& pc = columns[static_cast<size_t>(b.pageColumn)];
        for (int t = 0; t < b.itemCount; ++t) {
            const int column = pc.ItemColumn(t);
            ++job.itemNo;
            if (!copied) {
                for (int j = 1; j <= optionCount; ++j)
                    PutText(grid.At(b.row + j, column), kBubbleFormat, OptionLabel(type, j));
                job.app.clipboard.CopyFrom(grid, {b.row + 1, column, b.row + optionCount, column});
                copied = true;
            } else {
                job.app.clipboard.PasteInto(grid, b.row + 1, column);
            }
            PutText(grid.At(b.row, column),
                    {host::kFontSong, ItemNumberSize(job.itemNo), std::nullopt},
                    std::to_string(job.itemNo));
        }
    }
    job.curRow = static_cast<int16_t>(placed.blocks.back().row + optionCount + 2);
    job.curColumn = static_cast<int16_t>(placed.blocks.back().pageColumn);
}

}  // namespace

std::string OptionLabel(exam::OptionLabels type, int option) {
    switch (type) {
        case exam::OptionLabels::Digits:
            return std::to_string(option);
        case exam::OptionLabels::TrueFalse:
            return option == 1 ? "\u221A" : "\u00D7";  // √ and ×, drawn as bubbles by the font
        case exam::OptionLabels::Letters:
            break;
    }
    return Utf8(static_cast<char32_t>(64 + option));  // past "Z" in character-code order
}

std::string OptionValue(exam::OptionLabels type, int option) {
    if (type == exam::OptionLabels::TrueFalse) return option == 1 ? "T" : "F";
    return OptionLabel(type, option);
}

std::string ObjectiveHeading(const exam::ObjectiveGroup& group, host::Application& app) {
    // The total as the typed texts give it: "2.5" items of "1.50" points print 3.75.
    std::string number = group.number;  // the numeral formatter works on its own copy
    return ToChineseNumeral(number, app) + "、" + group.name + " （每小题" + group.points.text +
           "分共" + host::NumberToText(group.points.value * host::LeadingValue(group.items.text)) +
           "分）";
}

double ItemNumberSize(int itemNo) {
    return itemNo >= kLongNumber ? kLongNumberSize : kNumberSize;
}

void FrameObjectiveGroup(SheetJob& job, const host::CellRect& box, int markColumn,
                         int optionCount) {
    if (optionCount < 1 || box.Rows() < 1) InvalidArgument();
    host::Table& grid = job.doc.Tables(1);
    // Check the whole frame first, so a frame that leaves the grid draws nothing.
    grid.At(box.top, box.left);
    grid.At(box.bottom, box.right);
    grid.At(box.bottom, markColumn);

    // Blocks of the number row, the option rows and a spacer row; the last spacer lies outside.
    for (int blockTop = box.top; blockTop <= box.bottom; blockTop += optionCount + 2) {
        for (int j = 1; j <= optionCount && blockTop + j <= box.bottom; ++j) {
            host::Cell& cell = grid.At(blockTop + j, markColumn);
            if (cell.Text() == "!") continue;  // a corner mark or a block beside it has one
            cell.SetAlignment(host::Alignment::Left);
            PutText(cell, kBubbleFormat, "!");
        }
    }
    host::BorderPass(job.app, grid, box, host::BorderSet::Outline());
}

void BuildObjectiveSection(SheetJob& job, exam::Layout layout) {
    const std::vector<PageColumn> columns =
        ObjectivePageColumns(layout, job.curRow, job.plan.pageCodes);
    if (columns.empty()) InvalidArgument();
    if (job.curRow < 2 || job.curRow > job.doc.Tables(1).Rows()) PastTheGrid();
    job.curColumn = 0;
    // The plan the exam was checked with starts where the candidate information leaves curRow.
    const ObjectivePlan& plan = job.plan.objective;
    if (job.curRow != job.plan.objectiveStartRow || plan.groups.size() != job.exam.groups.size())
        InvalidArgument();
    for (size_t g = 0; g < job.exam.groups.size(); ++g)
        BuildGroup(job, layout, columns, plan.groups[g], job.exam.groups[g]);
}

}  // namespace varelo::layout
