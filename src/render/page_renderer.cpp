#include "render/page_renderer.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <functional>
#include <numeric>
#include <span>

#include "doc/geometry.h"
#include "doc/page_layout.h"
#include "render/text_layout.h"

namespace varelo::render {

namespace {

// The rows [first, last] of a table as they lie on one page (or inside one cell).
struct TablePart {
    const host::Table* table = nullptr;
    std::vector<double> colX;               // Columns() + 1 grid lines
    std::vector<double> rowTop, rowHeight;  // of rows first..last only
    int first = 1, last = 0;

    double Top(int r) const { return rowTop[static_cast<size_t>(r - first)]; }
    double Bottom(int r) const { return Top(r) + rowHeight[static_cast<size_t>(r - first)]; }
    double X(int c) const { return colX[static_cast<size_t>(c - 1)]; }
    // y of the grid line above row r (r = last + 1: the part's foot).
    double LineY(int r) const { return r <= last ? Top(r) : Bottom(last); }
};

// A cell's part inside a table part.
struct CellBox {
    host::CellRect area;
    QRectF rect;
    bool startsHere = false;  // the cell's first row is in this part: its content is drawn here
};

CellBox BoxOf(const TablePart& part, const host::CellRect& area) {
    const int top = std::max(area.top, part.first);
    const int bottom = std::min(area.bottom, part.last);
    const double x0 = part.X(area.left), x1 = part.X(area.right + 1);
    return {area, QRectF(QPointF(x0, part.Top(top)), QPointF(x1, part.Bottom(bottom))),
            area.top >= part.first};
}

std::vector<double> GridLines(double left, const std::vector<double>& widths) {
    std::vector<double> xs(widths.size() + 1, left);
    for (size_t i = 0; i < widths.size(); ++i) xs[i + 1] = xs[i] + widths[i];
    return xs;
}

double AlignedLeft(host::RowAlignment alignment, double left, double available, double width) {
    switch (alignment) {
        case host::RowAlignment::Center:
            return left + (available - width) / 2;
        case host::RowAlignment::Right:
            return left + available - width;
        case host::RowAlignment::Left:
            break;
    }
    return left;
}

// Layout of a cell's story.
struct BlockLayout {
    const host::Block* block = nullptr;
    ParagraphLayout paragraph;
    std::vector<double> colWidths, rowHeights;  // a nested table
    double tableLeft = 0;                       // of a nested table, within the content width
    double top = 0, height = 0;
};
struct ContentLayout {
    std::vector<BlockLayout> blocks;
    double height = 0;
};

ContentLayout LayoutContent(const host::Document& doc, const host::Content& content, double width) {
    ContentLayout out;
    for (const host::Block& b : content) {
        BlockLayout bl;
        bl.block = &b;
        bl.top = out.height;
        if (b.IsTable()) {
            bl.colWidths = host::ResolveColumnWidths(*b.table, width);
            bl.rowHeights = host::ResolveRowHeights(*b.table);
            const double tableWidth =
                std::accumulate(bl.colWidths.begin(), bl.colWidths.end(), 0.0);
            bl.tableLeft = AlignedLeft(b.table->rowAlignment, 0, width, tableWidth);
            bl.height = std::accumulate(bl.rowHeights.begin(), bl.rowHeights.end(), 0.0);
        } else {
            bl.paragraph = LayoutParagraph(doc, b.paragraph, width);
            bl.height = bl.paragraph.Height();
        }
        out.height += bl.height;
        out.blocks.push_back(std::move(bl));
    }
    return out;
}

bool HasTable(const host::Cell& cell) {
    return std::any_of(cell.content.begin(), cell.content.end(),
                       [](const host::Block& b) { return b.IsTable(); });
}

double ContentWidth(const host::Table& t, const QRectF& rect) {
    return std::max(0.0, rect.width() - t.leftPadding - t.rightPadding);
}

// Top-left corner of a cell's content inside its box, after padding and vertical alignment.
// Content taller than the cell keeps its top and is cut at the foot.
QPointF ContentOrigin(const host::Table& t, const host::Cell& cell, const QRectF& rect,
                      double height) {
    const double room = rect.height() - t.topPadding - t.bottomPadding;
    double offset = 0;
    if (cell.verticalAlignment == host::CellVAlign::Center) offset = (room - height) / 2;
    if (cell.verticalAlignment == host::CellVAlign::Bottom) offset = room - height;
    return {rect.left() + t.leftPadding, rect.top() + t.topPadding + std::max(0.0, offset)};
}

TablePart NestedPart(const BlockLayout& bl, QPointF origin) {
    TablePart part;
    part.table = bl.block->table.get();
    part.colX = GridLines(origin.x() + bl.tableLeft, bl.colWidths);
    part.rowHeight = bl.rowHeights;
    part.rowTop.resize(bl.rowHeights.size());
    double y = origin.y() + bl.top;
    for (size_t i = 0; i < bl.rowHeights.size(); ++i) {
        part.rowTop[i] = y;
        y += bl.rowHeights[i];
    }
    part.first = 1;
    part.last = part.table->Rows();
    return part;
}

// Calls fn for every cell whose part lies in this table part, once per cell.
template <typename Fn>
void ForEachCell(const TablePart& part, Fn&& fn) {
    const host::Table& t = *part.table;
    for (int r = part.first; r <= part.last; ++r)
        for (int c = 1; c <= t.Columns(); ++c) {
            const host::CellRect a = t.CellArea(r, c);
            if (c == a.left && r == std::max(a.top, part.first)) fn(BoxOf(part, a));
        }
}

// The part itself, then every table nested in its cells, depth first.
void VisitParts(const host::Document& doc, const TablePart& part,
                const std::function<void(const TablePart&)>& fn) {
    fn(part);
    ForEachCell(part, [&](const CellBox& box) {
        const host::Cell& cell = part.table->At(box.area.top, box.area.left);
        if (!box.startsHere || !HasTable(cell)) return;
        const ContentLayout content =
            LayoutContent(doc, cell.content, ContentWidth(*part.table, box.rect));
        const QPointF origin = ContentOrigin(*part.table, cell, box.rect, content.height);
        for (const BlockLayout& bl : content.blocks)
            if (bl.block->IsTable()) VisitParts(doc, NestedPart(bl, origin), fn);
    });
}

QColor BorderColor(int color) {
    // Word colours are 0x00BBGGRR; negative values (automatic) draw black.
    if (color < 0) return Qt::black;
    return QColor(color & 0xFF, (color >> 8) & 0xFF, (color >> 16) & 0xFF);
}

bool IsGrey(const QColor& c) {
    return c.red() == c.green() && c.green() == c.blue();
}

// Text is drawn black; only borders carry a colour of their own.
bool ContentInColour(const host::Content& content) {
    const auto coloured = [](const host::Border& b) {
        return b.Visible() && !IsGrey(BorderColor(b.color));
    };
    for (const host::Block& block : content) {
        if (!block.IsTable()) continue;
        const host::Table& t = *block.table;
        for (int r = 1; r <= t.Rows() + 1; ++r)
            for (int c = 1; c <= t.Columns() + 1; ++c) {
                if (c <= t.Columns() && coloured(t.HorizontalEdge(r, c))) return true;
                if (r <= t.Rows() && coloured(t.VerticalEdge(r, c))) return true;
                if (r > t.Rows() || c > t.Columns() || !t.IsAnchor(r, c)) continue;
                const host::Cell& cell = t.At(r, c);
                if (coloured(cell.diagonalDown) || coloured(cell.diagonalUp) ||
                    ContentInColour(cell.content))
                    return true;
            }
    }
    return false;
}

QPen BorderPen(const host::Border& b) {
    const double width = std::clamp<int>(b.lineWidth, 1, 48) / 8.0;
    return QPen(BorderColor(b.color), width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin);
}

// Edges inside a merged cell are not drawn: the cell has no such line.
bool HorizontalInside(const host::Table& t, int r, int c) {
    return r > 1 && r <= t.Rows() && t.CellArea(r - 1, c) == t.CellArea(r, c);
}
bool VerticalInside(const host::Table& t, int r, int c) {
    return c > 1 && c <= t.Columns() && t.CellArea(r, c - 1) == t.CellArea(r, c);
}

// Draws runs of equal, consecutive edge segments as single lines. select(edge) returns the
// pen for a segment, or nothing to leave it out.
template <typename Select>
void DrawEdges(QPainter& painter, const TablePart& part, Select&& select) {
    const host::Table& t = *part.table;
    for (int r = part.first; r <= part.last + 1; ++r) {
        const double y = part.LineY(r);
        int start = 0;
        std::optional<QPen> runPen;
        auto flush = [&](int endColumn) {
            if (runPen) {
                painter.setPen(*runPen);
                painter.drawLine(QPointF(part.X(start), y), QPointF(part.X(endColumn), y));
            }
            runPen.reset();
        };
        for (int c = 1; c <= t.Columns(); ++c) {
            std::optional<QPen> pen;
            if (!HorizontalInside(t, r, c)) pen = select(t.HorizontalEdge(r, c));
            if (runPen && pen && *pen == *runPen) continue;
            flush(c);
            if (pen) {
                runPen = pen;
                start = c;
            }
        }
        flush(t.Columns() + 1);
    }
    for (int c = 1; c <= t.Columns() + 1; ++c) {
        const double x = part.X(c);
        int start = 0;
        std::optional<QPen> runPen;
        auto flush = [&](int lastRow) {
            if (runPen) {
                painter.setPen(*runPen);
                painter.drawLine(QPointF(x, part.Top(start)), QPointF(x, part.Bottom(lastRow)));
            }
            runPen.reset();
        };
        for (int r = part.first; r <= part.last; ++r) {
            std::optional<QPen> pen;
            if (!VerticalInside(t, r, c)) pen = select(t.VerticalEdge(r, c));
            if (runPen && pen && *pen == *runPen) continue;
            flush(r - 1);
            if (pen) {
                runPen = pen;
                start = r;
            }
        }
        flush(part.last);
    }
}

void DrawTablePart(QPainter& painter, const host::Document& doc, const TablePart& part,
                   const RenderOptions& options);

// Rows kept in centimetres come out a hair shorter than the exact lines they hold
// (0.42324 cm is 11.997 pt), a difference the word processor's whole twips round away.
constexpr double kFitSlack = 0.5;

// A cell's paragraph drawn as the word processor draws it. One that fits above the foot of the
// cell's content draws whole, glyphs larger than their exact lines reaching past the cell's top
// and foot. One that does not fit is cut: each exact line to its own pitch, every line to the
// cell, and lines starting at or below the foot are not drawn.
void DrawCellParagraph(QPainter& painter, const ParagraphLayout& paragraph, double x, double y,
                       const QRectF& cell, double foot) {
    const double left = cell.left(), width = cell.width();
    if (y + paragraph.Height() <= foot + kFitSlack) {
        painter.save();
        // Unbounded up and down, kept to the cell's column.
        painter.setClipRect(QRectF(left, y - 1e4, width, 2e4), Qt::IntersectClip);
        DrawParagraph(painter, paragraph, x, y);
        painter.restore();
        return;
    }
    double top = y + paragraph.spaceBefore;
    for (const TextLine& line : paragraph.lines) {
        if (top >= foot - kFitSlack) break;
        const QRectF pitch(left, top, width, line.height);
        painter.save();
        painter.setClipRect(line.clipped ? pitch.intersected(cell) : cell, Qt::IntersectClip);
        DrawLine(painter, line, x, top);
        painter.restore();
        top += line.height;
    }
}

void DrawContent(QPainter& painter, const host::Document& doc, const ContentLayout& content,
                 QPointF origin, const QRectF& cell, double foot, const RenderOptions& options) {
    for (const BlockLayout& bl : content.blocks) {
        if (bl.block->IsTable()) {
            painter.save();
            painter.setClipRect(cell, Qt::IntersectClip);
            DrawTablePart(painter, doc, NestedPart(bl, origin), options);
            painter.restore();
        } else if (bl.paragraph.visible) {
            DrawCellParagraph(painter, bl.paragraph, origin.x(), origin.y() + bl.top, cell, foot);
        }
    }
}

// Whether a line of text lies mostly below the foot of the cell's box.
bool HidesText(const ContentLayout& content, QPointF origin, const QRectF& box) {
    for (const BlockLayout& bl : content.blocks) {
        if (bl.block->IsTable() || !bl.paragraph.visible) continue;
        double top = origin.y() + bl.top + bl.paragraph.spaceBefore;
        for (const TextLine& line : bl.paragraph.lines) {
            if (!line.pieces.empty() && top + line.height / 2 > box.bottom()) return true;
            top += line.height;
        }
    }
    return false;
}

void DrawTablePart(QPainter& painter, const host::Document& doc, const TablePart& part,
                   const RenderOptions& options) {
    const host::Table& t = *part.table;
    if (options.showGridlines) {
        QPen grid(QColor(150, 170, 210), 0, Qt::DashLine);
        grid.setCosmetic(true);
        DrawEdges(painter, part, [&](const host::Border& b) -> std::optional<QPen> {
            if (b.Visible()) return std::nullopt;
            return grid;
        });
    }
    ForEachCell(part, [&](const CellBox& box) {
        const host::Cell& cell = t.At(box.area.top, box.area.left);
        if (cell.diagonalDown.Visible()) {
            painter.setPen(BorderPen(cell.diagonalDown));
            painter.drawLine(box.rect.topLeft(), box.rect.bottomRight());
        }
        if (cell.diagonalUp.Visible()) {
            painter.setPen(BorderPen(cell.diagonalUp));
            painter.drawLine(box.rect.bottomLeft(), box.rect.topRight());
        }
        if (!box.startsHere || cell.Empty()) return;
        const ContentLayout content = LayoutContent(doc, cell.content, ContentWidth(t, box.rect));
        const QPointF origin = ContentOrigin(t, cell, box.rect, content.height);
        painter.save();
        painter.setPen(Qt::black);
        DrawContent(painter, doc, content, origin, box.rect, box.rect.bottom() - t.bottomPadding,
                    options);
        painter.setClipRect(box.rect, Qt::IntersectClip);
        if (options.markHiddenText && HidesText(content, origin, box.rect)) {
            const double side = std::min({4.0, box.rect.width(), box.rect.height()});
            const QPointF corner = box.rect.bottomRight();
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(220, 40, 40));
            painter.drawPolygon(
                QPolygonF({corner, corner - QPointF(side, 0), corner - QPointF(0, side)}));
        }
        painter.restore();
    });
    DrawEdges(painter, part, [](const host::Border& b) -> std::optional<QPen> {
        if (!b.Visible()) return std::nullopt;
        return BorderPen(b);
    });
}

}  // namespace

struct PageRenderer::Layout {
    struct PlacedTable {
        const host::Table* table = nullptr;
        std::vector<double> colX;
        std::vector<int> page;  // per row, never decreasing
        std::vector<double> top, height;
        int FirstPage() const { return page.front(); }
        int LastPage() const { return page.back(); }
    };
    struct PlacedParagraph {
        ParagraphLayout layout;
        double x = 0;
        std::vector<std::pair<int, double>> lines;  // page and top of each line
        int FirstPage() const { return lines.front().first; }
        int LastPage() const { return lines.back().first; }
    };

    int pages = 1;
    // Only what draws: tables with rows and paragraphs with ink, in body order, so their pages
    // never decrease and a page's share is found by bisection. Drawing a page then costs what
    // is on it, not the whole document.
    std::vector<PlacedTable> tables;
    std::vector<PlacedParagraph> paragraphs;

    template <typename Placed>
    static std::span<const Placed> On(const std::vector<Placed>& placed, int page) {
        const auto first = std::partition_point(
            placed.begin(), placed.end(), [&](const Placed& p) { return p.LastPage() < page; });
        const auto end = std::partition_point(
            first, placed.end(), [&](const Placed& p) { return p.FirstPage() <= page; });
        return {first, end};
    }

    // The rows of a top-level table on a page, or none.
    std::optional<TablePart> PartOn(const PlacedTable& pt, int page) const {
        const auto [first, last] = std::equal_range(pt.page.begin(), pt.page.end(), page);
        if (first == last) return std::nullopt;
        const auto from = first - pt.page.begin(), to = last - pt.page.begin();
        TablePart part;
        part.table = pt.table;
        part.colX = pt.colX;
        part.rowTop.assign(pt.top.begin() + from, pt.top.begin() + to);
        part.rowHeight.assign(pt.height.begin() + from, pt.height.begin() + to);
        part.first = static_cast<int>(from) + 1;
        part.last = static_cast<int>(to);
        return part;
    }
};

PageRenderer::PageRenderer(const host::Document& doc)
    : doc_(doc), layout_(std::make_unique<Layout>()) {
    // The page flow is the core's, shared with the scanner template; only the paragraphs'
    // line heights come from the fonts here. The measure runs once per body paragraph, in
    // order; the layouts of those with ink are kept with their call's index.
    std::vector<ParagraphLayout> drawn;
    std::vector<size_t> drawnAt;
    size_t calls = 0;
    const host::PageLayout pages =
        host::LayOutPages(doc, [&](const host::Paragraph& p, double width) {
            ParagraphLayout l = LayoutParagraph(doc, p, width);
            host::ParagraphMetrics m;
            for (const TextLine& line : l.lines) m.lineHeights.push_back(line.height);
            m.spaceBefore = l.spaceBefore;
            m.spaceAfter = l.spaceAfter;
            m.visible = l.visible;
            if (l.visible) {
                drawn.push_back(std::move(l));
                drawnAt.push_back(calls);
            }
            ++calls;
            return m;
        });
    for (const host::PlacedTable& pt : pages.tables)
        if (!pt.rowPage.empty())
            layout_->tables.push_back({pt.table, pt.columnX, pt.rowPage, pt.rowTop, pt.rowHeight});
    for (size_t k = 0; k < drawn.size(); ++k) {
        const host::PlacedParagraph& placed = pages.paragraphs[drawnAt[k]];
        if (!placed.lines.empty())
            layout_->paragraphs.push_back({std::move(drawn[k]), placed.x, placed.lines});
    }
    layout_->pages = pages.pageCount;
}

PageRenderer::~PageRenderer() = default;

int PageRenderer::PageCount() const {
    return layout_->pages;
}

QSizeF PageRenderer::PageSize() const {
    return {doc_.pageSetup.pageWidth, doc_.pageSetup.pageHeight};
}

void PageRenderer::Draw(QPainter& painter, int pageIndex, const RenderOptions& options) const {
    if (pageIndex < 0 || pageIndex >= layout_->pages) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setBrush(Qt::NoBrush);
    for (const Layout::PlacedParagraph& pp : Layout::On(layout_->paragraphs, pageIndex)) {
        painter.setPen(Qt::black);
        for (size_t i = 0; i < pp.lines.size(); ++i)
            if (pp.lines[i].first == pageIndex)
                DrawLine(painter, pp.layout.lines[i], pp.x, pp.lines[i].second);
    }
    for (const Layout::PlacedTable& pt : Layout::On(layout_->tables, pageIndex)) {
        if (const std::optional<TablePart> part = layout_->PartOn(pt, pageIndex)) {
            DrawTablePart(painter, doc_, *part, options);
        }
    }
    if (options.selectionTable) {
        const QColor highlight(51, 153, 255, 70);
        for (const QRectF& r : CellRects(pageIndex, *options.selectionTable, options.selection))
            painter.fillRect(r, highlight);
    }
    painter.restore();
}

std::optional<CellHit> PageRenderer::HitTest(int pageIndex, QPointF point) const {
    std::optional<CellHit> hit;
    for (const Layout::PlacedTable& pt : Layout::On(layout_->tables, pageIndex)) {
        const std::optional<TablePart> part = layout_->PartOn(pt, pageIndex);
        if (!part) continue;
        // Parts come outermost first, so the last one that holds the point is the innermost.
        VisitParts(doc_, *part, [&](const TablePart& p) {
            if (point.x() < p.colX.front() || point.x() >= p.colX.back()) return;
            if (point.y() < p.Top(p.first) || point.y() >= p.Bottom(p.last)) return;
            int row = p.first, column = 1;
            while (row < p.last && point.y() >= p.Bottom(row)) ++row;
            while (column < p.table->Columns() && point.x() >= p.X(column + 1)) ++column;
            hit = CellHit{p.table, row, column};
        });
    }
    return hit;
}

std::vector<QRectF> PageRenderer::CellRects(int pageIndex, const host::Table& table,
                                            const host::CellRect& rect) const {
    std::vector<QRectF> rects;
    for (const Layout::PlacedTable& pt : Layout::On(layout_->tables, pageIndex)) {
        const std::optional<TablePart> part = layout_->PartOn(pt, pageIndex);
        if (!part) continue;
        VisitParts(doc_, *part, [&](const TablePart& p) {
            // Only a table of this document is looked into: a stale selection is ignored.
            if (p.table != &table) return;
            if (rect.top < 1 || rect.left < 1 || rect.bottom > table.Rows() ||
                rect.right > table.Columns() || rect.top > rect.bottom || rect.left > rect.right)
                return;
            for (const host::CellRect& a : table.CellsIn(rect))
                if (a.bottom >= p.first && a.top <= p.last) rects.push_back(BoxOf(p, a).rect);
        });
    }
    return rects;
}

bool DrawsInColour(const host::Document& doc) {
    return ContentInColour(doc.body);
}

int PageCount(const host::Document& doc) {
    return PageRenderer(doc).PageCount();
}

QSizeF PageSize(const host::Document& doc) {
    return {doc.pageSetup.pageWidth, doc.pageSetup.pageHeight};
}

void DrawPage(QPainter& painter, const host::Document& doc, int pageIndex,
              const RenderOptions& options) {
    PageRenderer(doc).Draw(painter, pageIndex, options);
}

}  // namespace varelo::render
