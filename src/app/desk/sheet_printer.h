#pragma once

#include <QString>
#include <chrono>
#include <functional>
#include <string>

#include "doc/document.h"

class QPrinter;
class QWidget;

namespace varelo::desk {

// Printing a sheet: the print dialog, the print preview and the sheet's own paper.
class SheetPrinter {
  public:
    // parent: the dialogs' parent; tell: shows the user a message.
    SheetPrinter(QWidget* parent, std::function<void(const std::string&)> tell);

    // Asks the print dialog and prints; false when it is cancelled.
    bool Print(const host::Document& doc) const;
    // The pages as the printer will print them, in Qt's preview dialog ("printPreview").
    bool Preview(const host::Document& doc) const;

    // The sheet's paper size and orientation, the whole page and the document's name.
    static void SetUp(QPrinter& printer, const host::Document& doc);
    // Draws the pages in the printer's range at their true size.
    void PaintPages(QPrinter& printer, const host::Document& doc) const;

    // Whether the print system tells its printers within `wait`. It is asked on a thread of
    // its own while the window goes on under a busy cursor: a print server that never answers
    // would otherwise hold the window inside the printer's set-up. A question it has not
    // answered yet is waited on again rather than asked twice; Busy while another wait is on.
    enum class Answer { Answered, Silent, Busy };
    static Answer AskPrintSystem(std::chrono::milliseconds wait);
    // How long printing and the preview wait for it.
    static inline std::chrono::milliseconds answerWait{10000};

  private:
    // False, having told why, when the print system does not answer.
    bool Ready() const;

    QWidget* parent_;
    std::function<void(const std::string&)> tell_;
};

}  // namespace varelo::desk
