#include <array>

#include "base/units.h"
#include "compose/generators.h"
#include "doc/constants.h"
#include "doc/geometry.h"
#include "doc/table.h"

namespace varelo::layout {

namespace {

using host::Alignment;

struct ColumnPercent {
    int column = 0;  // 0: unused entry
    double percent = 0;
};

// A tall cell: rows top..bottom of one column.
struct ColumnRun {
    int column = 0;  // 0: unused entry
    int top = 0, bottom = 0;
};

struct Mark {
    int row, column;
    Alignment alignment;
};

struct Corner {
    int row, column;  // top-left slot of a 2 x 3 page-number block
};

struct PageGrid {
    int rows, columns;
    double tableWidth;  // percent of the text width
    // Mark columns, spacers and separators, in the order their widths are set.
    std::array<ColumnPercent, 6> widths;
    std::array<ColumnRun, 4> merges;  // in the order performed
    std::array<Mark, 6> marks;        // three per page, page 1 first
    std::array<Corner, 2> pageNumbers;
};

constexpr Alignment L = Alignment::Left;
constexpr Alignment R = Alignment::Right;

// Indexed by layout code - 1. The separator of layouts 2 and 4 is merged in two runs that
// leave out the rows of the page-number blocks, which cross it.
// clang-format off
constexpr std::array<PageGrid, kLayoutCount> kGrids{{
    {130, 63, 98,
     {{{1, 2}, {2, 1.2}, {22, 1.2}, {42, 1.2}, {62, 1.2}, {63, 2.5}}},
     {{{2, 1, 130}, {62, 1, 130}, {22, 1, 130}, {42, 1, 130}}},
     {{{1, 1, L}, {65, 1, L}, {65, 63, R}, {66, 1, L}, {130, 1, L}, {130, 63, R}}},
     {{{64, 31}, {129, 31}}}},
    {130, 63, 98,
     {{{1, 2}, {2, 1.2}, {32, 1.2}, {62, 1.2}, {63, 2.5}}},
     {{{2, 1, 130}, {62, 1, 130}, {32, 1, 63}, {32, 66, 128}}},
     {{{1, 1, L}, {65, 1, L}, {65, 63, R}, {66, 1, L}, {130, 1, L}, {130, 63, R}}},
     {{{64, 31}, {129, 31}}}},
    {115, 55, 95,
     {{{1, 2}, {2, 1}, {21, 1}, {38, 1}, {54, 1}, {55, 2.5}}},
     {{{2, 1, 115}, {54, 1, 115}, {21, 1, 115}, {38, 1, 115}}},
     {{{1, 1, L}, {58, 1, L}, {58, 55, R}, {59, 1, L}, {115, 1, L}, {115, 55, R}}},
     {{{57, 27}, {114, 27}}}},
    {115, 55, 95,
     {{{1, 2}, {2, 1}, {28, 1}, {54, 1}, {55, 2.5}}},
     {{{2, 1, 115}, {54, 1, 115}, {28, 1, 56}, {28, 59, 112}}},
     {{{1, 1, L}, {58, 1, L}, {58, 55, R}, {59, 1, L}, {115, 1, L}, {115, 55, R}}},
     {{{57, 27}, {114, 27}}}},
    {126, 28, 96,
     {{{27, 1.2}}},
     {},
     {{{1, 28, L}, {63, 1, L}, {63, 28, L}, {64, 28, L}, {126, 1, L}, {126, 28, L}}},
     {{{62, 13}, {125, 13}}}},
    {108, 26, 96,
     {{{25, 1.2}}},
     {},
     {{{1, 26, L}, {54, 1, L}, {54, 26, L}, {55, 26, L}, {108, 1, L}, {108, 26, L}}},
     {{{53, 13}, {107, 13}}}},
}};
// clang-format on

const PageGrid* GridFor(int16_t layoutCode) {
    return layoutCode >= 1 && layoutCode <= kLayoutCount ? &kGrids[layoutCode - 1] : nullptr;
}

// 0.42324 cm: the row height that fits 65, 58, 63 and 54 rows into the four text heights.
constexpr double kRowHeightCm = 0.42324;

void SetColumnWidths(host::Table& t, const PageGrid& g) {
    for (const ColumnPercent& w : g.widths)
        if (w.column != 0) t.ColumnWidth(w.column) = {host::PreferredWidthType::Percent, w.percent};
    t.preferredWidth = {host::PreferredWidthType::Percent, g.tableWidth};
    t.autoFit = host::AutoFit::Fixed;
}

host::Table& MakeGrid(host::Document& doc, const PageGrid& g) {
    // Every slot holds a centred paragraph at exactly 12 points; the grid is made of copies of
    // one such cell rather than formatted cell by cell, thousands of them.
    host::Cell blank;
    blank.SetLineSpacing(host::LineSpacingRule::Exactly, 12);
    blank.SetAlignment(Alignment::Center);
    host::Table& t = doc.AddTableAtStart(g.rows, g.columns, host::TableBehavior::Word8, blank);
    t.rowAlignment = host::RowAlignment::Center;
    t.topPadding = t.bottomPadding = t.leftPadding = t.rightPadding = host::CentimetersToPoints(0);

    SetColumnWidths(t, g);

    for (const ColumnRun& m : g.merges)
        if (m.column != 0) t.Merge({m.top, m.column, m.bottom, m.column});

    for (const Mark& m : g.marks) {
        host::Cell& cell = t.At(m.row, m.column);
        cell.ApplyCharFormat({host::kFontBubble, 12, {}});
        cell.SetAlignment(m.alignment);
        cell.InsertAfter("!");
    }
    return t;
}

// Font and alignment go on the empty merged cell first, so the digit and the
// paragraph mark both carry them.
void WritePageNumbers(host::Application& app, host::Table& t, const PageGrid& g) {
    static constexpr const char* kDigits[] = {"1", "2"};
    for (size_t i = 0; i < g.pageNumbers.size(); ++i) {
        const Corner& at = g.pageNumbers[i];
        const host::CellRect block{at.row, at.column, at.row + 1, at.column + 2};
        t.Merge(block);
        host::Cell& cell = t.At(block.top, block.left);
        cell.ApplyCharFormat({{}, 22, true});
        cell.SetAlignment(Alignment::Center);
        cell.InsertAfter(kDigits[i]);
        cell.SetLineSpacing(host::LineSpacingRule::Exactly, 18);
        cell.verticalAlignment = host::CellVAlign::Bottom;
        app.selection.SelectCells(t, block);
    }
}

}  // namespace

void BuildPageGrid(SheetJob& job, exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    if (const PageGrid* g = GridFor(layoutCode)) {
        WritePageNumbers(job.app, MakeGrid(job.doc, *g), *g);
    }
    // Without a grid there is no first table: the host reports the error here.
    job.doc.Tables(1).SetAllRows(host::RowHeightRule::Exactly,
                                 host::CentimetersToPoints(kRowHeightCm));
}

int GridRows(exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    const PageGrid* g = GridFor(layoutCode);
    return g ? g->rows : 0;
}

std::vector<double> PageGridColumnWidths(exam::Layout layout, double textWidth) {
    const int16_t layoutCode = exam::Code(layout);
    const PageGrid* g = GridFor(layoutCode);
    if (!g) return {};
    host::Table row(1, g->columns);  // one row resolves the widths as the whole grid does
    SetColumnWidths(row, *g);
    return host::ResolveColumnWidths(row, textWidth);
}

std::pair<int, int> PageNumberBlock(exam::Layout layout, int page) {
    const int16_t layoutCode = exam::Code(layout);
    const PageGrid* g = GridFor(layoutCode);
    if (!g || page < 1 || page > 2) return {0, 0};
    const Corner& at = g->pageNumbers[static_cast<size_t>(page - 1)];
    return {at.row, at.column};
}

}  // namespace varelo::layout
