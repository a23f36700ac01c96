#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <utility>

namespace varelo::desk {

namespace {

// qtbase's Chinese has no entry for the kinds the file dialog lists beside each name ("Folder"),
// so those come from here.
class FileKinds : public QTranslator {
  public:
    using QTranslator::QTranslator;
    QString translate(const char* context, const char* source, const char*, int) const override {
        if (qstrcmp(context, "QAbstractFileIconProvider") != 0) return {};
        static constexpr std::pair<const char*, const char*> kKinds[] = {
            {"Folder", "文件夹"}, {"File Folder", "文件夹"}, {"Drive", "驱动器"},
            {"File", "文件"},     {"Shortcut", "快捷方式"},  {"Unknown", "未知"},
        };
        for (const auto& [english, chinese] : kKinds)
            if (qstrcmp(source, english) == 0) return QString::fromUtf8(chinese);
        return {};
    }
    bool isEmpty() const override { return false; }
};

}  // namespace

bool InstallChineseTranslations(QCoreApplication& app) {
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    QLocale::setDefault(chinese);
    auto* translator = new QTranslator(&app);
    if (!translator->load(chinese, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(new FileKinds(&app));
    return QCoreApplication::installTranslator(translator);
}

}  // namespace varelo::desk
