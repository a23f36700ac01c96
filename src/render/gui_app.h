#pragma once

class QGuiApplication;

namespace varelo::render {

// The running QGuiApplication, created on first use when the program has none, so that a
// command-line run can draw and export without a window. Without a display (no DISPLAY or
// WAYLAND_DISPLAY) and with QT_QPA_PLATFORM unset, the offscreen platform is used.
// Throws std::runtime_error when a non-GUI QCoreApplication already runs.
QGuiApplication& EnsureGuiApplication();

}  // namespace varelo::render
