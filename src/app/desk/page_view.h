#pragma once

#include <QAbstractScrollArea>
#include <memory>
#include <optional>

#include "doc/application.h"
#include "render/page_renderer.h"

namespace varelo::desk {

// Shows the active document's pages one under the other, with zoom and scrolling, and lets
// the user select a rectangle of table cells: drag from cell to cell, or click one corner and
// shift-click the other. The selection goes to the application, where the tools find it.
class PageView : public QAbstractScrollArea {
    Q_OBJECT
  public:
    explicit PageView(host::Application& app, QWidget* parent = nullptr);
    ~PageView() override;

    // The document's content may have changed: lay it out again before the next paint.
    void Invalidate();

    // Pixels per point; kFitWidth and kFitPage follow the window's size.
    static constexpr double kFitWidth = 0, kFitPage = -1;
    void SetZoom(double pixelsPerPoint);
    double Zoom() const;  // the scale in use
    void ZoomBy(double factor);
    void FitWidth() { SetZoom(kFitWidth); }
    void FitPage() { SetZoom(kFitPage); }

    int PageCount();
    // Where a page lies in the viewport's coordinates (after scrolling), in pixels.
    QRectF PageRect(int pageIndex);
    // The cell under a viewport point, if any.
    std::optional<render::CellHit> CellAt(QPoint viewportPoint);
    // Selects the cells between the anchor and the cell under a viewport point.
    void SelectTo(QPoint viewportPoint, bool extend);
    // Where a cell lies in the viewport: its part on the first page it reaches.
    std::optional<QRect> CellOnScreen(const host::Table& table, const host::CellRect& area);

    // The page most of the view shows (0-based), and scrolling so a page's top is in view.
    int CurrentPage();
    void ShowPage(int pageIndex);

  signals:
    void selectionChanged();
    // The pointer moved: the page under it (-1: none) and the cell (row 0: none).
    void pointerMoved(int page, const host::Table* table, int row, int column);
    void scrolled();
    // The scale in use may have changed: a new zoom, or a fitted page in a new size.
    void zoomChanged();
    // A double-click on a selected cell, or typing while cells are selected (`typed` is the
    // text of the key): the user wants to write into the first selected cell.
    void editRequested(const QString& typed);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

  private:
    render::PageRenderer* Renderer();
    QSizeF PageSizePx();
    void UpdateScrollBars();

    host::Application& app_;
    const host::Document* laidOut_ = nullptr;
    std::unique_ptr<render::PageRenderer> renderer_;
    double zoom_ = kFitWidth;
    // The cell where the current selection started, in the table it belongs to.
    struct Anchor {
        const host::Table* table;
        int row, column;
    };
    std::optional<Anchor> anchor_;
};

}  // namespace varelo::desk
