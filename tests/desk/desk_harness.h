#pragma once

// Shared set-up for the offscreen window tests: one QApplication, a window whose messages and
// save questions are recorded instead of shown, and a way to act inside a modal dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_window.h"
#include "settings_dialog.h"

namespace desk_harness {

inline QApplication& App() {
    static QApplication* app = [] {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char name[] = "desk-test";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// A window with the add-in connected; messages and save questions are recorded.
struct Desk {
    std::unique_ptr<varelo::desk::MainWindow> window;
    std::vector<std::string> messages;
    std::vector<std::string> askedToSave;
    varelo::host::SaveChoice answer = varelo::host::SaveChoice::DontSave;
    std::vector<std::string> asked;  // yes/no questions
    bool yes = false;

    QTemporaryDir stateDir;  // the window's recent files and last folder, away from the user's

    Desk() {
        App();
        window = std::make_unique<varelo::desk::MainWindow>(
            VARELO_RESOURCES_DIR, stateDir.filePath(QStringLiteral("varelo-desk.ini")));
        auto& app = window->App();
        app.messageSink = [this](const std::string& m) { messages.push_back(m); };
        app.askToSave = [this](varelo::host::Document& d) {
            askedToSave.push_back(d.name);
            return answer;
        };
        app.askToConfirm = [this](const std::string& q) {
            asked.push_back(q);
            return yes;
        };
        window->ConnectAddIn();
        window->show();
    }
    varelo::host::Application& app() { return window->App(); }
    varelo::host::CommandBar& bar() { return app().commandBars.Named("Varelo"); }
    QAction* action(int control) { return window->ActionFor(bar().Control(control)); }
    std::vector<bool> toolsEnabled() {
        std::vector<bool> states;
        for (int i = 2; i <= 6; ++i) states.push_back(action(i)->isEnabled());
        return states;
    }
};

// Runs `act` on the settings dialog once it is shown modally by what follows. If `act` leaves
// the dialog open, it is cancelled, so a failing test cannot hang in the modal loop.
inline void WhenDialogOpens(std::function<void(varelo::desk::SettingsDialog&)> act) {
    auto timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, started, act = std::move(act)] {
        auto* dialog =
            qobject_cast<varelo::desk::SettingsDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (started->elapsed() > 10000) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        const auto run = act;  // the connection holding `act` goes with the timer
        run(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    timer->start(5);
}

// Runs `act` on the modal dialog of type D that what follows opens (a file dialog, a message
// box); a dialog left open is rejected, so a failing test cannot hang.
template <class D>
void WhenModalOpens(std::function<void(D&)> act) {
    auto timer = new QTimer;
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(timer, &QTimer::timeout, [timer, started, act = std::move(act)] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog) {
            if (started->elapsed() > 10000) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        const auto run = act;
        run(*dialog);
        if (dialog->isVisible()) dialog->reject();
    });
    timer->start(5);
}

template <class W>
W* Child(QWidget& parent, const char* name) {
    W* w = parent.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

}  // namespace desk_harness
