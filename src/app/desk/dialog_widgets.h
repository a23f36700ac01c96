#pragma once

// Building blocks the dialogs share: controls placed at fixed positions, named so tests and
// the desktop's shortcuts can find them.

#include <QRect>
#include <QString>
#include <QWidget>
#include <string>

namespace varelo::desk {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

template <class W>
W* Make(QWidget* parent, const char* name, const QRect& geometry) {
    auto* w = new W(parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

}  // namespace varelo::desk
