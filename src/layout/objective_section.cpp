#include "layout/objective_section.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/border_pass.h"
#include "host/errors.h"
#include "host/geometry.h"
#include "host/numbers.h"
#include "layout/chinese_numeral.h"
#include "layout/objective_flow.h"

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

int16_t CountOrThrow(const std::string& text) {
    const std::optional<int16_t> value = host::ToInt16(text);
    if (!value) throw host::HostError(13, "Type mismatch");
    return *value;
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

void BuildGroup(SheetJob& job, int16_t layoutCode, const std::vector<PageColumn>& columns,
                const GroupPlacement& placed, const QuestionGrid::Row& group) {
    host::Table& grid = job.doc.Tables(1);
    SheetForm& form = job.form;
    const int itemCount = CountOrThrow(group[QuestionGrid::kItems]);
    const int optionCount = CountOrThrow(group[QuestionGrid::kOptions]);
    const OptionType type = ParseOptionType(group[QuestionGrid::kType]);
    if ((type == OptionType::Digits && optionCount > 9) ||
        (type == OptionType::TrueFalse && optionCount != 2))
        InvalidArgument();
    if (form.itemNo + itemCount > INT16_MAX) throw host::HostError(6, "Overflow");

    const std::string heading = ObjectiveHeading(group, job.app);
    const PageColumn& first = columns[static_cast<size_t>(placed.pageColumn)];
    // A heading too long even for the whole box is refused by the settings check; should one
    // come here all the same, it keeps its eleven cells.
    const host::CellRect headingCells =
        HeadingCells(first, placed.headingRow, HeadingWidth(heading),
                     host::ResolveColumnWidths(grid, job.doc.pageSetup.TextWidth()))
            .value_or(host::CellRect{placed.headingRow, first.headingColumn, placed.headingRow,
                                     first.headingColumn + kHeadingCells - 1});
    const int markColumn = ObjectiveMarkColumn(layoutCode);
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
            ++form.itemNo;
            if (!copied) {
                for (int j = 1; j <= optionCount; ++j)
                    PutText(grid.At(b.row + j, column), kBubbleFormat, OptionLabel(type, j));
                job.app.clipboard.CopyFrom(grid, {b.row + 1, column, b.row + optionCount, column});
                copied = true;
            } else {
                job.app.clipboard.PasteInto(grid, b.row + 1, column);
            }
            PutText(grid.At(b.row, column),
                    {host::kFontSong, ItemNumberSize(form.itemNo), std::nullopt},
                    std::to_string(form.itemNo));
        }
    }
    form.curRow = static_cast<int16_t>(placed.blocks.back().row + optionCount + 2);
    form.curColumn = static_cast<int16_t>(placed.blocks.back().pageColumn);
}

// A group that cannot be read or placed: its heading goes where the flow stands, then the
// generator ends, as a failing step ends it.
[[noreturn]] void FailGroup(SheetJob& job, int16_t layoutCode, const QuestionGrid::Row& group) {
    host::Table& grid = job.doc.Tables(1);
    const std::vector<PageColumn> columns = ObjectivePageColumns(layoutCode, job.form.curRow);
    const PageColumn& column = columns.at(static_cast<size_t>(job.form.curColumn));
    const int headingRow = job.form.curRow - 1;
    const host::CellRect cells{headingRow, column.headingColumn, headingRow,
                               column.headingColumn + kHeadingCells - 1};
    grid.Merge(cells);
    PutText(grid.At(cells.top, cells.left), kHeadingFormat, ObjectiveHeading(group, job.app));
    const int items = CountOrThrow(group[QuestionGrid::kItems]);
    const int options = CountOrThrow(group[QuestionGrid::kOptions]);
    if (items < 0 || options < 1) InvalidArgument();
    PastTheGrid();
}

}  // namespace

OptionType ParseOptionType(const std::string& text) {
    if (text == "数字") return OptionType::Digits;
    if (text == "判断") return OptionType::TrueFalse;
    return OptionType::Letters;
}

std::string OptionLabel(OptionType type, int option) {
    switch (type) {
        case OptionType::Digits:
            return std::to_string(option);
        case OptionType::TrueFalse:
            return option == 1 ? "\u221A" : "\u00D7";  // √ and ×, drawn as bubbles by the font
        case OptionType::Letters:
            break;
    }
    return Utf8(static_cast<char32_t>(64 + option));  // past "Z" in character-code order
}

std::string OptionValue(OptionType type, int option) {
    if (type == OptionType::TrueFalse) return option == 1 ? "T" : "F";
    return OptionLabel(type, option);
}

std::string ObjectiveHeading(const QuestionGrid::Row& group, host::Application& app) {
    std::string number = group[QuestionGrid::kNumber];
    const std::string& points = group[QuestionGrid::kPoints];
    return ToChineseNumeral(number, app) + "、" + group[QuestionGrid::kName] + " （每小题" +
           points + "分共" +
           host::NumberToText(host::LeadingValue(points) *
                              host::LeadingValue(group[QuestionGrid::kItems])) +
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

void BuildObjectiveSection(SheetJob& job, int16_t layoutCode) {
    const std::vector<PageColumn> columns = ObjectivePageColumns(layoutCode, job.form.curRow);
    if (columns.empty()) InvalidArgument();
    const int rows = job.form.mfgQuestion.Rows();  // read once, as the list stood at the start
    std::vector<QuestionGrid::Row> groups;
    for (int r = 1; r < rows; ++r) groups.push_back(job.form.mfgQuestion.GetRow(r));
    if (job.form.curRow < 2 || job.form.curRow > job.doc.Tables(1).Rows()) PastTheGrid();
    job.form.curColumn = 0;

    const ObjectivePlan plan =
        PlanObjectiveSection(layoutCode, job.form.curRow, ReadableShapes(groups));
    for (size_t g = 0; g < groups.size(); ++g) {
        if (g >= plan.groups.size()) FailGroup(job, layoutCode, groups[g]);
        BuildGroup(job, layoutCode, columns, plan.groups[g], groups[g]);
    }
}

std::vector<GroupShape> ReadableShapes(const std::vector<QuestionGrid::Row>& groups) {
    std::vector<GroupShape> shapes;
    for (const QuestionGrid::Row& g : groups) {
        const std::optional<int16_t> items = host::ToInt16(g[QuestionGrid::kItems]);
        const std::optional<int16_t> options = host::ToInt16(g[QuestionGrid::kOptions]);
        if (!items || !options || *items < 0 || *options < 1) break;
        shapes.push_back({*items, *options});
    }
    return shapes;
}

}  // namespace varelo::layout
