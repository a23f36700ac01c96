#pragma once

#include <cstddef>
#include <string_view>

namespace varelo::host {

// The length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the bytes
// there are not UTF-8 (overlong forms, surrogates and values past U+10FFFF included).
size_t DecodeUtf8(std::string_view text, size_t i, char32_t& cp);

bool IsValidUtf8(std::string_view text);

}  // namespace varelo::host
