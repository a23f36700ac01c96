#pragma once

// What the libraries report in English, said in the window's language. The English detail
// still goes to stderr where the window shows a reason of its own.

#include <optional>
#include <string>
#include <vector>

namespace varelo::desk {

// Why a file could not be opened.
std::string ChineseOpenReason(const std::string& reason);

// Why a file could not be written, when the reason is one of the file system's; nothing for
// any other (a sheet that does not match its settings, say).
std::optional<std::string> ChineseWriteReason(const std::string& reason);

// Why no scanner template could be read off a sheet: what the template builder says in English
// (a sheet changed since it was made, settings that no longer fit it, a grid an office program
// moved), in Chinese. Reasons already in Chinese (the settings' own checks) stay as they are.
std::string ChineseTemplateReason(const std::string& reason);

// What a document holds that cannot be kept, as a list joined with "、"; names of elements
// no list covers stay as they are.
std::string ChineseUnmodelled(const std::vector<std::string>& what);

}  // namespace varelo::desk
