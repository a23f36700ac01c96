#include "render/gui_app.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace varelo::render {

QGuiApplication& EnsureGuiApplication() {
    if (auto* running = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return *running;
    if (QCoreApplication::instance())
        throw std::runtime_error("a non-graphical application object is already running");
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Without a session (a server, CI, a cron job) Qt complains on every run that it has no
    // runtime folder; give it a private one of its own.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string folder = "/tmp/varelo-runtime-" + std::to_string(getuid());
        struct stat st {};
        if (mkdir(folder.c_str(), 0700) == 0 ||
            (lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == getuid() &&
             (st.st_mode & 0077) == 0))
            setenv("XDG_RUNTIME_DIR", folder.c_str(), 0);
    }
    static int argc = 1;
    static char name[] = "varelo";
    static char* argv[] = {name, nullptr};
    // Never destroyed: it must outlive every font and paint device, including static ones.
    return *new QGuiApplication(argc, argv);
}

}  // namespace varelo::render
