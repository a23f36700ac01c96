#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "doc/clipboard.h"
#include "doc/command_bars.h"
#include "doc/document.h"
#include "doc/selection.h"

namespace varelo::host {

enum class SaveChoice { Save, DontSave, Cancel };

struct ViewFlags {
    bool showParagraphs = true;
    bool tableGridlines = true;
};

// Defaults for borders drawn by hand.
struct BorderOptions {
    int defaultBorderLineStyle = kLineStyleSingle;
    int defaultBorderLineWidth = kLineWidth050pt;
    int defaultBorderColor = kColorAutomatic;
    bool operator==(const BorderOptions&) const = default;
};

// The word processor as the sheet code sees it.
class Application {
  public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // Documents
    int DocumentCount() const { return static_cast<int>(documents_.size()); }
    Document& Documents(int index);  // 1-based
    Document& AddDocument();
    // Takes a document made elsewhere (a file that was opened) into the application and
    // makes it the active one. A document without a name gets the next "文档N".
    Document& AdoptDocument(std::unique_ptr<Document> doc);
    // Closes one document: the close event fires, a modified document is offered for saving.
    // Returns false when the user keeps it open.
    bool CloseDocument(Document& doc);
    // Documents.Close: every open document; returns false when any stayed open.
    bool CloseAllDocuments();
    Document* ActiveDocument();
    void Activate(Document& doc);

    ViewFlags view;  // the active window's view
    BorderOptions options;
    CommandBars commandBars;
    Selection selection;
    Clipboard clipboard;

    // A plain OK-only message with no title of its own.
    void ShowMessage(const std::string& text);
    // Where messages go; without a sink they are only recorded.
    std::function<void(const std::string&)> messageSink;
    std::vector<std::string> messages;  // every message shown, in order
    // A line for the status bar: why a tool did less than was asked, where that needs no box
    // of its own (or adds the reason to one).
    void Notice(const std::string& text);
    std::function<void(const std::string&)> noticeSink;
    std::vector<std::string> notices;  // every notice given, in order

    // A yes/no question before a change that cannot be seen undone on paper; true goes on.
    // Without a handler the answer is yes.
    bool Confirm(const std::string& question) { return !askToConfirm || askToConfirm(question); }
    std::function<bool(const std::string&)> askToConfirm;

    // DocumentBeforeClose event handlers.
    std::vector<std::function<void(Document&, bool& cancel)>> documentBeforeClose;
    // Asked for each modified document that closes; Save should save it (returning
    // Cancel keeps it open). Without a handler changes are discarded.
    std::function<SaveChoice(Document&)> askToSave;
    // Lets the host process pending events (paint only); no-op without a window.
    std::function<void()> processPendingEvents;
    void DoEvents() {
        if (processPendingEvents) processPendingEvents();
    }
    // Called after documents are added, closed or changed, so a window can follow.
    std::function<void()> documentsChanged;

  private:
    std::vector<std::unique_ptr<Document>> documents_;
    Document* active_ = nullptr;
    int nextNumber_ = 1;
};

}  // namespace varelo::host
