#pragma once

#include <deque>
#include <map>

#include "doc/application.h"

namespace varelo::desk {

// Undo and redo of the changes made to each open document: the editing tools, typing in cells
// and the format bar. A level is the whole document as it was, with the selection kept as the
// index of its top-level table and its cells, so the selection comes back with the document.
class EditHistory {
  public:
    static constexpr size_t kLevels = 20;  // per document and direction

    // Runs `change` on the active document and keeps an undo level when it changed anything;
    // a new change forgets what could be redone. Returns whether the document changed.
    template <class Change>
    bool Record(host::Application& app, Change&& change) {
        host::Document* doc = app.ActiveDocument();
        if (!doc) {
            change();
            return false;
        }
        Level level = Snapshot(app, *doc);
        change();
        // A refused change (its message shown) or one that left the document as it was costs
        // no level.
        if (app.ActiveDocument() != doc || level.document == *doc) return false;
        Push(undo_[doc], std::move(level));
        redo_[doc].clear();
        return true;
    }

    bool CanUndo(const host::Document* doc) const { return Has(undo_, doc); }
    bool CanRedo(const host::Document* doc) const { return Has(redo_, doc); }
    // Take back the last change of the active document, or bring back the last one taken back.
    // The document stays modified, as in the word processor.
    bool Undo(host::Application& app) { return Step(app, undo_, redo_); }
    bool Redo(host::Application& app) { return Step(app, redo_, undo_); }

    // Drops the levels of documents that are no longer open.
    void ForgetClosed(host::Application& app);

  private:
    struct Level {
        host::Document document;
        int table = 0;  // 0: no selection in a top-level table
        host::CellRect cells;
    };
    using Levels = std::map<const host::Document*, std::deque<Level>>;

    static Level Snapshot(const host::Application& app, const host::Document& doc);
    static void Push(std::deque<Level>& levels, Level level);
    static bool Has(const Levels& levels, const host::Document* doc);
    static bool Step(host::Application& app, Levels& from, Levels& to);

    Levels undo_, redo_;
};

}  // namespace varelo::desk
