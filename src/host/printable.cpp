#include "host/printable.h"

#include <cstdio>

namespace varelo::host {

namespace {

// The length of the UTF-8 sequence at text[i] and its code point; 0 when it is not UTF-8.
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto c = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    char32_t min = 0;
    if (c < 0x80) {
        cp = c;
        return 1;
    } else if ((c & 0xE0) == 0xC0) {
        length = 2, min = 0x80, cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3, min = 0x800, cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4, min = 0x10000, cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + length > text.size()) return 0;
    for (size_t k = 1; k < length; ++k) {
        const auto d = static_cast<unsigned char>(text[i + k]);
        if ((d & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (d & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
    return length;
}

bool Hidden(char32_t cp) {
    return cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F) ||
           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) || cp == 0x200E ||
           cp == 0x200F || cp == 0x061C;
}

std::string Escape(char32_t cp) {
    switch (cp) {
        case '\n':
            return "\\n";
        case '\t':
            return "\\t";
        case '\r':
            return "\\r";
        default:
            break;
    }
    char buffer[16];
    if (cp < 0x80)
        std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(cp));
    else
        std::snprintf(buffer, sizeof buffer, "\\u{%04X}", static_cast<unsigned>(cp));
    return buffer;
}

}  // namespace

std::string Printable(std::string_view text, bool keepNewlines) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(text, i, cp);
        if (length == 0) {
            char byte[8];  // a stray byte
            std::snprintf(byte, sizeof byte, "\\x%02X", static_cast<unsigned char>(text[i]));
            out += byte;
            ++i;
            continue;
        }
        if (Hidden(cp) && !(keepNewlines && cp == '\n'))
            out += Escape(cp);
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::string Quoted(std::string_view name) {
    return "\"" + Printable(name) + "\"";
}

}  // namespace varelo::host
