#pragma once

#include <array>
#include <string>
#include <vector>

#include "doc/constants.h"
#include "doc/content.h"
#include "doc/table.h"

namespace varelo::host {

// Page setup, lengths in points.
struct PageSetup {
    Orientation orientation = Orientation::Portrait;
    double pageWidth = 595.3;   // 21 cm
    double pageHeight = 841.9;  // 29.7 cm
    double topMargin = 72, bottomMargin = 72, leftMargin = 90, rightMargin = 90;
    double gutter = 0;
    int gutterPos = kGutterPosLeft;
    int paperSize = kPaperA4;
    int layoutMode = kLayoutModeDefault;
    int linesPage = 44;
    int sectionStart = kSectionNewPage;
    bool differentFirstPageHeaderFooter = false;
    double headerDistance = 42.55, footerDistance = 49.6;
    int verticalAlignment = kAlignVerticalTop;
    int textColumns = 1;

    // Page width less margins and gutter: what a table's percentage width refers to.
    double TextWidth() const { return pageWidth - leftMargin - rightMargin - gutter; }
    double TextHeight() const { return pageHeight - topMargin - bottomMargin; }
    bool operator==(const PageSetup&) const = default;
};

struct Style {
    std::string name;  // as written in styles.xml: "Normal", "heading 1", "heading 2"
    std::string font;
    double size = 10.5;
    bool bold = false;
    ParagraphFormat paragraph;
    bool operator==(const Style&) const = default;
};

// A custom XML data part (customXml/itemN.xml): data a program keeps inside the document,
// such as the sheet's settings. The host carries it unchanged; its properties part declares
// the item id and the schema namespace.
struct CustomXmlPart {
    std::string xml;        // the part's bytes
    std::string itemId;     // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
    std::string schemaUri;  // empty when none is declared
    bool operator==(const CustomXmlPart&) const = default;
};

// A package part the surface does not interpret (document properties, a theme, ...),
// kept byte for byte with the relationship that reaches it from the package ("") or from
// the main document ("word/document.xml").
struct CarriedPart {
    std::string name;  // without a leading '/'
    std::string contentType;
    std::string data;
    std::string source;
    std::string relationshipType;
    bool operator==(const CarriedPart&) const = default;
};

class Document {
  public:
    Document();

    PageSetup pageSetup;
    bool embedTrueTypeFonts = false;
    bool doNotEmbedSystemFonts = true;
    bool saved = true;  // false once changed after the last save
    std::string path;   // where it was last saved or opened from; empty for a new document
    std::string name;   // "文档1", ...

    Style& GetStyle(StyleId id);
    const Style& GetStyle(StyleId id) const;

    // The body story: tables and paragraphs; always ends with a paragraph.
    Content body;

    // Custom XML data parts, in package order.
    std::vector<CustomXmlPart> customXml;

    // Parts of an opened file that are carried through a save untouched.
    std::vector<CarriedPart> carriedParts;

    // What an opened file holds that the surface does not model ("pictures or text boxes",
    // "headers and footers", ...), in order of first appearance. A document with any is
    // read-only: saving it would lose them.
    std::vector<std::string> unmodelled;
    bool ReadOnly() const { return !unmodelled.empty(); }

    // Tables.Add at the very start of the document; returns the new table.
    // Every cell of the new table starts as a copy of blank.
    Table& AddTableAtStart(int rows, int columns, TableBehavior behavior = TableBehavior::Word8,
                           const Cell& blank = Cell{});
    // Tables(i), 1-based, over the body's top-level tables. Throws HostError when missing.
    Table& Tables(int index);
    const Table& Tables(int index) const;
    int TableCount() const;

    // Resolved character format of a run in a paragraph: direct format over the style.
    CharFormat Resolve(const Paragraph& p, const CharFormat& direct) const;

    bool operator==(const Document& o) const {
        return pageSetup == o.pageSetup && embedTrueTypeFonts == o.embedTrueTypeFonts &&
               doNotEmbedSystemFonts == o.doNotEmbedSystemFonts && styles_ == o.styles_ &&
               body == o.body && customXml == o.customXml && carriedParts == o.carriedParts;
    }

  private:
    std::array<Style, 3> styles_;
};

// Applying a paragraph style: the paragraph takes the style's paragraph format and drops
// its direct character formatting, as the word processor does for a whole paragraph.
void ApplyStyle(const Document& doc, Paragraph& p, StyleId id);

}  // namespace varelo::host
