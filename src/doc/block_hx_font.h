#pragma once

#include <cstddef>
#include <string_view>

namespace varelo::host {

// The TrueType bytes of the bubble font "Block HX", built from fonts/block_hx.py.
extern const unsigned char kBlockHxFont[];
extern const std::size_t kBlockHxFontSize;

inline std::string_view BlockHxFontBytes() {
    return {reinterpret_cast<const char*>(kBlockHxFont), kBlockHxFontSize};
}

}  // namespace varelo::host
