#include "base/score.h"

#include <cmath>

namespace varelo::host {

namespace {

// What a score may be typed as at most, as the template's points are bounded: no sum of a
// sheet's scores comes near int64's range.
constexpr int64_t kMaxHundredths = int64_t{1000000} * 100;

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::optional<Score> Score::Parse(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    int64_t h = 0;
    size_t at = 0, digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        h = h * 10 + (text[at] - '0') * 100;
        if (h > kMaxHundredths) return std::nullopt;
    }
    if (at < text.size() && text[at] == '.') {
        int64_t scale = 10;
        for (++at; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
            const int digit = text[at] - '0';
            if (scale == 0 && digit != 0) return std::nullopt;  // a third decimal
            h += digit * scale;
            scale /= 10;
        }
    }
    if (at != text.size() || digits == 0 || h > kMaxHundredths) return std::nullopt;
    return Score(h);
}

std::optional<Score> Score::FromDouble(double value) {
    if (!(value >= 0) || value > 1e6) return std::nullopt;
    const double scaled = value * 100;
    const double whole = std::round(scaled);
    // value * 100 is off a whole number by rounding alone for a value typed in hundredths.
    if (std::fabs(scaled - whole) > 1e-6) return std::nullopt;
    return Score(static_cast<int64_t>(whole));
}

std::string Score::Text() const {
    const uint64_t magnitude = h_ < 0 ? 0 - static_cast<uint64_t>(h_) : static_cast<uint64_t>(h_);
    std::string out = (h_ < 0 ? "-" : "") + std::to_string(magnitude / 100);
    const uint64_t cents = magnitude % 100;
    if (cents != 0) {
        out += '.';
        out += static_cast<char>('0' + cents / 10);
        if (cents % 10 != 0) out += static_cast<char>('0' + cents % 10);
    }
    return out;
}

Score Score::Share(int64_t k, int64_t n) const {
    // h_ * k stays far within int64: h_ is at most 10^8 and k an option count.
    const int64_t product = h_ * k;
    int64_t q = product / n;
    if ((product % n != 0) && ((product < 0) != (n < 0))) --q;  // down, not toward zero
    return Score(q);
}

}  // namespace varelo::host
