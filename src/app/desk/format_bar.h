#pragma once

#include <QToolBar>
#include <functional>
#include <optional>
#include <string>

#include "doc/table.h"

class QComboBox;

namespace varelo::desk {

// The small format bar: the sheet's fonts, a size, bold and the paragraph alignment. It shows
// the format of the selection's first cell and reports what the user picks; the window applies
// it to the selected cells.
class FormatBar : public QToolBar {
    Q_OBJECT
  public:
    explicit FormatBar(QWidget* parent);

    // The fonts a sheet uses; other names are shown but not offered.
    static const std::vector<std::string>& SheetFonts();

    // A size as typed or picked: a Chinese size name (五号, 小四, ...) or points.
    static std::optional<double> SizeOf(const QString& text);
    // Points as the box shows them: by the Chinese name when one has that size.
    static QString SizeName(double points);

    // What the selection's first cell holds; nothing selected leaves the bar off.
    void Show(const host::CharFormat* font, const host::Alignment* alignment);

    // Called with the change the user picked.
    std::function<void(const host::CharFormat&)> fontPicked;
    std::function<void(host::Alignment)> alignmentPicked;

  private:
    QComboBox *fontBox_, *sizeBox_;
    QAction* bold_;
    std::vector<std::pair<host::Alignment, QAction*>> alignments_;
    bool showing_ = false;  // updates from Show are not the user's picks
};

}  // namespace varelo::desk
