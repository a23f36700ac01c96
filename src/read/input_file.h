#pragma once

#include <string>

namespace varelo::read {

// The text of a template or key file; what names it in messages ("the template"). Throws
// ReadError for a file that cannot be read, a folder, or one past 64 MB: a sheet's template is
// under 100 KB, and a device or a pipe could feed the reader without end.
std::string ReadInputFile(const std::string& path, const std::string& what);

}  // namespace varelo::read
