#pragma once

#include <stdexcept>
#include <string>

#include "host/document.h"

namespace varelo::host {

// A save that failed; what() is the reason, fit to show the user.
class SaveError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The document as the bytes of a .docx package.
std::string DocxBytes(const Document& doc);

// Writes the document to path atomically: a temporary file in the same folder, then a
// rename. A failed save throws SaveError and leaves no file behind and any earlier file intact.
void SaveDocx(const Document& doc, const std::string& path);

}  // namespace varelo::host
