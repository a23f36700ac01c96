#include "compose/chinese_numeral.h"

#include <array>
#include <optional>
#include <string_view>

namespace varelo::layout {

namespace {

// The numeral of each digit.
constexpr std::array<std::string_view, 10> kDigits = {"零", "一", "二", "三", "四",
                                                      "五", "六", "七", "八", "九"};
// The unit of the digit at position p from the right (index p - 1), for sixteen positions;
// the lowest position of every group of four has none.
constexpr std::array<std::string_view, 16> kPositionUnits = {
    "", "十", "百", "千", "", "十", "百", "千", "", "十", "百", "千", "", "十", "百", "千"};
// The unit closing the group of four whose lowest digit is at position p (index p / 4).
constexpr std::array<std::string_view, 4> kGroupUnits = {"", "万", "亿", "兆"};

constexpr size_t kMaxDigits = kPositionUnits.size();

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The plain digits of the number the text holds, or nothing when the text is not one we
// accept or has more digits than the tables cover.
std::optional<std::string> Normalise(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    if (s.empty()) return std::nullopt;
    for (char c : s)
        if (!IsDigit(c)) return std::nullopt;
    const size_t first = s.find_first_not_of('0');
    if (first == std::string_view::npos) return "0";
    s.remove_prefix(first);
    if (s.size() > kMaxDigits) return std::nullopt;
    return std::string(s);
}

}  // namespace

std::string ToChineseNumeral(std::string& text, host::Application& app) {
    const std::optional<std::string> digits = Normalise(text);
    if (!digits) {
        if (!TrimBlanks(text).empty()) app.ShowMessage("无效的数字");
        return "";
    }
    text = *digits;

    const std::string& d = *digits;
    const size_t n = d.size();
    std::string result;
    for (size_t i = 0; i < n; ++i) {
        const size_t p = n - i;  // position from the right, 1 for the units digit
        const bool groupEnd = p % 4 == 1;
        std::string c;
        if (d[i] != '0' || n == 1) {
            c = kDigits[static_cast<size_t>(d[i] - '0')];
            c += kPositionUnits[p - 1];
        } else if (i + 1 < n && d[i + 1] != '0' && !groupEnd) {
            // A run of zeros inside a group reads as one 零 before the next non-zero digit.
            c = kDigits[0];
        }
        // An all-zero group of four writes no group unit.
        if (groupEnd && !(i >= 3 && d.compare(i - 3, 4, "0000") == 0)) c += kGroupUnits[p / 4];
        result += c;
    }
    return result;
}

}  // namespace varelo::layout
