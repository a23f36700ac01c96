// The number conversions of dialog texts on arbitrary bytes: no crash, and the results keep
// the promises their callers rely on.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "base/numbers.h"
#include "compose/chinese_numeral.h"
#include "doc/application.h"

namespace {

using namespace varelo;

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Reads a numeral back to its value; empty when it holds anything but numeral characters.
std::optional<unsigned long long> NumeralValue(std::string_view s) {
    static constexpr std::string_view kDigits[] = {"零", "一", "二", "三", "四",
                                                   "五", "六", "七", "八", "九"};
    struct Unit {
        std::string_view text;
        unsigned long long value;
        bool group;
    };
    static constexpr Unit kUnits[] = {{"十", 10, false},          {"百", 100, false},
                                      {"千", 1000, false},        {"万", 10000, true},
                                      {"亿", 100000000ULL, true}, {"兆", 1000000000000ULL, true}};
    unsigned long long total = 0, group = 0, digit = 0;
    while (!s.empty()) {
        bool matched = false;
        for (int d = 0; d < 10 && !matched; ++d)
            if (s.substr(0, kDigits[d].size()) == kDigits[d]) {
                digit = static_cast<unsigned long long>(d);
                s.remove_prefix(kDigits[d].size());
                matched = true;
            }
        for (const Unit& u : kUnits) {
            if (matched || s.substr(0, u.text.size()) != u.text) continue;
            if (u.group) {
                total += (group + digit) * u.value;
                group = 0;
            } else {
                group += digit * u.value;
            }
            digit = 0;
            s.remove_prefix(u.text.size());
            matched = true;
        }
        if (!matched) return std::nullopt;
    }
    return total + group + digit;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

void CheckParsing(std::string_view text) {
    const std::optional<double> value = host::ParseNumber(text);
    const std::optional<int16_t> whole = host::ToInt16(text);
    const double leading = host::LeadingValue(text);
    Check(std::isfinite(leading));
    if (!value) {
        Check(!whole);
        return;
    }
    Check(std::isfinite(*value));
    // The same value as the C library reads from the same characters.
    Check(*value == std::strtod(std::string(text).c_str(), nullptr));
    // A whole number is the text's number rounded (halves to even) when that is in range.
    const double rounded = std::nearbyint(*value);
    if (rounded >= -32768.0 && rounded <= 32767.0) {
        Check(whole && *whole == static_cast<int16_t>(rounded));
    } else {
        Check(!whole);
    }
    // A text that is a number as a whole leads with that same number.
    Check(leading == *value);
}

void CheckNumberText(double value) {
    if (!std::isfinite(value)) return;
    const std::string text = host::NumberToText(value);
    Check(!text.empty() && text.find(' ') == std::string::npos);
    // The text reads back as the number, to fifteen significant digits; only the largest
    // values round up past the double range.
    const std::optional<double> back = host::ParseNumber(text);
    if (!back) {
        Check(std::fabs(value) > 1.79769313486231e308);
        return;
    }
    Check(std::fabs(*back - value) <= 1e-14 * std::fabs(value) + 1e-300);
    const size_t e = text.find('E');
    const std::string_view mantissa = std::string_view(text).substr(0, e);
    if (mantissa.find('.') != std::string_view::npos)
        Check(mantissa.back() != '0' && mantissa.back() != '.');
    // Whole numbers below 10^15 are written as plain digits: 30 -> "30", 15.0 -> "15".
    if (value == std::trunc(value) && std::fabs(value) < 1e15) {
        std::string_view digits = text;
        if (value < 0) {
            Check(!digits.empty() && digits.front() == '-');
            digits.remove_prefix(1);
        }
        Check(IsDigits(digits));
        Check(std::strtod(text.c_str(), nullptr) == value);
    }
}

void CheckNumeral(std::string_view input) {
    host::Application app;
    std::string text(input);
    const std::string result = layout::ToChineseNumeral(text, app);
    if (result.empty()) {
        // Refused: the text stays as it was; a message unless it was blank.
        Check(text == input);
        Check(app.messages.size() == (TrimBlanks(input).empty() ? 0u : 1u));
        if (!app.messages.empty()) Check(app.messages.front() == "无效的数字");
        return;
    }
    Check(app.messages.empty());
    // Accepted: the text is now the plain digits of what was typed.
    Check(IsDigits(text) && (text == "0" || text.front() != '0') && text.size() <= 16);
    std::string_view typed = TrimBlanks(input);
    if (!typed.empty() && typed.front() == '+') typed.remove_prefix(1);
    Check(IsDigits(typed));
    const size_t first = typed.find_first_not_of('0');
    Check(first == std::string_view::npos ? text == "0" : typed.substr(first) == text);
    // The numeral has the same value, at most one 零 in a row and none at the ends.
    const std::optional<unsigned long long> value = NumeralValue(result);
    Check(value && *value == std::strtoull(text.c_str(), nullptr, 10));
    Check(result.find("零零") == std::string::npos);
    if (result != "零") {
        Check(result.rfind("零", 0) != 0);
        Check(result.size() < 3 || result.compare(result.size() - 3, 3, "零") != 0);
    }
    // Normalised text converts to the same numeral, silently.
    std::string again = text;
    Check(layout::ToChineseNumeral(again, app) == result && again == text && app.messages.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    CheckParsing(text);
    CheckNumeral(text);
    if (const std::optional<double> v = host::ParseNumber(text)) CheckNumberText(*v);
    CheckNumberText(host::LeadingValue(text));
    if (size >= sizeof(double)) {
        double raw;
        std::memcpy(&raw, data, sizeof raw);
        CheckNumberText(raw);
    }
    return 0;
}
