#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <memory>
#include <optional>
#include <vector>

#include "doc/document.h"
#include "doc/table.h"

class QPainter;

namespace varelo::render {

// Things drawn only on screen.
struct RenderOptions {
    // Dashed non-printing lines on every cell edge that has no border (the view's
    // table-gridlines flag).
    bool showGridlines = false;
    // A small mark in the corner of a cell whose text runs past its foot, so text an exact row
    // height hides is not taken for text that is not there.
    bool markHiddenText = false;
    // Cells to highlight: a rectangle of one table of the document (top-level or nested).
    const host::Table* selectionTable = nullptr;
    host::CellRect selection;
};

// A cell found under a point.
struct CellHit {
    const host::Table* table = nullptr;
    int row = 0, column = 0;  // the slot under the point (1-based)
};

// Lays a document out into pages once and draws them. Coordinates are points with the
// origin at the page's top-left corner; the caller scales the painter to its device.
//
// Top-level tables flow from the top margin; a row that does not fit in the text height
// moves to the next page (rows never split). A merged cell that crosses a page break is
// drawn in parts, one per page; its content is laid out and drawn in the part on the page
// where the cell starts. The layout refers to the document, which must outlive the renderer
// and stay unchanged while it is used. Needs a QGuiApplication (see EnsureGuiApplication).
class PageRenderer {
  public:
    explicit PageRenderer(const host::Document& doc);
    ~PageRenderer();
    PageRenderer(const PageRenderer&) = delete;
    PageRenderer& operator=(const PageRenderer&) = delete;

    int PageCount() const;
    QSizeF PageSize() const;  // points
    void Draw(QPainter& painter, int pageIndex, const RenderOptions& options = {}) const;

    // The innermost table cell under a point of a page, if any.
    std::optional<CellHit> HitTest(int pageIndex, QPointF point) const;
    // Where the cells of rect of table lie on a page: one rectangle per cell part.
    std::vector<QRectF> CellRects(int pageIndex, const host::Table& table,
                                  const host::CellRect& rect) const;

    struct Layout;

  private:
    const host::Document& doc_;
    std::unique_ptr<Layout> layout_;
};

// Whether the printed pages hold any colour other than greys (on-screen extras aside).
bool DrawsInColour(const host::Document& doc);

// One-shot forms of the above.
int PageCount(const host::Document& doc);
QSizeF PageSize(const host::Document& doc);
void DrawPage(QPainter& painter, const host::Document& doc, int pageIndex,
              const RenderOptions& options = {});

}  // namespace varelo::render
