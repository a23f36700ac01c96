#include "cell_editor.h"

#include <QKeyEvent>
#include <algorithm>
#include <cmath>

namespace varelo::desk {

CellEditor::CellEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("cellEditor"));
    setFrameShape(QFrame::Box);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(1);
    connect(document(), &QTextDocument::contentsChanged, this, [this] {
        if (editing_) Fit();
    });
    hide();
}

void CellEditor::Fit() {
    const QFontMetrics metrics(font());
    // A cell narrower than a few characters would wrap every one of them.
    const int width = std::max(cell_.width(), 6 * metrics.height());
    if (this->width() != width) resize(width, height());
    const int chrome = 2 * (frameWidth() + static_cast<int>(document()->documentMargin())) + 2;
    // Counted from the text rather than the editor's layout, which follows a resize only later.
    int lines = 0;
    const int textWidth = std::max(1, width - chrome);
    for (const QString& paragraph : toPlainText().split(u'\n'))
        lines += paragraph.isEmpty()
                     ? 1
                     : std::max(1, metrics.boundingRect(QRect(0, 0, textWidth, 1 << 20),
                                                        Qt::TextWordWrap, paragraph)
                                           .height() /
                                       metrics.lineSpacing());
    // Half a line spare: the editor's own layout rounds each line up.
    const int line = static_cast<int>(std::ceil(QFontMetricsF(font()).lineSpacing()));
    int height =
        std::max(cell_.height(), std::max(kMinimumLines, lines) * line + chrome + line / 2);
    // Down to the foot of the view at most; beyond that it scrolls.
    if (parentWidget())
        height = std::min(height, std::max(cell_.height(), parentWidget()->height() - cell_.top()));
    setGeometry(cell_.x(), cell_.y(), width, height);
}

void CellEditor::MoveTo(const QPoint& cellTopLeft) {
    cell_.moveTopLeft(cellTopLeft);
    if (editing_) Fit();
}

void CellEditor::Begin(const QRect& rect, const QString& text, const QFont& font,
                       Qt::Alignment alignment) {
    cell_ = rect;
    editing_ = true;
    setFont(font);
    setPlainText(text);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(alignment);
    document()->setDefaultTextOption(option);
    Fit();
    moveCursor(QTextCursor::End);
    show();
    raise();
    setFocus();
}

void CellEditor::Finish(bool keep) {
    if (!editing_) return;
    editing_ = false;
    hide();
    if (keep)
        emit committed(toPlainText());
    else
        emit cancelled();
}

void CellEditor::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Finish(false);
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers().testFlag(Qt::ControlModifier)) {
        Finish(true);
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
}

void CellEditor::focusOutEvent(QFocusEvent* event) {
    QPlainTextEdit::focusOutEvent(event);
    // A menu or the format bar taking focus ends the typing and keeps it.
    if (event->reason() != Qt::PopupFocusReason) Finish(true);
}

}  // namespace varelo::desk
