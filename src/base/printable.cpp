#include "base/printable.h"

#include <cstdio>

#include "base/utf8.h"

namespace varelo::host {

namespace {

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

std::string Shortened(std::string_view text, size_t most) {
    size_t i = 0;
    for (size_t n = 0; n < most && i < text.size(); ++n) {
        char32_t cp = 0;
        const size_t length = DecodeUtf8(text, i, cp);
        i += length == 0 ? 1 : length;
    }
    if (i >= text.size()) return std::string(text);
    return std::string(text.substr(0, i)) + "...";
}

std::string SpreadsheetText(std::string_view cell) {
    if (!cell.empty() && std::string_view("=+-@\t\r").find(cell.front()) != std::string_view::npos)
        return "'" + std::string(cell);
    return std::string(cell);
}

}  // namespace varelo::host
