#pragma once

#include <QPlainTextEdit>

namespace varelo::desk {

// Typing into a cell in place: an editor laid over the cell in the cell's font. Enter starts
// a new paragraph; leaving the editor or Ctrl+Enter keeps the text, Esc throws it away.
class CellEditor : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit CellEditor(QWidget* parent);

    // Shows the editor over `rect` (viewport pixels) with `text`, the cursor at its end.
    void Begin(const QRect& rect, const QString& text, const QFont& font, Qt::Alignment alignment);
    bool Editing() const { return editing_; }
    // Ends editing: emits committed with the text when `keep`, cancelled otherwise.
    void Finish(bool keep);

  signals:
    void committed(const QString& text);
    void cancelled();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    bool editing_ = false;
};

}  // namespace varelo::desk
