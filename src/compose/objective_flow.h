#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "doc/table.h"
#include "exam/exam.h"

// Where the objective groups go: blocks flow down the page columns of page 1, then page 2,
// and a block that does not fit in the rest of a page column starts at the top of the next.
// One plan serves the fit check, the generator and the scanner template.
namespace varelo::layout {

// One page column of a layout's objective section, in page-grid rows and columns.
struct PageColumn {
    int page = 1;      // 1 or 2
    int firstRow = 0;  // first row a heading or number row may use
    int lastRow = 0;   // last row an option row or a frame may use
    int boxLeft = 0, boxRight = 0;
    int headingColumn = 0;  // first of the heading's eleven cells
    int firstItemColumn = 0;
    int itemsPerBlock = 0;

    // Column of item t (from 0) of a block: five-groups with an empty column between them.
    int ItemColumn(int t) const { return firstItemColumn + t + t / 5; }
};

// The page columns of a layout in the order the section fills them; empty outside 1..6.
// The first starts at the row above startRow, where the first heading goes. On a sheet that
// prints page codes, a page column under a code ends one row above it.
std::vector<PageColumn> ObjectivePageColumns(exam::Layout layout, int startRow,
                                             bool pageCodes = false);

// The column beside every option row that holds its positioning mark; 0 outside 1..6.
int ObjectiveMarkColumn(exam::Layout layout);

// A group as far as the flow is concerned.
struct GroupShape {
    int items = 0;    // 0 still takes one empty block
    int options = 1;  // option rows per block
};

// Items firstItem .. firstItem + itemCount - 1 of a group (counted from 0), in one block row.
struct ObjectiveBlock {
    int row = 0;         // number row; the option rows follow it
    int pageColumn = 0;  // index into the layout's page columns
    int firstItem = 0, itemCount = 0;
};

struct GroupPlacement {
    int pageColumn = 0;  // where the heading and the first block stand
    int headingRow = 0;
    std::vector<ObjectiveBlock> blocks;
    std::vector<host::CellRect> frames;  // one per page column the group runs through
};

struct ObjectivePlan {
    std::vector<GroupPlacement> groups;  // all of them, or those before the first that does not fit
    bool fits = true;
    int nextRow = 0;         // number row a further block would take (below the last spacer row)
    int nextPageColumn = 0;  // and its page column
};

// Lays the groups out from startRow (the first group's number row) on.
ObjectivePlan PlanObjectiveSection(exam::Layout layout, int startRow,
                                   const std::vector<GroupShape>& groups, bool pageCodes = false);

// The width a heading needs: 10.5 pt for each full-width character, 5.25 pt for any other.
double HeadingWidth(const std::string& text);

// The cells a heading of that width takes in row headingRow of a page column: its eleven cells,
// or the whole width of the box when those are too narrow; nothing when even that is.
// columnWidths are the page grid's resolved widths in points, column 1 first.
std::optional<host::CellRect> HeadingCells(const PageColumn& column, int headingRow, double width,
                                           const std::vector<double>& columnWidths);

}  // namespace varelo::layout
