#pragma once

#include <string>

namespace varelo::host {

// What stands at path when it is something no command reads as a file: "a pipe (FIFO)", "a
// socket", "a device" or "a symlink loop"; empty for a file, a folder, or nothing at all.
// Found with stat, never by opening: opening a FIFO waits for a writer, and a device may feed
// the reader without end.
std::string SpecialFileKind(const std::string& path);

}  // namespace varelo::host
