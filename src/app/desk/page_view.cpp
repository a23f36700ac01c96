#include "page_view.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "doc/errors.h"

namespace varelo::desk {

namespace {

constexpr int kMargin = 16;  // around the pages, pixels
constexpr int kGap = 16;     // between pages
constexpr double kMinZoom = 0.1, kMaxZoom = 8.0;

}  // namespace

PageView::PageView(host::Application& app, QWidget* parent)
    : QAbstractScrollArea(parent), app_(app) {
    setObjectName(QStringLiteral("pageView"));
    viewport()->setMouseTracking(true);  // the status bar follows the pointer
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
}

PageView::~PageView() = default;

void PageView::Invalidate() {
    renderer_.reset();
    if (app_.ActiveDocument() != laidOut_) anchor_.reset();
    laidOut_ = nullptr;
    UpdateScrollBars();
    viewport()->update();
}

render::PageRenderer* PageView::Renderer() {
    host::Document* doc = app_.ActiveDocument();
    if (!doc) {
        renderer_.reset();
        laidOut_ = nullptr;
        return nullptr;
    }
    if (!renderer_ || laidOut_ != doc) {
        renderer_ = std::make_unique<render::PageRenderer>(*doc);
        laidOut_ = doc;
    }
    return renderer_.get();
}

int PageView::PageCount() {
    render::PageRenderer* r = Renderer();
    return r ? r->PageCount() : 0;
}

double PageView::Zoom() const {
    if (zoom_ > 0) return zoom_;
    const host::Document* doc = app_.ActiveDocument();
    const QSizeF page =
        doc ? QSizeF(doc->pageSetup.pageWidth, doc->pageSetup.pageHeight) : QSizeF(595.3, 841.9);
    double fit = (viewport()->width() - 2.0 * kMargin) / std::max(1.0, page.width());
    if (zoom_ == kFitPage)
        fit = std::min(fit, (viewport()->height() - 2.0 * kMargin) / std::max(1.0, page.height()));
    return std::clamp(fit, kMinZoom, kMaxZoom);
}

void PageView::SetZoom(double pixelsPerPoint) {
    zoom_ = pixelsPerPoint > 0 ? std::clamp(pixelsPerPoint, kMinZoom, kMaxZoom)
                               : (pixelsPerPoint == kFitPage ? kFitPage : kFitWidth);
    UpdateScrollBars();
    viewport()->update();
    emit zoomChanged();
}

void PageView::ZoomBy(double factor) {
    SetZoom(Zoom() * factor);
}

QSizeF PageView::PageSizePx() {
    render::PageRenderer* r = Renderer();
    return r ? r->PageSize() * Zoom() : QSizeF();
}

void PageView::UpdateScrollBars() {
    const QSizeF page = PageSizePx();
    const int pages = PageCount();
    const int contentWidth = static_cast<int>(std::ceil(page.width())) + 2 * kMargin;
    const int contentHeight = pages ? static_cast<int>(std::ceil(page.height() * pages)) +
                                          (pages - 1) * kGap + 2 * kMargin
                                    : 0;
    const QSize view = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - view.width()));
    horizontalScrollBar()->setPageStep(view.width());
    verticalScrollBar()->setRange(0, std::max(0, contentHeight - view.height()));
    verticalScrollBar()->setPageStep(view.height());
}

QRectF PageView::PageRect(int pageIndex) {
    const QSizeF page = PageSizePx();
    const double x = std::max<double>(kMargin, (viewport()->width() - page.width()) / 2.0) -
                     horizontalScrollBar()->value();
    const double y = kMargin + pageIndex * (page.height() + kGap) - verticalScrollBar()->value();
    return QRectF(QPointF(x, y), page);
}

std::optional<render::CellHit> PageView::CellAt(QPoint viewportPoint) {
    render::PageRenderer* r = Renderer();
    if (!r) return std::nullopt;
    const double zoom = Zoom();
    for (int i = 0; i < r->PageCount(); ++i) {
        const QRectF rect = PageRect(i);
        if (!rect.contains(viewportPoint)) continue;
        return r->HitTest(i, (QPointF(viewportPoint) - rect.topLeft()) / zoom);
    }
    return std::nullopt;
}

void PageView::SelectTo(QPoint viewportPoint, bool extend) {
    const std::optional<render::CellHit> hit = CellAt(viewportPoint);
    if (!hit) return;
    if (!extend || !anchor_ || anchor_->table != hit->table || anchor_->row > hit->table->Rows() ||
        anchor_->column > hit->table->Columns())
        anchor_ = Anchor{hit->table, hit->row, hit->column};
    const host::CellRect rect{
        std::min(anchor_->row, hit->row), std::min(anchor_->column, hit->column),
        std::max(anchor_->row, hit->row), std::max(anchor_->column, hit->column)};
    // The hit table belongs to the active document, which the view may change.
    auto* table = const_cast<host::Table*>(hit->table);
    try {
        app_.selection.SelectCells(*table, rect);
    } catch (const host::HostError&) {
        return;
    }
    emit selectionChanged();
    viewport()->update();
}

void PageView::paintEvent(QPaintEvent* event) {
    QPainter painter(viewport());
    painter.fillRect(event->rect(), QColor(128, 128, 128));
    render::PageRenderer* r = Renderer();
    if (!r) return;
    const double zoom = Zoom();
    render::RenderOptions options;
    options.showGridlines = app_.view.tableGridlines;
    options.markHiddenText = true;
    if (app_.selection.InTable()) {
        options.selectionTable = app_.selection.GetTable();
        options.selection = app_.selection.Rect();
    }
    for (int i = 0; i < r->PageCount(); ++i) {
        const QRectF rect = PageRect(i);
        if (!rect.intersects(event->rect())) continue;
        painter.fillRect(rect.translated(3, 3), QColor(60, 60, 60));
        painter.fillRect(rect, Qt::white);
        painter.save();
        painter.setClipRect(rect);
        painter.translate(rect.topLeft());
        painter.scale(zoom, zoom);
        r->Draw(painter, i, options);
        painter.restore();
    }
}

void PageView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
    if (zoom_ <= 0) emit zoomChanged();
}

void PageView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mousePressEvent(event);
    const QPoint p = event->position().toPoint();
    if (!CellAt(p)) {
        anchor_.reset();
        app_.selection.Clear();
        emit selectionChanged();
        viewport()->update();
        return;
    }
    SelectTo(p, event->modifiers().testFlag(Qt::ShiftModifier));
}

void PageView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->buttons().testFlag(Qt::LeftButton) && anchor_) SelectTo(p, true);
    int page = -1;
    for (int i = 0; i < PageCount(); ++i)
        if (PageRect(i).contains(p)) page = i;
    const std::optional<render::CellHit> hit = page >= 0 ? CellAt(p) : std::nullopt;
    emit pointerMoved(page, hit ? hit->table : nullptr, hit ? hit->row : 0, hit ? hit->column : 0);
}

void PageView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return QAbstractScrollArea::mouseDoubleClickEvent(event);
    const std::optional<render::CellHit> hit = CellAt(event->position().toPoint());
    if (!hit) return;
    // The first click selected the cell; the second asks to write into it.
    if (app_.selection.GetTable() != hit->table ||
        !app_.selection.Rect().Contains(hit->row, hit->column))
        SelectTo(event->position().toPoint(), false);
    emit editRequested(QString());
}

void PageView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    const bool typing = !text.isEmpty() && text.at(0).isPrint() &&
                        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (app_.selection.InTable() && (typing || event->key() == Qt::Key_F2)) {
        emit editRequested(typing ? text : QString());
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

std::optional<QRect> PageView::CellOnScreen(const host::Table& table, const host::CellRect& area) {
    render::PageRenderer* r = Renderer();
    if (!r) return std::nullopt;
    for (int i = 0; i < r->PageCount(); ++i) {
        const std::vector<QRectF> parts = r->CellRects(i, table, area);
        if (parts.empty()) continue;
        const QRectF& part = parts.front();
        return QRectF(PageRect(i).topLeft() + part.topLeft() * Zoom(), part.size() * Zoom())
            .toAlignedRect();
    }
    return std::nullopt;
}

int PageView::CurrentPage() {
    const int pages = PageCount();
    if (pages == 0) return -1;
    // The page that holds the middle of the view, or the last one above it.
    const double middle = viewport()->height() / 2.0;
    int page = 0;
    for (int i = 0; i < pages; ++i)
        if (PageRect(i).top() <= middle) page = i;
    return page;
}

void PageView::ShowPage(int pageIndex) {
    const int pages = PageCount();
    if (pages == 0) return;
    pageIndex = std::clamp(pageIndex, 0, pages - 1);
    const double top = PageRect(pageIndex).top() + verticalScrollBar()->value();
    verticalScrollBar()->setValue(static_cast<int>(top) - kMargin);
    emit scrolled();
}

void PageView::wheelEvent(QWheelEvent* event) {
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const double steps = event->angleDelta().y() / 120.0;
        if (steps != 0) ZoomBy(std::pow(1.15, steps));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

void PageView::scrollContentsBy(int, int) {
    viewport()->update();
    emit scrolled();
}

}  // namespace varelo::desk
