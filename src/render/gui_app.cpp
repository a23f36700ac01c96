#include "render/gui_app.h"

#include <QGuiApplication>
#include <cstdlib>
#include <stdexcept>

namespace varelo::render {

QGuiApplication& EnsureGuiApplication() {
    if (auto* running = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return *running;
    if (QCoreApplication::instance())
        throw std::runtime_error("a non-graphical application object is already running");
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY"))
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    static int argc = 1;
    static char name[] = "varelo";
    static char* argv[] = {name, nullptr};
    // Never destroyed: it must outlive every font and paint device, including static ones.
    return *new QGuiApplication(argc, argv);
}

}  // namespace varelo::render
