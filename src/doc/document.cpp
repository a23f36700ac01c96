#include "doc/document.h"

#include "doc/errors.h"

namespace varelo::host {

namespace {
Style MakeStyle(const char* name, const char* font, double size, bool bold, double before,
                double after, LineSpacingRule rule, double spacing) {
    Style s;
    s.name = name;
    s.font = font;
    s.size = size;
    s.bold = bold;
    s.paragraph.alignment = Alignment::Justify;
    s.paragraph.spaceBefore = before;
    s.paragraph.spaceAfter = after;
    s.paragraph.lineSpacingRule = rule;
    s.paragraph.lineSpacing = spacing;
    return s;
}
}  // namespace

Document::Document() : body{Block{}} {
    // The word processor's stock styles for a Chinese document.
    styles_[0] = MakeStyle("Normal", kFontSong, 10.5, false, 0, 0, LineSpacingRule::Single, 12);
    styles_[1] =
        MakeStyle("heading 1", kFontSong, 22, true, 17, 16.5, LineSpacingRule::Multiple, 28.9);
    styles_[2] =
        MakeStyle("heading 2", kFontHei, 16, true, 13, 13, LineSpacingRule::Multiple, 20.8);
}

Style& Document::GetStyle(StyleId id) {
    switch (id) {
        case StyleId::Normal:
            return styles_[0];
        case StyleId::Heading1:
            return styles_[1];
        case StyleId::Heading2:
            return styles_[2];
    }
    throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
}
const Style& Document::GetStyle(StyleId id) const {
    return const_cast<Document*>(this)->GetStyle(id);
}

Table& Document::AddTableAtStart(int rows, int columns, TableBehavior behavior, const Cell& blank) {
    body.insert(body.begin(), Block{std::make_unique<Table>(rows, columns, behavior, blank)});
    saved = false;
    return *body.front().table;
}

int Document::TableCount() const {
    int n = 0;
    for (const Block& b : body) n += b.IsTable() ? 1 : 0;
    return n;
}

Table& Document::Tables(int index) {
    int n = 0;
    for (Block& b : body)
        if (b.IsTable() && ++n == index) return *b.table;
    throw HostError(kErrNoSuchMember, "The requested member of the collection does not exist.");
}
const Table& Document::Tables(int index) const {
    return const_cast<Document*>(this)->Tables(index);
}

CharFormat Document::Resolve(const Paragraph& p, const CharFormat& direct) const {
    const Style& s = GetStyle(p.style);
    CharFormat f{s.font, s.size, s.bold};
    f.MergeFrom(direct);
    return f;
}

void ApplyStyle(const Document& doc, Paragraph& p, StyleId id) {
    p.style = id;
    p.format = doc.GetStyle(id).paragraph;
    for (Run& r : p.runs) r.format = {};
    p.markFormat = {};
}

}  // namespace varelo::host
