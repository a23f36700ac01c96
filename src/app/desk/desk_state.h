#pragma once

#include <QString>
#include <QStringList>

namespace varelo::desk {

// What the window remembers between sessions: the folder its file dialogs start in and the
// files opened or saved last. Kept in $XDG_CONFIG_HOME/varelo/varelo-desk.ini beside the
// add-in's record.
class DeskState {
  public:
    static constexpr int kRecentFiles = 8;

    // The folder of the last file chosen; the home folder before any.
    QString LastFolder() const;
    QStringList RecentFiles() const;  // newest first
    // A file was opened or saved: its folder becomes the last one and it heads the list.
    void Used(const QString& file);
    // A file was chosen for an export: only its folder is remembered.
    void UsedFolder(const QString& file);
    void Forget(const QString& file);

    // Where the state lives; the default is the user's config folder.
    static QString DefaultFile();
    QString file = DefaultFile();
};

}  // namespace varelo::desk
