#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

#include "doc/content.h"
#include "doc/document.h"
#include "doc/table.h"

namespace varelo::host {

// A rectangle on one page, in points from the page's top-left corner.
struct PageRect {
    int page = 0;  // 0-based
    double x = 0, y = 0, width = 0, height = 0;
    bool operator==(const PageRect&) const = default;
};

// What the page flow needs to know of a body paragraph laid out in a width.
struct ParagraphMetrics {
    std::vector<double> lineHeights;
    double spaceBefore = 0, spaceAfter = 0;
    bool visible = false;  // draws ink
};

// Measures a body paragraph for a width. Called once per body paragraph, in body order.
using ParagraphMeasure = std::function<ParagraphMetrics(const Paragraph&, double width)>;

// A measure without fonts: one line per explicit line end, the exact or at-least spacing
// where set and 1.2 times the largest font size otherwise; lines never wrap. The renderer
// passes its own measure; this one serves where no fonts are at hand.
ParagraphMetrics EstimateParagraph(const Document& doc, const Paragraph& p, double width);

// A top-level table as it lies on the pages.
struct PlacedTable {
    const Table* table = nullptr;
    size_t block = 0;             // index in the body
    std::vector<double> columnX;  // Columns() + 1 grid lines, from the page's left edge
    std::vector<int> rowPage;     // per row, 0-based
    std::vector<double> rowTop;   // per row, from its page's top edge
    std::vector<double> rowHeight;

    double ColumnLeft(int c) const { return columnX[static_cast<size_t>(c - 1)]; }
    double ColumnWidth(int c) const { return ColumnLeft(c + 1) - ColumnLeft(c); }
    int RowPage(int r) const { return rowPage[static_cast<size_t>(r - 1)]; }
    double RowTop(int r) const { return rowTop[static_cast<size_t>(r - 1)]; }
    double RowHeight(int r) const { return rowHeight[static_cast<size_t>(r - 1)]; }
    // The part of the cell covering slot (r, c) that lies on the page of its first row.
    // Empty outside the grid.
    std::optional<PageRect> CellRect(int r, int c) const;
};

// A body paragraph's lines as they lie on the pages.
struct PlacedParagraph {
    size_t block = 0;  // index in the body
    double x = 0;      // left edge of the text area
    // Page and top of each placed line. The closing empty paragraph of the body may have
    // fewer lines here than it measured: it never opens a page of its own.
    std::vector<std::pair<int, double>> lines;
};

// The document's body flowed into pages: top-level tables and paragraphs run down from the
// top margin; a table row or a paragraph line that does not fit in the text height moves to
// the next page (rows never split). Each table stands where its row alignment puts it in
// the text width. This is the one page geometry of the renderer and of the scanner template.
struct PageLayout {
    int pageCount = 1;
    double pageWidth = 0, pageHeight = 0;
    std::vector<PlacedTable> tables;  // in body order
    std::vector<PlacedParagraph> paragraphs;

    // The first top-level table, or nullptr.
    const PlacedTable* FirstTable() const { return tables.empty() ? nullptr : &tables.front(); }
};

// Lays the document out. measure defaults to EstimateParagraph.
PageLayout LayOutPages(const Document& doc, const ParagraphMeasure& measure = {});

}  // namespace varelo::host
