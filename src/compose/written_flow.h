#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compose/objective_flow.h"
#include "doc/table.h"
#include "exam/exam.h"

// Where the written-answer sections go: on from where the objective section ends, through the
// same page columns. A fill-in item or an answer box never splits; a composition grid continues
// in the next page column between two rows of squares.
namespace varelo::layout {

// Page-grid rows of one fill-in line: a free row to write in, then the row that holds the item
// number and the underlined blanks.
inline constexpr int kFillLineRows = 2;
// Cells of a fill-in item's number at the left of its first line.
inline constexpr int kFillNumberCells = 2;
// The narrowest blank, in cells; a line holds as many blanks as this leaves room for.
inline constexpr int kFillMinBlankCells = 3;
// Empty page-grid rows between a fill-in section's last line and the heading that follows it:
// the heading's text fills its row to the top, so without one it touches the last underline.
inline constexpr int kRowsBelowFill = 1;
// The paragraph a cell must hold after a composition grid, in points: kept to one point, so
// the grid's block ends right below the grid.
inline constexpr double kClosingParagraphPt = 1;

// One item of a section as placed, or one page column's part of a composition.
struct WrittenItem {
    int number = 0;       // the item number printed on the sheet
    int pageColumn = 0;   // index into the layout's page columns
    host::CellRect area;  // rows and box columns: the fill-in lines, the box, the grid's block
    int part = 0;         // composition split over page columns: 1, 2, ...; otherwise 0
    // Fill-in: the item's lines and how many blanks each holds (the last may hold fewer).
    int lines = 0, blanksPerLine = 0;
    // Composition: rows of squares in this part, squares per row, squares in earlier parts.
    int squareRows = 0, squaresPerRow = 0, squaresBefore = 0;
};

struct SectionPlacement {
    int pageColumn = 0;  // where the heading stands
    int headingRow = 0;
    std::vector<WrittenItem> items;  // in order; a composition's parts follow each other
};

// Why a section list does not fit, naming the section (index into the list) and the item.
struct WrittenRefusal {
    size_t section = 0;
    int item = 0;
    bool tallerThanColumn = false;  // the item alone is taller than any page column
};

struct WrittenPlan {
    std::vector<SectionPlacement> sections;  // all of them when it fits
    bool fits = true;
    WrittenRefusal refusal;  // when it does not
};

// Where the sections start: the page column and the first content row below the heading row,
// as the objective section leaves them; and the first item number.
struct WrittenStart {
    int pageColumn = 0;
    int row = 0;
    int itemNumber = 1;
};

// The layout's page columns (startRow: the objective section's first number row, whose row
// above is the first column's top), the page grid's resolved column widths in points (column 1
// first) for the squares per row of a composition; pageCodes keeps the codes' rows free; the
// empty rows kept below a fill-in section.
WrittenPlan PlanWrittenSections(exam::Layout layout, int startRow, const WrittenStart& start,
                                const std::vector<exam::WrittenSection>& sections,
                                const std::vector<double>& columnWidths, bool pageCodes = false,
                                int rowsBelowFill = kRowsBelowFill);

// Blanks a fill-in line of a page column holds side by side.
int FillBlanksPerLine(const PageColumn& column);

// The cells of the blanks of one fill-in line in the number row `row`, left to right: they
// share the width right of the number, one free cell between neighbours.
std::vector<host::CellRect> FillBlankCells(const PageColumn& column, int row, int blanks);

// Squares per row of a composition grid across a page column, as the composition tool makes
// them for a block of the column's cells.
int CompositionSquaresPerRow(const PageColumn& column, const std::vector<double>& columnWidths);

// Page-grid rows of a block that holds a composition grid of that many rows of squares.
int CompositionBlockRows(int squareRows);

}  // namespace varelo::layout
