#pragma once

// Reading word/document.xml back into a document. Internal to the host library.

#include <pugixml.hpp>

#include "host/document.h"

namespace varelo::host::docx {

// The body's blocks and the section's page setup; throws OpenError on what Varelo
// cannot have written.
void ReadDocumentXml(pugi::xml_node document, Document& doc);

// w:pPr and w:rPr, shared with the styles. Values out of any sensible range are ignored.
void ReadParagraphFormat(pugi::xml_node pPr, ParagraphFormat& f);
CharFormat ReadCharFormat(pugi::xml_node rPr);

}  // namespace varelo::host::docx
