#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "doc/constants.h"

namespace varelo::host {

class Table;

// Direct character formatting; an unset field comes from the paragraph's style.
struct CharFormat {
    std::optional<std::string> font;
    std::optional<double> size;  // points
    std::optional<bool> bold;

    void MergeFrom(const CharFormat& other);  // fields set in other override
    bool operator==(const CharFormat&) const = default;
};

// A picture standing inline in a paragraph: the image file as the package stores it and the
// size it is shown at. Shared between copies of a document: it never changes once made.
struct InlinePicture {
    std::string data;              // the image file's bytes (PNG or JPEG)
    std::string contentType;       // "image/png" or "image/jpeg"
    double width = 0, height = 0;  // points
    std::string description;       // the alternative text
    bool operator==(const InlinePicture&) const = default;
};

// Where a picture stands in text that is edited as text: U+FFFC, the object replacement
// character.
inline constexpr const char* kPictureMark = "\xEF\xBF\xBC";

struct Run {
    std::string text;
    CharFormat format;
    std::shared_ptr<const InlinePicture>
        picture;  // when set, the run is this picture and has no text

    // Pictures compare by what they hold, not by which copy.
    bool operator==(const Run& other) const {
        return text == other.text && format == other.format &&
               (picture == other.picture ||
                (picture && other.picture && *picture == *other.picture));
    }
};

struct ParagraphFormat {
    Alignment alignment = Alignment::Justify;
    LineSpacingRule lineSpacingRule = LineSpacingRule::Single;
    double lineSpacing = 12;  // points; used by Exactly and AtLeast
    double spaceBefore = 0;
    double spaceAfter = 0;
    bool snapToGrid = true;
    bool operator==(const ParagraphFormat&) const = default;
};

struct Paragraph {
    StyleId style = StyleId::Normal;
    ParagraphFormat format;
    std::vector<Run> runs;
    // Format of the paragraph mark: text typed at the end of the paragraph takes it,
    // so formatting set on an empty cell applies to what is added later.
    CharFormat markFormat;

    std::string Text() const;
    bool Empty() const {
        for (const Run& r : runs)
            if (!r.text.empty() || r.picture) return false;
        return true;
    }
    // Appends text at the end with the mark's format (joins the last run when formats agree).
    void Append(const std::string& text);
    // Sets font fields on every run and on the mark.
    void ApplyCharFormat(const CharFormat& format);
    bool operator==(const Paragraph&) const = default;
};

// One block of a story: a paragraph or a table. Copying deep-copies a table.
struct Block {
    std::unique_ptr<Table> table;  // when set, the block is this table
    Paragraph paragraph;

    Block() = default;
    explicit Block(Paragraph p) : paragraph(std::move(p)) {}
    explicit Block(std::unique_ptr<Table> t);
    Block(const Block& other);
    Block& operator=(const Block& other);
    Block(Block&&) noexcept = default;
    Block& operator=(Block&&) noexcept = default;
    ~Block();

    bool IsTable() const { return table != nullptr; }
    bool operator==(const Block& other) const;
};

// A story: the body of a document or the content of a cell. A story always ends
// with a paragraph, as the word processor keeps one after every table.
// A vector of blocks that keeps its first block in place: a page grid has thousands of
// cells, nearly all one empty paragraph, and a story of one block then allocates nothing.
class Content {
  public:
    using value_type = Block;
    using size_type = size_t;
    using iterator = Block*;
    using const_iterator = const Block*;

    Content() noexcept {}
    explicit Content(size_t blocks) { resize(blocks); }
    Content(std::initializer_list<Block> blocks);
    Content(const Content& other);
    Content(Content&& other) noexcept { TakeFrom(other); }
    Content& operator=(const Content& other);
    Content& operator=(Content&& other) noexcept;
    ~Content() { Release(); }

    Block* begin() { return data(); }
    Block* end() { return data() + size_; }
    const Block* begin() const { return data(); }
    const Block* end() const { return data() + size_; }
    size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    Block& operator[](size_t i) { return data()[i]; }
    const Block& operator[](size_t i) const { return data()[i]; }
    Block& at(size_t i) { return data()[Checked(i)]; }
    const Block& at(size_t i) const { return data()[Checked(i)]; }
    Block& front() { return data()[0]; }
    const Block& front() const { return data()[0]; }
    Block& back() { return data()[size_ - 1]; }
    const Block& back() const { return data()[size_ - 1]; }

    template <typename... Args>
    Block& emplace_back(Args&&... args) {
        if (size_ < capacity_) return *new (data() + size_++) Block(std::forward<Args>(args)...);
        // Built before the blocks move, so that args may name one of them.
        Block block(std::forward<Args>(args)...);
        reserve(capacity_ * 2);
        return *new (data() + size_++) Block(std::move(block));
    }
    void push_back(Block block) { emplace_back(std::move(block)); }
    Block* insert(const Block* at, Block block);
    Block* erase(const Block* at) { return erase(at, at + 1); }
    Block* erase(const Block* first, const Block* last);
    void resize(size_t blocks);
    void clear() { resize(0); }
    void reserve(size_t blocks) {
        if (blocks > capacity_) MoveToHeap(blocks);
    }

    bool operator==(const Content& other) const;

  private:
    Block* data() { return heap_ ? heap_ : &first_; }
    const Block* data() const { return heap_ ? heap_ : &first_; }
    size_t Checked(size_t i) const;
    // Moves the blocks to fresh heap storage for that many.
    void MoveToHeap(size_t capacity);
    // Moves other's blocks into this empty story and leaves other empty.
    void TakeFrom(Content& other) noexcept;
    // Destroys the blocks and frees their storage.
    void Release() noexcept;

    Block* heap_ = nullptr;  // the blocks, once more than one was ever held
    // 32 bits each: a cell of a grid is then three cache lines.
    uint32_t size_ = 0, capacity_ = 1;
    union {
        Block first_;
    };
};

// Text of a story with paragraphs separated by "\r" (nested tables contribute nothing).
std::string ContentText(const Content& content);
bool ContentEmpty(const Content& content);

}  // namespace varelo::host
