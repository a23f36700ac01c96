#include "edit_history.h"

#include "doc/errors.h"

namespace varelo::desk {

EditHistory::Level EditHistory::Snapshot(const host::Application& app, const host::Document& doc) {
    Level level{doc, 0, app.selection.Rect()};
    for (int i = 1; i <= doc.TableCount(); ++i)
        if (app.selection.GetTable() == &doc.Tables(i)) level.table = i;
    return level;
}

void EditHistory::Push(std::deque<Level>& levels, Level level) {
    levels.push_back(std::move(level));
    if (levels.size() > kLevels) levels.pop_front();
}

bool EditHistory::Has(const Levels& levels, const host::Document* doc) {
    const auto it = levels.find(doc);
    return it != levels.end() && !it->second.empty();
}

bool EditHistory::Step(host::Application& app, Levels& from, Levels& to) {
    host::Document* doc = app.ActiveDocument();
    if (!Has(from, doc)) return false;
    std::deque<Level>& levels = from[doc];
    Level level = std::move(levels.back());
    levels.pop_back();
    Push(to[doc], Snapshot(app, *doc));
    // Nothing may keep pointing into the tables that are about to go.
    app.selection.Clear();
    const std::string path = doc->path, name = doc->name;
    *doc = std::move(level.document);
    doc->path = path;
    doc->name = name;
    doc->saved = false;
    if (level.table >= 1 && level.table <= doc->TableCount()) {
        try {
            app.selection.SelectCells(doc->Tables(level.table), level.cells);
        } catch (const host::HostError&) {
        }
    }
    return true;
}

void EditHistory::ForgetClosed(host::Application& app) {
    for (Levels* levels : {&undo_, &redo_})
        for (auto it = levels->begin(); it != levels->end();) {
            bool open = false;
            for (int i = 1; i <= app.DocumentCount(); ++i)
                open = open || &app.Documents(i) == it->first;
            it = open ? std::next(it) : levels->erase(it);
        }
}

}  // namespace varelo::desk
