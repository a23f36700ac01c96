#pragma once

#include <cstdint>
#include <deque>
#include <unordered_map>
#include <vector>

#include "doc/constants.h"
#include "doc/content.h"

namespace varelo::host {

// A rectangle of grid slots, 1-based and inclusive.
struct CellRect {
    int top = 1, left = 1, bottom = 1, right = 1;
    int Rows() const { return bottom - top + 1; }
    int Columns() const { return right - left + 1; }
    bool Contains(int r, int c) const { return r >= top && r <= bottom && c >= left && c <= right; }
    bool Contains(const CellRect& o) const {
        return o.top >= top && o.bottom <= bottom && o.left >= left && o.right <= right;
    }
    bool Intersects(const CellRect& o) const {
        return o.top <= bottom && o.bottom >= top && o.left <= right && o.right >= left;
    }
    bool operator==(const CellRect&) const = default;
};

// Eight bytes: a grid keeps one for every edge segment, a page grid about sixteen thousand.
struct Border {
    int16_t lineStyle = kLineStyleNone;
    int16_t lineWidth = kLineWidth050pt;  // eighths of a point
    int color = kColorAutomatic;
    bool Visible() const { return lineStyle != kLineStyleNone; }
    bool operator==(const Border&) const = default;
};

inline constexpr Border kSolidBorder{kLineStyleSingle, kLineWidth050pt, kColorAutomatic};

struct Cell {
    // The small fields first: with the story's size they share the cell's first cache line,
    // which a pass over a grid's thousands of cells then reads alone.
    CellVAlign verticalAlignment = CellVAlign::Top;
    Border diagonalDown, diagonalUp;
    Content content = Content(1);

    Paragraph& FirstParagraph();
    Paragraph& LastParagraph();
    std::string Text() const { return ContentText(content); }
    bool Empty() const { return ContentEmpty(content); }
    // InsertAfter: text appended to the last paragraph.
    void InsertAfter(const std::string& text);
    // InsertParagraphAfter: a new last paragraph with the format of the one before.
    void InsertParagraphAfter();
    // Replaces the cell's story with the lines of text (split at line breaks), each a
    // paragraph with the first paragraph's format and the font of its first run.
    void SetText(const std::string& text);
    // Text as it is typed over: Text() with kPictureMark where each picture stands.
    std::string EditableText() const;
    // SetText, where each kPictureMark of text takes the cell's next picture in reading
    // order, as it was; marks past the last picture stay text, pictures without a mark go.
    void SetTextKeepingPictures(const std::string& text);
    // Font set on the whole cell: every run and every paragraph mark.
    void ApplyCharFormat(const CharFormat& format);
    void SetAlignment(Alignment a);
    void SetLineSpacing(LineSpacingRule rule, double points);
    bool operator==(const Cell&) const = default;

  private:
    // SetText; with pictures, marks in text take them in turn.
    void SetTextWith(const std::string& text, const std::vector<Run>* pictures);
};

struct RowFormat {
    double height = 0;  // points
    RowHeightRule heightRule = RowHeightRule::Auto;
    bool operator==(const RowFormat&) const = default;
};

struct PreferredWidth {
    PreferredWidthType type = PreferredWidthType::Auto;
    double value = 0;  // percent or points
    bool operator==(const PreferredWidth&) const = default;
};

// A table of R x C grid slots addressed by 1-based (row, column). A merged cell is a
// rectangle anchored at its top-left slot; addressing any slot inside it reaches that cell.
// Borders live on the grid's edge segments, so neighbouring cells never disagree.
class Table {
  public:
    // Every slot starts as blank. Slots share the one blank cell until they are written: a page
    // grid has thousands of cells and nearly all stay blank.
    Table(int rows, int columns, TableBehavior behavior = TableBehavior::Word8,
          const Cell& blank = Cell{});

    int Rows() const { return rows_; }
    int Columns() const { return columns_; }

    // The cell that covers slot (r, c); throws HostError outside the grid. The non-const one
    // gives a slot that shares the blank cell its own copy first, so hold const references
    // to read. Inline, with the edge accessors: a writer asks them for every slot of a grid.
    Cell& At(int r, int c) { return OwnCell(Anchor(r, c)); }
    const Cell& At(int r, int c) const { return cells_[cellOf_[Anchor(r, c)]]; }
    // The rectangle of the cell that covers slot (r, c).
    CellRect CellArea(int r, int c) const {
        const int merged = anchorOf_[static_cast<size_t>(Slot(r, c))];
        if (merged == kOwnAnchor) return {r, c, r, c};
        return merged_.find(merged - 1)->second;
    }
    bool IsAnchor(int r, int c) const {
        const int s = Slot(r, c);
        const int merged = anchorOf_[static_cast<size_t>(s)];
        return merged == kOwnAnchor || merged - 1 == s;
    }
    // How many slots from (r, c) rightwards are cells of one slot that read the same cell as
    // (r, c): for a pass over a page grid, where long stretches share the blank cell.
    int SlotsSharingCell(int r, int c) const;
    // Of those, how many in a row, (r, c) first, are written alike: each further one lies
    // between the same top and bottom edges in a column of the same width, and its left and
    // right edges are both like the left edge of (r, c).
    int LikeSlots(int r, int c) const;
    // Whether a merged cell lies partly inside rect and partly outside it.
    bool CutsMergedCell(const CellRect& rect) const;
    // Number of distinct cells with a slot in rect.
    int CountCells(const CellRect& rect) const;
    // Anchors of the cells of rect in reading order.
    std::vector<CellRect> CellsIn(const CellRect& rect) const;

    // Joins rect into one cell, keeping each non-empty cell's content in reading order.
    // Throws HostError when rect cuts a merged cell or leaves the grid; merging one cell does
    // nothing.
    void Merge(const CellRect& rect);

    // Edge segments. Horizontal: above row r (1..Rows()+1) in column c.
    // Vertical: left of column c (1..Columns()+1) in row r.
    Border& HorizontalEdge(int r, int c) { return hEdges_[HorizontalIndex(r, c)]; }
    const Border& HorizontalEdge(int r, int c) const { return hEdges_[HorizontalIndex(r, c)]; }
    Border& VerticalEdge(int r, int c) { return vEdges_[VerticalIndex(r, c)]; }
    const Border& VerticalEdge(int r, int c) const { return vEdges_[VerticalIndex(r, c)]; }
    // Borders of the cells that rect touches, a merged cell counting whole: Top, Left, Bottom
    // and Right are the outer segments of those cells on that side, Horizontal and Vertical
    // the segments between and inside them. Cells outside them keep their borders.
    void SetBorder(const CellRect& rect, BorderType type, const Border& border);

    RowFormat& Row(int r) { return rowFormats_[RowIndex(r)]; }
    const RowFormat& Row(int r) const { return rowFormats_[RowIndex(r)]; }
    PreferredWidth& ColumnWidth(int c) { return columnWidths_[ColumnIndex(c)]; }
    const PreferredWidth& ColumnWidth(int c) const { return columnWidths_[ColumnIndex(c)]; }
    void SetAllRows(RowHeightRule rule, double height);

    PreferredWidth preferredWidth;
    RowAlignment rowAlignment = RowAlignment::Left;
    double topPadding = 0, bottomPadding = 0;
    double leftPadding = 5.4, rightPadding = 5.4;  // points: the word processor's 0.19 cm
    AutoFit autoFit = AutoFit::Fixed;

    // Equal grids, formats and cells; which slots share the blank cell does not matter.
    bool operator==(const Table& other) const;

  private:
    [[noreturn]] static void NoSuchCell();
    // Indexes into the vectors below; each throws outside the grid.
    int Slot(int r, int c) const {
        if (r < 1 || r > rows_ || c < 1 || c > columns_) NoSuchCell();
        return (r - 1) * columns_ + (c - 1);
    }
    size_t Anchor(int r, int c) const {
        const int s = Slot(r, c);
        const int merged = anchorOf_[static_cast<size_t>(s)];
        return static_cast<size_t>(merged == kOwnAnchor ? s : merged - 1);
    }
    size_t HorizontalIndex(int r, int c) const {
        if (r < 1 || r > rows_ + 1 || c < 1 || c > columns_) NoSuchCell();
        return static_cast<size_t>(r - 1) * static_cast<size_t>(columns_) +
               static_cast<size_t>(c - 1);
    }
    size_t VerticalIndex(int r, int c) const {
        if (r < 1 || r > rows_ || c < 1 || c > columns_ + 1) NoSuchCell();
        return static_cast<size_t>(r - 1) * static_cast<size_t>(columns_ + 1) +
               static_cast<size_t>(c - 1);
    }
    size_t RowIndex(int r) const {
        if (r < 1 || r > rows_) NoSuchCell();
        return static_cast<size_t>(r - 1);
    }
    size_t ColumnIndex(int c) const {
        if (c < 1 || c > columns_) NoSuchCell();
        return static_cast<size_t>(c - 1);
    }
    Cell& OwnCell(size_t anchor) {
        uint32_t& index = cellOf_[anchor];
        if (index == kBlank) index = CopyBlank();
        return cells_[index];
    }
    // Appends a copy of the blank cell and returns its index.
    uint32_t CopyBlank();
    static constexpr uint32_t kBlank = 0;
    // SetBorder where every cell of rect lies inside it: rect's own outer or inner segments.
    void SetRectangleBorder(const CellRect& rect, BorderType type, const Border& border);
    // One flag per slot: whether a cell that rect touches covers it.
    std::vector<char> TouchedSlots(const CellRect& rect) const;
    int rows_, columns_;
    std::deque<Cell> cells_;        // the blank cell first, then those written; never moved
    std::vector<uint32_t> cellOf_;  // anchor slot -> index into cells_
    // Slot -> its merged cell's anchor slot + 1, or kOwnAnchor for a cell of one slot: only
    // merged cells, a few in a page grid, keep a rectangle.
    static constexpr int kOwnAnchor = 0;
    std::vector<int> anchorOf_;
    std::unordered_map<int, CellRect> merged_;  // anchor slot -> rectangle of a merged cell
    std::vector<Border> hEdges_;                // (rows+1) x columns
    std::vector<Border> vEdges_;                // rows x (columns+1)
    std::vector<RowFormat> rowFormats_;
    std::vector<PreferredWidth> columnWidths_;
};

}  // namespace varelo::host
