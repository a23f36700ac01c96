#include "desk_state.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace varelo::desk {

QString DeskState::DefaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/varelo/varelo-desk.ini");
}

QString DeskState::LastFolder() const {
    const QString folder =
        QSettings(file, QSettings::IniFormat).value(QStringLiteral("lastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

QStringList DeskState::RecentFiles() const {
    return QSettings(file, QSettings::IniFormat)
        .value(QStringLiteral("recentFiles"))
        .toStringList();
}

void DeskState::Used(const QString& path) {
    const QFileInfo info(path);
    const QString absolute = info.absoluteFilePath();
    QStringList recent = RecentFiles();
    recent.removeAll(absolute);
    recent.prepend(absolute);
    while (recent.size() > kRecentFiles) recent.removeLast();
    QSettings s(file, QSettings::IniFormat);
    s.setValue(QStringLiteral("lastFolder"), info.absolutePath());
    s.setValue(QStringLiteral("recentFiles"), recent);
}

void DeskState::UsedFolder(const QString& path) {
    QSettings(file, QSettings::IniFormat)
        .setValue(QStringLiteral("lastFolder"), QFileInfo(path).absolutePath());
}

void DeskState::Forget(const QString& path) {
    QStringList recent = RecentFiles();
    recent.removeAll(path);
    QSettings(file, QSettings::IniFormat).setValue(QStringLiteral("recentFiles"), recent);
}

}  // namespace varelo::desk
