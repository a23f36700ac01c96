#pragma once

#include <QPlainTextEdit>

namespace varelo::desk {

// Typing into a cell in place: an editor laid over the cell in the cell's font. It grows down
// from the cell to show every line typed (at least kMinimumLines), so a one-row cell is not
// typed into blind. Enter starts a new paragraph; leaving the editor or Ctrl+Enter keeps the
// text, Esc throws it away.
class CellEditor : public QPlainTextEdit {
    Q_OBJECT
  public:
    explicit CellEditor(QWidget* parent);

    // Shows the editor over `rect` (viewport pixels) with `text`, the cursor at its end.
    void Begin(const QRect& rect, const QString& text, const QFont& font, Qt::Alignment alignment);
    bool Editing() const { return editing_; }
    // Moves the editor with its cell (viewport pixels) as the view scrolls.
    void MoveTo(const QPoint& cellTopLeft);
    static constexpr int kMinimumLines = 3;
    // Ends editing: emits committed with the text when `keep`, cancelled otherwise.
    void Finish(bool keep);

  signals:
    void committed(const QString& text);
    void cancelled();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

  private:
    void Fit();

    bool editing_ = false;
    QRect cell_;
};

}  // namespace varelo::desk
