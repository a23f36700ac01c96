// The bubble font carried inside the package, obfuscated as WordprocessingML embeds fonts:
// the first 32 bytes XOR-ed with the font key, a GUID whose bytes are taken in reverse.

#include <cstdint>
#include <string>
#include <string_view>

#include "doc/block_hx_font.h"
#include "doc/table.h"
#include "docx/parts.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"

namespace varelo::host::docx {

namespace {

constexpr size_t kObfuscatedBytes = 32;

uint64_t Fnv1a(std::string_view bytes, uint64_t basis) {
    uint64_t h = basis;
    for (const char c : bytes) {
        h ^= static_cast<unsigned char>(c);
        h *= 0x100000001b3ULL;
    }
    return h;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Whether a story names the font, directly or in a nested table. Only anchor cells count:
// they are all the writer puts in the file.
class FontSearch {
  public:
    explicit FontSearch(std::string_view name) : name_(name) {}

    bool In(const Content& content) {
        for (const Block& b : content) {
            if (b.IsTable() ? In(*b.table) : In(b.paragraph)) return true;
        }
        return false;
    }

    bool Names(const std::string& font) {
        // Fonts repeat from cell to cell: the cleaned name is worked out once per spelling.
        if (font != lastRaw_) {
            lastRaw_ = font;
            lastMatch_ = font == name_ || CleanFontName(font) == name_;
        }
        return lastMatch_;
    }

  private:
    bool In(const Paragraph& p) {
        if (p.markFormat.font && Names(*p.markFormat.font)) return true;
        for (const Run& r : p.runs)
            if (r.format.font && Names(*r.format.font)) return true;
        return false;
    }

    bool In(const Table& t) {
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c)
                if (t.IsAnchor(r, c) && In(t.At(r, c).content)) return true;
        return false;
    }

    std::string_view name_;
    std::string lastRaw_;
    bool lastMatch_ = false;
};

}  // namespace

std::string FontKey(std::string_view font) {
    // Derived from the font, so equal documents give equal files. FNV-1a is no cryptographic
    // hash, but the key only has to be stable: the obfuscation protects nothing.
    const uint64_t high = Fnv1a(font, 0xcbf29ce484222325ULL);
    const uint64_t low = Fnv1a(font, high ^ 0x9e3779b97f4a7c15ULL);
    unsigned char bytes[16];
    for (int i = 0; i < 8; ++i) {
        bytes[i] = static_cast<unsigned char>(high >> (56 - 8 * i));
        bytes[8 + i] = static_cast<unsigned char>(low >> (56 - 8 * i));
    }
    // Marked as a well-formed GUID: version 8 (custom), the RFC variant.
    bytes[6] = static_cast<unsigned char>(0x80 | (bytes[6] & 0x0F));
    bytes[8] = static_cast<unsigned char>(0x80 | (bytes[8] & 0x3F));

    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string key = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) key += '-';
        key += kHex[bytes[i] >> 4];
        key += kHex[bytes[i] & 0x0F];
    }
    return key + "}";
}

std::string ObfuscateFont(std::string_view font, std::string_view fontKey) {
    unsigned char guid[16];
    int digits = 0;
    for (const char c : fontKey) {
        if (c == '{' || c == '}' || c == '-') continue;
        const int v = HexValue(c);
        if (v < 0 || digits >= 32) throw SaveError("Cannot embed a font: its key is malformed.");
        guid[digits / 2] = static_cast<unsigned char>(digits % 2 ? guid[digits / 2] | v : v << 4);
        ++digits;
    }
    if (digits != 32) throw SaveError("Cannot embed a font: its key is malformed.");

    std::string out(font);
    for (size_t i = 0; i < kObfuscatedBytes && i < out.size(); ++i)
        out[i] = static_cast<char>(static_cast<unsigned char>(out[i]) ^ guid[15 - i % 16]);
    return out;
}

bool UsesFont(const Document& doc, std::string_view name) {
    FontSearch search(name);
    for (StyleId id : {StyleId::Normal, StyleId::Heading1, StyleId::Heading2})
        if (search.Names(doc.GetStyle(id).font)) return true;
    return search.In(doc.body);
}

const EmbeddedFont& BubbleFont() {
    // The same bytes go into every sheet: obfuscated and deflated once, at the tightest level
    // since it costs nothing after the first sheet.
    static const EmbeddedFont font = [] {
        EmbeddedFont f;
        f.name = kFontBubble;
        f.fontKey = FontKey(BlockHxFontBytes());
        f.part = DeflatePart(ObfuscateFont(BlockHxFontBytes(), f.fontKey), 9);
        return f;
    }();
    return font;
}

const EmbeddedFont* FontToEmbed(const Document& doc) {
    return doc.embedTrueTypeFonts && UsesFont(doc, kFontBubble) ? &BubbleFont() : nullptr;
}

}  // namespace varelo::host::docx
