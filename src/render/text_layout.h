#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "doc/content.h"
#include "doc/document.h"
#include "render/fonts.h"

class QPainter;

namespace varelo::render {

// Text of one font and size on a line, or one picture standing on the baseline.
struct TextPiece {
    QString text;
    const FontFace* face = nullptr;
    double size = 0;  // points
    double x = 0;     // from the start of the line, alignment included
    double width = 0;
    std::shared_ptr<const host::InlinePicture> picture;  // when set, the piece is this picture
};

struct TextLine {
    std::vector<TextPiece> pieces;
    double width = 0;      // of the text, blanks at the end excluded
    double height = 0;     // line pitch
    double baseline = 0;   // from the top of the line
    bool clipped = false;  // an exact line: a picture taller than it shows only within it
};

struct ParagraphLayout {
    std::vector<TextLine> lines;
    double spaceBefore = 0, spaceAfter = 0;
    bool visible = false;  // holds something that draws ink

    double Height() const;
};

// Breaks a paragraph into lines of at most width points (a single unbreakable character
// may exceed it). CR, LF, CR LF and vertical tab end a line. Exact line spacing gives every
// line that pitch; single, 1.5, double and multiple scale the fonts' natural line height.
ParagraphLayout LayoutParagraph(const host::Document& doc, const host::Paragraph& p, double width);

// The least exact line pitch, in whole half points, that holds the glyph boxes of every font
// in the paragraph with the baseline four fifths of the way down.
double ExactPitchToHold(const host::Document& doc, const host::Paragraph& p);

// Draws the paragraph with its top-left corner at (x, y), in points.
void DrawParagraph(QPainter& painter, const ParagraphLayout& layout, double x, double y);
// Draws one line with its top-left corner at (x, top).
void DrawLine(QPainter& painter, const TextLine& line, double x, double top);

}  // namespace varelo::render
