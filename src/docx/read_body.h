#pragma once

// Reading word/document.xml back into a document. Internal to the host library.

#include <functional>
#include <pugixml.hpp>
#include <string>

#include "doc/document.h"

namespace varelo::host::docx {

class StyleSheet;

// What a body holds that the writer writes at length.
struct BodyExtent {
    long cells = 0;  // slots of its tables, nested ones included: every one is written
    long paragraphs = 0, runs = 0;
    long pictures = 0;
    size_t text = 0;  // bytes in runs and pictures' descriptions
};

// An image part a picture embeds: its bytes and their type, "image/png" or "image/jpeg".
struct ImagePart {
    std::string data;
    const char* contentType;
};
// The image part the main document's relationship id reaches, when it is a PNG or JPEG
// image; null otherwise. Called only for pictures the reader keeps. May throw OpenError.
using ImageLookup = std::function<const ImagePart*(const std::string& relId)>;

// The body's blocks and the section's page setup, formatted through the style sheet;
// what the surface does not model is listed in doc.unmodelled. Returns what the body
// holds. Throws OpenError on a structure that cannot be a document, or one past the
// reader's limits.
BodyExtent ReadDocumentXml(pugi::xml_node document, const StyleSheet& styles, Document& doc,
                           const ImageLookup& images = {});

// w:pPr and w:rPr, shared with the styles. Values out of any sensible range are ignored.
void ReadParagraphFormat(pugi::xml_node pPr, ParagraphFormat& f);
CharFormat ReadCharFormat(pugi::xml_node rPr);

}  // namespace varelo::host::docx
