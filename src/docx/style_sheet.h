#pragma once

// The formatting styles.xml gives, resolved as the markup defines it: the document defaults
// under each style, each style over the one it is based on. Internal to the host library.

#include <map>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

#include "doc/document.h"

namespace varelo::host::docx {

// A paragraph style's whole effect: paragraph format and character format (font, size and
// bold always set), and which of the document's own styles it is, if any. A style based on
// Normal also keeps the character format the styles after Normal add.
struct ParagraphStyle {
    ParagraphFormat paragraph;
    CharFormat chars;
    std::optional<StyleId> own;
    bool overNormal = false;
    CharFormat added;
};

// A table style's cell margins (points, unset when it says none) and borders, by side:
// top, left, bottom, right, insideH, insideV.
struct TableStyle {
    std::optional<double> margins[4];
    pugi::xml_node borders[6];
};

class StyleSheet {
  public:
    // With no styles part, everything is the markup's documented default.
    explicit StyleSheet(pugi::xml_node styles = {});

    // The style of a paragraph whose w:pStyle names id; an unknown or empty id is the
    // default paragraph style.
    const ParagraphStyle& Paragraph(std::string_view id) const;
    // A character style's formatting; empty for an unknown id.
    CharFormat Character(std::string_view id) const;
    // A table's style; an unknown or empty id is the default table style.
    TableStyle Table(std::string_view id) const;

    // The document's own styles (Normal, heading 1, heading 2) as this sheet defines them.
    void ApplyTo(Document& doc) const;

  private:
    const ParagraphStyle& ResolveParagraph(const std::string& id, int depth) const;
    CharFormat ResolveCharacter(const std::string& id, int depth) const;
    void ResolveTable(const std::string& id, int depth, TableStyle& out) const;

    std::map<std::string, pugi::xml_node, std::less<>> paragraph_, character_, table_;
    std::string defaultParagraph_, defaultTable_;
    ParagraphStyle base_;          // the document defaults
    CharFormat unnamedCharacter_;  // what Character("") gives: a style without an id, if any
    mutable std::map<std::string, ParagraphStyle, std::less<>> resolved_;
    // Neighbouring paragraphs nearly always name the same style.
    mutable std::string lastId_;
    mutable const ParagraphStyle* last_ = nullptr;
};

// Borders and margins of a w:tblPr over a table style's.
void ReadTableStyle(pugi::xml_node tblPr, TableStyle& style);

}  // namespace varelo::host::docx
