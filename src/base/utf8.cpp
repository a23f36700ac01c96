#include "base/utf8.h"

namespace varelo::host {

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

bool IsValidUtf8(std::string_view text) {
    char32_t cp = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = DecodeUtf8(text, i, cp);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

}  // namespace varelo::host
