#include "host/content.h"

#include "host/table.h"

namespace varelo::host {

void CharFormat::MergeFrom(const CharFormat& other) {
    if (other.font) font = other.font;
    if (other.size) size = other.size;
    if (other.bold) bold = other.bold;
}

std::string Paragraph::Text() const {
    std::string text;
    for (const Run& r : runs) text += r.text;
    return text;
}

bool Paragraph::Empty() const {
    for (const Run& r : runs)
        if (!r.text.empty()) return false;
    return true;
}

void Paragraph::Append(const std::string& text) {
    if (text.empty()) return;
    if (!runs.empty() && runs.back().format == markFormat) {
        runs.back().text += text;
    } else {
        runs.push_back(Run{text, markFormat});
    }
}

void Paragraph::ApplyCharFormat(const CharFormat& format) {
    for (Run& r : runs) r.format.MergeFrom(format);
    markFormat.MergeFrom(format);
}

Block::Block(std::unique_ptr<Table> t) : table(std::move(t)) {}
Block::Block(const Block& other)
    : paragraph(other.paragraph),
      table(other.table ? std::make_unique<Table>(*other.table) : nullptr) {}
Block& Block::operator=(const Block& other) {
    if (this != &other) {
        paragraph = other.paragraph;
        table = other.table ? std::make_unique<Table>(*other.table) : nullptr;
    }
    return *this;
}
Block::~Block() = default;

bool Block::operator==(const Block& other) const {
    if (IsTable() != other.IsTable()) return false;
    if (IsTable()) return *table == *other.table;
    return paragraph == other.paragraph;
}

std::string ContentText(const Content& content) {
    std::string text;
    bool first = true;
    for (const Block& b : content) {
        if (b.IsTable()) continue;
        if (!first) text += '\r';
        text += b.paragraph.Text();
        first = false;
    }
    return text;
}

bool ContentEmpty(const Content& content) {
    for (const Block& b : content)
        if (b.IsTable() || !b.paragraph.Empty()) return false;
    return true;
}

}  // namespace varelo::host
