// varelo-desk: the desktop window that hosts the answer-sheet add-in.
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QImage>
#include <QKeyEvent>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "app/desk/addin/registration.h"
#include "base/local_time_zone.h"
#include "main_window.h"
#include "page_view.h"
#include "settings_dialog.h"
#include "translations.h"

namespace {

// The window speaks Chinese throughout: menus, dialogs, messages and this text.
constexpr const char* kUsage = R"(用法：varelo-desk [选项] [答题卡.docx]

打开答题卡窗口；给出文件名时同时打开该答题卡（须是 Varelo 生成的 .docx）。
当前用户登记了加载方式为 3 的插件时，窗口显示“Varelo”命令栏；第一次启动会自动登记。

选项：
  --register                 为当前用户登记插件（启动时加载）
  --unregister               不再在启动时加载插件
  --screenshot 文件.png      通过设置对话框生成示例答题卡（A3三栏，一组 30 道选择题），
                             保存整个窗口的截图后退出
  --dialog-screenshot 文件.png
                             保存刚打开的设置对话框的截图后退出
  -h, --help                 显示本说明

环境变量 VARELO_DESK_GRAB=文件夹：在任何窗口或对话框中按 Ctrl+Shift+F12，把整个屏幕的截图
存为该文件夹中的 grab-01.png、grab-02.png……（scripts/desk-walkthrough.sh 用它）。

插件登记记录：$XDG_CONFIG_HOME/varelo/addins.json（默认 ~/.config/varelo/...）；
最近的文件和上次使用的文件夹：$XDG_CONFIG_HOME/varelo/varelo-desk.ini。
没有显示器时截图选项也能用：找不到显示器时使用 QT_QPA_PLATFORM=offscreen。

示例：
  varelo-desk --screenshot desk-main.png
  varelo-desk out/sheet.docx
)";

int Register(int loadBehavior) {
    const std::string file = varelo::host::AddInsFile();
    varelo::host::AddInRecord record = varelo::host::VareloAddIn();
    record.loadBehavior = loadBehavior;
    try {
        varelo::host::WriteAddIn(file, record);
    } catch (const std::exception& e) {
        std::cerr << "varelo-desk：无法写入插件登记记录：" << e.what() << "\n";
        return 1;
    }
    std::cout << record.progId
              << (loadBehavior == varelo::host::kLoadAtStartup ? " 已登记（启动时加载），记录在 "
                                                               : " 已取消启动时加载，记录在 ")
              << file << "\n";
    return 0;
}

bool Save(const QPixmap& pixmap, const char* path) {
    if (pixmap.save(QString::fromLocal8Bit(path), "PNG")) return true;
    std::cerr << "varelo-desk：无法写入 " << path << "\n";
    return false;
}

// VARELO_DESK_GRAB: Ctrl+Shift+F12 anywhere in the program saves the screen, dialogs included, so
// a walk-through driven from outside can take its pictures without a screenshot tool.
class ScreenGrabber : public QObject {
  public:
    explicit ScreenGrabber(QString folder) : folder_(std::move(folder)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_F12 ||
            key->modifiers() != (Qt::ControlModifier | Qt::ShiftModifier))
            return false;
        QScreen* screen = QGuiApplication::primaryScreen();
        if (!screen) return true;
        QImage shot = screen->grabWindow(0).toImage();
        // Small enough for the documentation, large enough to read its menus.
        if (shot.width() > 1000) shot = shot.scaledToWidth(1000, Qt::SmoothTransformation);
        const QString file =
            QDir(folder_).filePath(QStringLiteral("grab-%1.png").arg(++count_, 2, 10, QChar(u'0')));
        if (!shot.save(file, "PNG"))
            std::cerr << "varelo-desk：无法写入 " << file.toLocal8Bit().constData() << "\n";
        return true;
    }

  private:
    QString folder_;
    int count_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
    varelo::host::ReadLocalTimeZoneOnce();
    const char* screenshot = nullptr;
    const char* dialogScreenshot = nullptr;
    const char* sheet = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        }
        if (arg == "--register") return Register(varelo::host::kLoadAtStartup);
        if (arg == "--unregister") return Register(varelo::host::kLoadNever);
        if ((arg == "--screenshot" || arg == "--dialog-screenshot") && i + 1 < argc) {
            (arg == "--screenshot" ? screenshot : dialogScreenshot) = argv[++i];
            continue;
        }
        if (!sheet && !arg.empty() && arg[0] != '-') {
            sheet = argv[i];
            continue;
        }
        std::cerr << "varelo-desk：未知或不完整的选项 " << arg << "\n\n" << kUsage;
        return 2;
    }

    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varelo"));
    if (!varelo::desk::InstallChineseTranslations(qapp))
        std::cerr << "varelo-desk：找不到 Qt 的中文翻译（qt6-translations-l10n），"
                     "文件、打印对话框将显示英文\n";
    // The window's texts are Chinese; draw them in one CJK face rather than a fallback mix.
    if (QFontDatabase::hasFamily(QStringLiteral("Noto Sans CJK SC"))) {
        QFont font(QStringLiteral("Noto Sans CJK SC"));
        font.setPointSize(9);
        QApplication::setFont(font);
    }

    // The add-in's bitmaps are installed beside the program.
    varelo::desk::MainWindow window(QCoreApplication::applicationDirPath().toStdString());

    if (dialogScreenshot) {
        varelo::desk::SettingsDialog dialog(window.App(), &window);
        dialog.show();
        QCoreApplication::processEvents();
        return Save(dialog.grab(), dialogScreenshot) ? 0 : 1;
    }
    if (screenshot) {
        // Screenshots leave the user's registration alone.
        window.ConnectAddIn();
        window.show();
        window.View()->FitPage();  // the whole first page in the picture
        QCoreApplication::processEvents();
        if (!window.GenerateExampleSheet()) {
            std::cerr << "varelo-desk：示例答题卡没有生成\n";
            return 1;
        }
        QCoreApplication::processEvents();
        return Save(window.grab(), screenshot) ? 0 : 1;
    }

    const char* grabFolder = std::getenv("VARELO_DESK_GRAB");
    ScreenGrabber grabber(QString::fromLocal8Bit(grabFolder ? grabFolder : ""));
    if (grabFolder) qapp.installEventFilter(&grabber);

    window.LoadAddIns(varelo::host::AddInsFile());
    window.show();
    if (sheet) window.OpenFile(QString::fromLocal8Bit(sheet));  // a refusal shows its message
    return qapp.exec();
}
