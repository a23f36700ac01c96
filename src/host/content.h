#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/constants.h"

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

struct Run {
    std::string text;
    CharFormat format;
    bool operator==(const Run&) const = default;
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
    bool Empty() const;
    // Appends text at the end with the mark's format (joins the last run when formats agree).
    void Append(const std::string& text);
    // Sets font fields on every run and on the mark.
    void ApplyCharFormat(const CharFormat& format);
    bool operator==(const Paragraph&) const = default;
};

// One block of a story: a paragraph or a table. Copying deep-copies a table.
struct Block {
    Paragraph paragraph;
    std::unique_ptr<Table> table;  // when set, the block is this table

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
using Content = std::vector<Block>;

// Text of a story with paragraphs separated by "\r" (nested tables contribute nothing).
std::string ContentText(const Content& content);
bool ContentEmpty(const Content& content);

}  // namespace varelo::host
