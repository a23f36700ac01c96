#pragma once

#include <string>

#include "host/atomic_file.h"
#include "host/document.h"

namespace varelo::host {

// The document as the bytes of a .docx package.
std::string DocxBytes(const Document& doc);

// Writes the document to path with SaveFileAtomically. Throws SaveError.
void SaveDocx(const Document& doc, const std::string& path);

}  // namespace varelo::host
