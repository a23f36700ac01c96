#include "layout/objective_section.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>

#include "host/border_pass.h"
#include "host/errors.h"
#include "host/numbers.h"
#include "layout/chinese_numeral.h"

namespace varelo::layout {

namespace {

// Where a layout puts its objective groups, in page-grid columns.
struct ObjectiveLayout {
    int itemsPerBlock;  // items in one block row
    int headingColumn;  // first of the eleven merged heading cells
    int markColumn;     // positioning marks beside the option rows
    int boxColumn;      // first column of the box
    int boxExtension;   // further columns of the box to the right of boxColumn
    int firstItemColumn;
};

constexpr ObjectiveLayout kLayouts[] = {
    {15, 3, 1, 3, 18, 4},   // A3三栏
    {25, 3, 1, 3, 28, 3},   // A3双栏
    {15, 3, 1, 3, 17, 3},   // 8开三栏
    {20, 3, 1, 3, 24, 4},   // 8开双栏
    {20, 3, 28, 2, 24, 3},  // A4单栏
    {20, 2, 26, 2, 22, 2},  // B5单栏
};

constexpr int kHeadingCells = 11;

const ObjectiveLayout* FindLayout(int16_t layoutCode) {
    return layoutCode >= 1 && layoutCode <= kLayoutCount ? &kLayouts[layoutCode - 1] : nullptr;
}

[[noreturn]] void InvalidArgument() {
    throw host::HostError(host::kErrInvalidArgument, "Invalid procedure call or argument");
}

const ObjectiveLayout& LayoutOrThrow(int16_t layoutCode) {
    const ObjectiveLayout* layout = FindLayout(layoutCode);
    if (!layout) InvalidArgument();
    return *layout;
}

[[noreturn]] void PastTheGrid() {
    throw host::HostError(host::kErrNoSuchMember,
                          "The requested member of the collection does not exist.");
}

const host::CharFormat kHeadingFormat{host::kFontHei, 10.5, std::nullopt};
const host::CharFormat kNumberFormat{host::kFontSong, 10.5, std::nullopt};
const host::CharFormat kBubbleFormat{host::kFontBubble, 12, std::nullopt};

// Text added to a cell after its font is set, so an empty cell's mark carries the font too.
void PutText(host::Cell& cell, const host::CharFormat& format, const std::string& text) {
    cell.ApplyCharFormat(format);
    cell.InsertAfter(text);
}

// Option labels run on in character-code order past "Z".
std::string OptionLabel(int option) {
    const auto code = static_cast<unsigned>(64 + option);
    std::string s;
    if (code < 0x80) {
        s += static_cast<char>(code);
    } else if (code < 0x800) {
        s += static_cast<char>(0xC0 | (code >> 6));
        s += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (code >> 12));
        s += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (code & 0x3F));
    }
    return s;
}

int16_t CountOrThrow(const std::string& text) {
    const std::optional<int16_t> value = host::ToInt16(text);
    if (!value) throw host::HostError(13, "Type mismatch");
    return *value;
}

// Column of item t (from 0) of a block: five-groups with one empty column between them.
int ItemColumn(const ObjectiveLayout& layout, int t) {
    return layout.firstItemColumn + t + t / 5;
}

// Writes one group's heading, frame and items from job.form.curRow on.
void BuildGroup(SheetJob& job, const ObjectiveLayout& layout, int16_t layoutCode,
                const QuestionGrid::Row& group) {
    host::Table& grid = job.doc.Tables(1);
    SheetForm& form = job.form;

    std::string number = group[QuestionGrid::kNumber];
    const std::string& items = group[QuestionGrid::kItems];
    const std::string& points = group[QuestionGrid::kPoints];
    const std::string heading =
        ToChineseNumeral(number, job.app) + "、" + group[QuestionGrid::kName] + " （每小题" +
        points + "分共" +
        host::NumberToText(host::LeadingValue(points) * host::LeadingValue(items)) + "分）";
    const int headingRow = form.curRow - 1;
    grid.Merge(
        {headingRow, layout.headingColumn, headingRow, layout.headingColumn + kHeadingCells - 1});
    PutText(grid.At(headingRow, layout.headingColumn), kHeadingFormat, heading);

    const int itemCount = CountOrThrow(items);
    const int optionCount = CountOrThrow(group[QuestionGrid::kOptions]);
    // A negative item count or no option would turn the block geometry inside out.
    if (itemCount < 0 || optionCount < 1) InvalidArgument();
    const int n = layout.itemsPerBlock;
    const int blockCount = (itemCount - 1) / n + 1;
    const int blockRows = optionCount + 2;
    const int boxDepth = blockCount * blockRows - 1;

    // Refuse the whole group before drawing any of it when it would leave the grid; its
    // last spacer row may lie below the grid's end.
    const int lastRow = form.curRow + boxDepth - 1;
    const int lastColumn = std::max(
        {layout.markColumn, layout.boxColumn + layout.boxExtension, ItemColumn(layout, n - 1)});
    if (form.curRow < 1 || lastRow > grid.Rows() || lastColumn > grid.Columns()) PastTheGrid();
    if (form.itemNo + itemCount > INT16_MAX) throw host::HostError(6, "Overflow");
    // A long section reaches the page-number blocks at the foot of page 1: pasting into
    // them would overwrite the page number, so such a group is refused as a whole too.
    for (int k = 0; k < itemCount; ++k)
        for (int j = 0; j <= optionCount; ++j) {
            const int r = form.curRow + (k / n) * blockRows + j, c = ItemColumn(layout, k % n);
            const host::CellRect area = grid.CellArea(r, c);
            if (area.Rows() != 1 || area.Columns() != 1 || !grid.At(r, c).Empty())
                InvalidArgument();
        }

    FrameObjectiveGroup(job, form.curRow, static_cast<int16_t>(layout.markColumn),
                        static_cast<int16_t>(boxDepth), layoutCode,
                        static_cast<int16_t>(optionCount), static_cast<int16_t>(blockCount));

    for (int k = 0; k < itemCount; ++k) {
        const int row = form.curRow + (k / n) * blockRows;
        const int column = ItemColumn(layout, k % n);
        ++form.itemNo;
        if (k == 0) {
            for (int j = 1; j <= optionCount; ++j)
                PutText(grid.At(row + j, column), kBubbleFormat, OptionLabel(j));
            job.app.clipboard.CopyFrom(grid, {row + 1, column, row + optionCount, column});
        } else {
            job.app.clipboard.PasteInto(grid, row + 1, column);
        }
        PutText(grid.At(row, column), kNumberFormat, std::to_string(form.itemNo));
    }
    form.curRow = static_cast<int16_t>(form.curRow + blockRows * blockCount);
}

}  // namespace

void FrameObjectiveGroup(SheetJob& job, int16_t firstRow, int16_t markColumn, int16_t boxDepth,
                         int16_t layoutCode, int16_t optionCount, int16_t blockCount) {
    const ObjectiveLayout& layout = LayoutOrThrow(layoutCode);
    if (optionCount < 1 || blockCount < 1 || boxDepth < 1) InvalidArgument();
    host::Table& grid = job.doc.Tables(1);
    const int boxBottom = firstRow + boxDepth - 1;
    const host::CellRect box{firstRow, layout.boxColumn, boxBottom,
                             layout.boxColumn + layout.boxExtension};
    // Check the whole frame first, so a frame that leaves the grid draws nothing.
    grid.At(box.top, box.left);
    grid.At(box.bottom, box.right);
    grid.At(firstRow + blockCount * (optionCount + 2) - 2, markColumn);

    for (int b = 0; b < blockCount; ++b) {
        for (int j = 1; j <= optionCount; ++j) {
            host::Cell& cell = grid.At(firstRow + b * (optionCount + 2) + j, markColumn);
            if (cell.Text() == "!") continue;  // a page corner mark already stands there
            cell.SetAlignment(host::Alignment::Left);
            PutText(cell, kBubbleFormat, "!");
        }
    }
    host::BorderPass(job.app, grid, box, host::BorderSet::Outline());
}

void BuildObjectiveSection(SheetJob& job, int16_t layoutCode) {
    const ObjectiveLayout& layout = LayoutOrThrow(layoutCode);
    const int rows = job.form.mfgQuestion.Rows();  // read once, as the list stood at the start
    for (int r = 1; r < rows; ++r) {
        const QuestionGrid::Row group = job.form.mfgQuestion.GetRow(r);
        BuildGroup(job, layout, layoutCode, group);
    }
}

int ItemsPerBlock(int16_t layoutCode) {
    const ObjectiveLayout* layout = FindLayout(layoutCode);
    return layout ? layout->itemsPerBlock : 0;
}

int ObjectiveLastRow(int16_t layoutCode) {
    const ObjectiveLayout* layout = FindLayout(layoutCode);
    if (!layout) return 0;
    // The section runs down the first page column without a break, so a page-number block
    // inside its box columns would take option letters and the frame: it must stop above.
    constexpr int kPageNumberColumns = 3;
    const int boxLast = layout->boxColumn + layout->boxExtension;
    for (int page = 1; page <= 2; ++page) {
        const auto [row, column] = PageNumberBlock(layoutCode, page);
        if (column <= boxLast && column + kPageNumberColumns - 1 >= layout->boxColumn)
            return row - 1;
    }
    return GridRows(layoutCode);
}

int ObjectiveItemColumn(int16_t layoutCode, int t) {
    const ObjectiveLayout* layout = FindLayout(layoutCode);
    return layout ? ItemColumn(*layout, t) : 0;
}

}  // namespace varelo::layout
