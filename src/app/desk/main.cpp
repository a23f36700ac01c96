// varelo-desk: the desktop window that hosts the answer-sheet add-in.
#include <QApplication>
#include <QDir>
#include <QFontDatabase>
#include <QPixmap>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "host/registration.h"
#include "main_window.h"
#include "page_view.h"
#include "settings_dialog.h"

namespace {

constexpr const char* kUsage = R"(Usage: varelo-desk [option] [SHEET.docx]

Opens the answer-sheet window, and the sheet when one is named (a .docx that Varelo wrote). The Varelo command bar appears when the add-in is
registered for the current user with load behaviour 3; a first start registers it.

Options:
  --register                 register the add-in for the current user (load at start-up)
  --unregister               keep the add-in from loading at start-up
  --screenshot FILE.png      generate the example sheet (A3三栏, one group 选择题 of 30
                             items) through the settings dialog and save the window
  --dialog-screenshot FILE.png
                             save the settings dialog as it opens
  --help                     show this text

The registration record is $XDG_CONFIG_HOME/varelo/addins.json (~/.config/varelo/...).
Screenshots work without a display: QT_QPA_PLATFORM=offscreen is used when none is found.

Examples:
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
        std::cerr << "varelo-desk: " << e.what() << "\n";
        return 1;
    }
    std::cout << record.progId
              << (loadBehavior == varelo::host::kLoadAtStartup
                      ? " registered (loads at start-up) in "
                      : " unregistered (does not load at start-up) in ")
              << file << "\n";
    return 0;
}

bool Save(const QPixmap& pixmap, const char* path) {
    if (pixmap.save(QString::fromLocal8Bit(path), "PNG")) return true;
    std::cerr << "varelo-desk: cannot write " << path << "\n";
    return false;
}

}  // namespace

int main(int argc, char* argv[]) {
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
        std::cerr << "varelo-desk: unknown or incomplete option " << arg << "\n\n" << kUsage;
        return 2;
    }

    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication qapp(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Varelo"));
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
            std::cerr << "varelo-desk: the example sheet was not generated\n";
            return 1;
        }
        QCoreApplication::processEvents();
        return Save(window.grab(), screenshot) ? 0 : 1;
    }

    window.LoadAddIns(varelo::host::AddInsFile());
    window.show();
    if (sheet) window.OpenFile(QString::fromLocal8Bit(sheet));  // a refusal shows its message
    return qapp.exec();
}
