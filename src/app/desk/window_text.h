#pragma once

#include <QString>
#include <string>

#include "doc/document.h"

// Shared by the window's parts (main_window*.cpp).
namespace varelo::desk {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A sheet made by the settings dialog starts with its page grid.
inline bool StartsWithTable(const host::Document& doc) {
    return !doc.body.empty() && doc.body.front().IsTable();
}

}  // namespace varelo::desk
