#pragma once

#include <string>
#include <string_view>

#include "base/utf8.h"

namespace varelo::host {

// Whether XML 1.0 can carry the character.
inline bool XmlAllows(char32_t c) {
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) ||
           (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF);
}

// Hands the text to emit in pieces XML can carry: runs of plain ASCII as they are (code point
// 0), every other character on its own with its code point; characters XML forbids and
// malformed bytes are dropped. Inline, as the .docx writer passes every text through it.
template <typename Emit>
void FilterXmlText(std::string_view s, Emit&& emit) {
    size_t i = 0;
    const size_t n = s.size();
    while (i < n) {
        // Plain ASCII passes in stretches, which is nearly all of a sheet.
        size_t j = i;
        while (j < n) {
            const auto b = static_cast<unsigned char>(s[j]);
            if (b >= 0x80 || b < 0x20 || b == '&' || b == '<' || b == '>' || b == '"') break;
            ++j;
        }
        if (j > i) emit(s.substr(i, j - i), U'\0');
        if (j == n) break;
        char32_t cp;
        const size_t len = DecodeUtf8(s, j, cp);
        if (len == 0) {
            i = j + 1;  // drop one malformed byte and resynchronise
            continue;
        }
        if (XmlAllows(cp)) emit(s.substr(j, len), cp);
        i = j + len;
    }
}

// Text as XML 1.0 can carry it: characters XML forbids and malformed UTF-8 dropped. For
// text handed to an XML writer that escapes markup but keeps everything else.
std::string XmlSafeText(std::string_view text);

}  // namespace varelo::host
