#pragma once

#include <string>

#include "base/atomic_file.h"
#include "doc/document.h"

namespace varelo::host {

// The document as the bytes of a .docx package.
std::string DocxBytes(const Document& doc);

// Writes the document to path with SaveFileAtomically. Throws SaveError.
void SaveDocx(const Document& doc, const std::string& path);

}  // namespace varelo::host
