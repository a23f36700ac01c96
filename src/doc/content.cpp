#include "doc/content.h"

#include <algorithm>
#include <stdexcept>

#include "doc/table.h"

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

void Paragraph::Append(const std::string& text) {
    if (text.empty()) return;
    if (!runs.empty() && !runs.back().picture && runs.back().format == markFormat) {
        runs.back().text += text;
    } else {
        runs.push_back(Run{text, markFormat, nullptr});
    }
}

void Paragraph::ApplyCharFormat(const CharFormat& format) {
    for (Run& r : runs) r.format.MergeFrom(format);
    markFormat.MergeFrom(format);
}

Block::Block(std::unique_ptr<Table> t) : table(std::move(t)) {}
Block::Block(const Block& other)
    : table(other.table ? std::make_unique<Table>(*other.table) : nullptr),
      paragraph(other.paragraph) {}
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

Content::Content(std::initializer_list<Block> blocks) {
    reserve(blocks.size());
    for (const Block& b : blocks) emplace_back(b);
}

Content::Content(const Content& other) {
    reserve(other.size_);
    for (const Block& b : other) emplace_back(b);
}

Content& Content::operator=(const Content& other) {
    if (this != &other) *this = Content(other);
    return *this;
}

Content& Content::operator=(Content&& other) noexcept {
    if (this != &other) {
        // The old blocks go only after other's are taken: other may live inside one of them.
        Content old(std::move(*this));
        TakeFrom(other);
    }
    return *this;
}

void Content::TakeFrom(Content& other) noexcept {
    if (other.heap_) {
        heap_ = std::exchange(other.heap_, nullptr);
        capacity_ = std::exchange(other.capacity_, 1);
    } else if (other.size_ == 1) {
        new (&first_) Block(std::move(other.first_));
        other.first_.~Block();
    }
    size_ = std::exchange(other.size_, 0);
}

void Content::Release() noexcept {
    for (Block& b : *this) b.~Block();
    if (heap_) ::operator delete(heap_);
    heap_ = nullptr;
    size_ = 0;
    capacity_ = 1;
}

size_t Content::Checked(size_t i) const {
    if (i >= size_) throw std::out_of_range("no such block in the story");
    return i;
}

void Content::MoveToHeap(size_t capacity) {
    Block* fresh = static_cast<Block*>(::operator new(capacity * sizeof(Block)));
    for (size_t i = 0; i < size_; ++i) {
        new (fresh + i) Block(std::move(data()[i]));
        data()[i].~Block();
    }
    if (heap_) ::operator delete(heap_);
    heap_ = fresh;
    capacity_ = static_cast<uint32_t>(capacity);
}

void Content::resize(size_t blocks) {
    while (size_ > blocks) data()[--size_].~Block();
    reserve(blocks);
    while (size_ < blocks) emplace_back();
}

Block* Content::insert(const Block* at, Block block) {
    const size_t i = static_cast<size_t>(at - begin());
    emplace_back(std::move(block));
    std::rotate(begin() + i, end() - 1, end());
    return begin() + i;
}

Block* Content::erase(const Block* first, const Block* last) {
    Block* const from = begin() + (first - begin());
    Block* const tail = std::move(from + (last - first), end(), from);
    resize(static_cast<size_t>(tail - begin()));
    return from;
}

bool Content::operator==(const Content& other) const {
    return std::equal(begin(), end(), other.begin(), other.end());
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
