#pragma once

#include <string>

namespace varelo::read {

// The text of a template or key file; what names it in messages ("the template"). Throws
// ReadError for a file that cannot be read, a folder, a pipe, a socket or a device (refused
// unopened), or a file past 64 MB: a sheet's template is under 100 KB.
std::string ReadInputFile(const std::string& path, const std::string& what);

}  // namespace varelo::read
