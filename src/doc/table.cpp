#include "doc/table.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "doc/errors.h"

namespace varelo::host {

void Table::NoSuchCell() {
    throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
}

Paragraph& Cell::FirstParagraph() {
    for (Block& b : content)
        if (!b.IsTable()) return b.paragraph;
    content.emplace_back();
    return content.back().paragraph;
}

Paragraph& Cell::LastParagraph() {
    if (content.empty() || content.back().IsTable()) content.emplace_back();
    return content.back().paragraph;
}

void Cell::InsertAfter(const std::string& text) {
    LastParagraph().Append(text);
}

void Cell::InsertParagraphAfter() {
    Paragraph next = LastParagraph();
    next.runs.clear();
    content.emplace_back(std::move(next));
}

void Cell::SetText(const std::string& text) {
    SetTextWith(text, nullptr);
}

std::string Cell::EditableText() const {
    std::string text;
    bool first = true;
    for (const Block& b : content) {
        if (b.IsTable()) continue;
        if (!first) text += '\r';
        for (const Run& r : b.paragraph.runs) text += r.picture ? kPictureMark : r.text;
        first = false;
    }
    return text;
}

void Cell::SetTextKeepingPictures(const std::string& text) {
    std::vector<Run> pictures;
    for (const Block& b : content)
        if (!b.IsTable())
            for (const Run& r : b.paragraph.runs)
                if (r.picture) pictures.push_back(r);
    SetTextWith(text, &pictures);
}

void Cell::SetTextWith(const std::string& text, const std::vector<Run>* pictures) {
    Paragraph model = FirstParagraph();
    CharFormat font = model.markFormat;
    if (!model.runs.empty()) font.MergeFrom(model.runs.front().format);
    model.runs.clear();
    model.markFormat = font;
    Content story;
    size_t start = 0, taken = 0;
    for (;;) {
        const size_t end = text.find_first_of("\r\n", start);
        Paragraph p = model;
        const std::string line = text.substr(start, end == std::string::npos ? end : end - start);
        if (!pictures) {
            p.Append(line);
        } else {
            const std::string_view mark = kPictureMark;
            size_t from = 0;
            for (size_t at; (at = line.find(mark, from)) != std::string::npos;
                 from = at + mark.size()) {
                p.Append(line.substr(from, at - from));
                if (taken < pictures->size())
                    p.runs.push_back((*pictures)[taken++]);
                else
                    p.Append(std::string(mark));
            }
            p.Append(line.substr(from));
        }
        story.emplace_back(std::move(p));
        if (end == std::string::npos) break;
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    content = std::move(story);
}

void Cell::ApplyCharFormat(const CharFormat& format) {
    for (Block& b : content)
        if (!b.IsTable()) b.paragraph.ApplyCharFormat(format);
}

void Cell::SetAlignment(Alignment a) {
    for (Block& b : content)
        if (!b.IsTable()) b.paragraph.format.alignment = a;
}

void Cell::SetLineSpacing(LineSpacingRule rule, double points) {
    for (Block& b : content) {
        if (b.IsTable()) continue;
        b.paragraph.format.lineSpacingRule = rule;
        b.paragraph.format.lineSpacing = points;
    }
}

Table::Table(int rows, int columns, TableBehavior behavior, const Cell& blank)
    : rows_(rows), columns_(columns) {
    if (rows < 1 || columns < 1 || rows > 32767 || columns > 63)
        throw HostError(kErrInvalidArgument, "Invalid procedure call or argument");
    const int n = rows * columns;
    cells_.push_back(blank);
    cellOf_.assign(static_cast<size_t>(n), kBlank);
    anchorOf_.assign(static_cast<size_t>(n), kOwnAnchor);
    const Border edge = behavior == TableBehavior::Word9 ? kSolidBorder : Border{};
    hEdges_.assign(static_cast<size_t>(rows + 1) * static_cast<size_t>(columns), edge);
    vEdges_.assign(static_cast<size_t>(rows) * static_cast<size_t>(columns + 1), edge);
    rowFormats_.resize(static_cast<size_t>(rows));
    columnWidths_.resize(static_cast<size_t>(columns));
}

uint32_t Table::CopyBlank() {
    cells_.push_back(cells_[kBlank]);
    return static_cast<uint32_t>(cells_.size() - 1);
}

bool Table::operator==(const Table& other) const {
    if (rows_ != other.rows_ || columns_ != other.columns_ || anchorOf_ != other.anchorOf_ ||
        merged_ != other.merged_ || hEdges_ != other.hEdges_ || vEdges_ != other.vEdges_ ||
        rowFormats_ != other.rowFormats_ || columnWidths_ != other.columnWidths_ ||
        preferredWidth != other.preferredWidth || rowAlignment != other.rowAlignment ||
        topPadding != other.topPadding || bottomPadding != other.bottomPadding ||
        leftPadding != other.leftPadding || rightPadding != other.rightPadding ||
        autoFit != other.autoFit)
        return false;
    for (size_t s = 0; s < anchorOf_.size(); ++s) {
        if (anchorOf_[s] != kOwnAnchor && anchorOf_[s] - 1 != static_cast<int>(s)) continue;
        const Cell& mine = cells_[cellOf_[s]];
        const Cell& theirs = other.cells_[other.cellOf_[s]];
        if (&mine != &theirs && !(mine == theirs)) return false;
    }
    return true;
}

bool Table::CutsMergedCell(const CellRect& rect) const {
    if (rect.top > rect.bottom || rect.left > rect.right) return false;
    Slot(rect.top, rect.left);
    Slot(rect.bottom, rect.right);
    // Whichever is fewer: the rectangle's slots, or the grid's merged cells (a page grid has
    // a few dozen and is asked about rectangles of thousands of slots; a file read merges
    // thousands of small rectangles one by one).
    const size_t slots = static_cast<size_t>(rect.Rows()) * static_cast<size_t>(rect.Columns());
    if (slots <= merged_.size()) {
        for (int r = rect.top; r <= rect.bottom; ++r)
            for (int c = rect.left; c <= rect.right; ++c)
                if (!rect.Contains(CellArea(r, c))) return true;
        return false;
    }
    for (const auto& [anchor, cell] : merged_)
        if (cell.Intersects(rect) && !rect.Contains(cell)) return true;
    return false;
}

std::vector<CellRect> Table::CellsIn(const CellRect& rect) const {
    std::vector<CellRect> out;
    out.reserve(static_cast<size_t>(rect.Rows()) * static_cast<size_t>(rect.Columns()));
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c) {
            const CellRect a = CellArea(r, c);
            // Count each cell once: at its first slot inside rect in reading order.
            const int firstRow = std::max(a.top, rect.top);
            const int firstCol = std::max(a.left, rect.left);
            if (r == firstRow && c == firstCol) out.push_back(a);
        }
    return out;
}

int Table::SlotsSharingCell(int r, int c) const {
    const size_t first = static_cast<size_t>(Slot(r, c));
    if (anchorOf_[first] != kOwnAnchor) return 0;
    const size_t end = first - static_cast<size_t>(c - 1) + static_cast<size_t>(columns_);
    const uint32_t cell = cellOf_[first];
    size_t s = first + 1;
    while (s < end && anchorOf_[s] == kOwnAnchor && cellOf_[s] == cell) ++s;
    return static_cast<int>(s - first);
}

int Table::LikeSlots(int r, int c) const {
    const int sharing = SlotsSharingCell(r, c);
    if (sharing == 0) return 0;
    const Border* top = &hEdges_[HorizontalIndex(r, c)];
    const Border* bottom = &hEdges_[HorizontalIndex(r + 1, c)];
    const Border* vertical = &vEdges_[VerticalIndex(r, c)];
    const PreferredWidth* width = &columnWidths_[ColumnIndex(c)];
    // Slot c + n has left edge vertical[n] and right edge vertical[n + 1].
    int n = 1;
    while (n < sharing && top[n] == top[0] && bottom[n] == bottom[0] && width[n] == width[0] &&
           vertical[n] == vertical[0] && vertical[n + 1] == vertical[0])
        ++n;
    return n;
}

int Table::CountCells(const CellRect& rect) const {
    return static_cast<int>(CellsIn(rect).size());
}

void Table::Merge(const CellRect& rect) {
    Slot(rect.top, rect.left);
    Slot(rect.bottom, rect.right);
    if (rect.top > rect.bottom || rect.left > rect.right)
        throw HostError(kErrInvalidArgument, "Invalid procedure call or argument");
    if (CutsMergedCell(rect))
        throw HostError(kErrCannotMerge, "Cannot merge cells that cut a merged cell.");
    const std::vector<CellRect> parts = CellsIn(rect);
    if (parts.size() == 1) return;

    Content merged;
    for (const CellRect& a : parts) {
        if (std::as_const(*this).At(a.top, a.left).Empty()) continue;
        for (Block& b : At(a.top, a.left).content) merged.push_back(std::move(b));
    }
    const int anchor = Slot(rect.top, rect.left);
    Cell& target = OwnCell(static_cast<size_t>(anchor));
    if (merged.empty()) {
        // All empty: the merged cell keeps the first cell's empty paragraph and its format.
        target.content.resize(1);
    } else {
        target.content = std::move(merged);
    }
    for (const CellRect& a : parts) {
        const int s = Slot(a.top, a.left);
        if (s != anchor) cellOf_[static_cast<size_t>(s)] = kBlank;  // no longer used
    }
    for (int r = rect.top; r <= rect.bottom; ++r)
        for (int c = rect.left; c <= rect.right; ++c)
            anchorOf_[static_cast<size_t>(Slot(r, c))] = anchor + 1;
    for (const CellRect& a : parts)
        if (a.Rows() > 1 || a.Columns() > 1) merged_.erase(Slot(a.top, a.left));
    merged_[anchor] = rect;
}

std::vector<char> Table::TouchedSlots(const CellRect& rect) const {
    std::vector<char> touched(static_cast<size_t>(rows_) * static_cast<size_t>(columns_), 0);
    for (const CellRect& a : CellsIn(rect))
        for (int r = a.top; r <= a.bottom; ++r)
            for (int c = a.left; c <= a.right; ++c) touched[static_cast<size_t>(Slot(r, c))] = 1;
    return touched;
}

void Table::SetBorder(const CellRect& rect, BorderType type, const Border& border) {
    Slot(rect.top, rect.left);
    Slot(rect.bottom, rect.right);
    if (type == BorderType::DiagonalDown || type == BorderType::DiagonalUp) {
        for (const CellRect& a : CellsIn(rect)) {
            Cell& cell = At(a.top, a.left);
            (type == BorderType::DiagonalDown ? cell.diagonalDown : cell.diagonalUp) = border;
        }
        return;
    }
    if (!CutsMergedCell(rect)) {
        SetRectangleBorder(rect, type, border);
        return;
    }
    const std::vector<CellRect> cells = CellsIn(rect);
    // The cells the rectangle touches, each merged cell whole; a segment is outer when it
    // parts a touched slot from an untouched one (or the table's edge), inner when both sides
    // are touched. Segments of cells that were not touched are never changed.
    const std::vector<char> touched = TouchedSlots(rect);
    const auto in = [&](int r, int c) {
        return r >= 1 && r <= rows_ && c >= 1 && c <= columns_ &&
               touched[static_cast<size_t>(Slot(r, c))];
    };
    CellRect span = rect;
    for (const CellRect& a : cells)
        span = {std::min(span.top, a.top), std::min(span.left, a.left),
                std::max(span.bottom, a.bottom), std::max(span.right, a.right)};
    for (int r = span.top; r <= span.bottom + 1; ++r)
        for (int c = span.left; c <= span.right; ++c) {
            const bool above = in(r - 1, c), below = in(r, c);
            if ((type == BorderType::Top && below && !above) ||
                (type == BorderType::Bottom && above && !below) ||
                (type == BorderType::Horizontal && above && below))
                HorizontalEdge(r, c) = border;
        }
    for (int r = span.top; r <= span.bottom; ++r)
        for (int c = span.left; c <= span.right + 1; ++c) {
            const bool before = in(r, c - 1), after = in(r, c);
            if ((type == BorderType::Left && after && !before) ||
                (type == BorderType::Right && before && !after) ||
                (type == BorderType::Vertical && before && after))
                VerticalEdge(r, c) = border;
        }
}

void Table::SetRectangleBorder(const CellRect& rect, BorderType type, const Border& border) {
    switch (type) {
        case BorderType::Top:
        case BorderType::Bottom:
        case BorderType::Horizontal: {
            const int first = type == BorderType::Top      ? rect.top
                              : type == BorderType::Bottom ? rect.bottom + 1
                                                           : rect.top + 1;
            const int last = type == BorderType::Horizontal ? rect.bottom : first;
            for (int r = first; r <= last; ++r)
                for (int c = rect.left; c <= rect.right; ++c) HorizontalEdge(r, c) = border;
            return;
        }
        case BorderType::Left:
        case BorderType::Right:
        case BorderType::Vertical: {
            const int first = type == BorderType::Left    ? rect.left
                              : type == BorderType::Right ? rect.right + 1
                                                          : rect.left + 1;
            const int last = type == BorderType::Vertical ? rect.right : first;
            for (int r = rect.top; r <= rect.bottom; ++r)
                for (int c = first; c <= last; ++c) VerticalEdge(r, c) = border;
            return;
        }
        default:
            return;
    }
}

void Table::SetAllRows(RowHeightRule rule, double height) {
    for (RowFormat& f : rowFormats_) {
        f.heightRule = rule;
        f.height = height;
    }
}

}  // namespace varelo::host
