#include "cell_editor.h"

#include <QKeyEvent>
#include <QTextBlock>

namespace varelo::desk {

CellEditor::CellEditor(QWidget* parent) : QPlainTextEdit(parent) {
    setObjectName(QStringLiteral("cellEditor"));
    setFrameShape(QFrame::Box);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    document()->setDocumentMargin(1);
    hide();
}

void CellEditor::Begin(const QRect& rect, const QString& text, const QFont& font,
                       Qt::Alignment alignment) {
    editing_ = true;
    setFont(font);
    setPlainText(text);
    QTextOption option = document()->defaultTextOption();
    option.setAlignment(alignment);
    document()->setDefaultTextOption(option);
    // Room for at least one line of the cell's font, whatever the cell's height.
    const int line = QFontMetrics(font).height() + 6;
    setGeometry(rect.adjusted(0, 0, 0, std::max(0, line - rect.height())));
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
