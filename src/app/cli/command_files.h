#pragma once

#include <optional>
#include <string>

#include "options.h"

namespace varelo::cli {

// The files generate and edit read and write, checked before anything is written: an output
// that is the same file as an input or as another output is refused, so no command replaces
// what it reads or writes twice. The one exception is edit's -o, which may be IN.docx itself
// (the save is atomic). Returns the message for the first clash.
std::optional<std::string> FindClash(const GenerateOptions& o);
std::optional<std::string> FindClash(const EditOptions& o);

// Creates the missing folders an output is to go into (its parent folders). Throws
// host::SaveError naming the file and the folder.
void MakeFolderFor(const std::string& path);

}  // namespace varelo::cli
