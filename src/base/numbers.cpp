#include "base/numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace varelo::host {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Scans sign, digits, fraction and exponent from text[i]; returns the characters scanned
// into out (without blanks when skipBlanks). Returns whether any digit was seen.
bool ScanNumber(std::string_view text, size_t& i, std::string& out, bool skipBlanks) {
    const auto skip = [&] {
        while (skipBlanks && i < text.size() &&
               (IsBlank(text[i]) || text[i] == '\n' || text[i] == '\r'))
            ++i;
    };
    skip();
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) out += text[i++];
    bool digits = false;
    skip();
    while (i < text.size() && IsDigit(text[i])) {
        out += text[i++];
        digits = true;
        skip();
    }
    if (i < text.size() && text[i] == '.') {
        out += text[i++];
        skip();
        while (i < text.size() && IsDigit(text[i])) {
            out += text[i++];
            digits = true;
            skip();
        }
    }
    if (digits && i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t j = i + 1;
        std::string exp = "e";
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) exp += text[j++];
        if (j < text.size() && IsDigit(text[j])) {
            // Leading zeros would use up the digits kept and change the exponent's value.
            while (j + 1 < text.size() && text[j] == '0' && IsDigit(text[j + 1])) ++j;
            while (j < text.size() && IsDigit(text[j]) && exp.size() < 8) exp += text[j++];
            while (j < text.size() && IsDigit(text[j])) ++j;  // absurd exponents saturate below
            out += exp;
            i = j;
        }
    }
    return digits;
}

double ToDouble(const std::string& s) {
    errno = 0;
    const double v = std::strtod(s.c_str(), nullptr);
    return v;
}
}  // namespace

std::optional<double> ParseNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    std::string number;
    if (!ScanNumber(text, i, number, false)) return std::nullopt;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i != text.size()) return std::nullopt;
    const double v = ToDouble(number);
    if (!std::isfinite(v)) return std::nullopt;
    return v;
}

std::optional<int16_t> ToInt16(std::string_view text) {
    const std::optional<double> v = ParseNumber(text);
    if (!v) return std::nullopt;
    const double r = std::nearbyint(*v);  // default rounding mode: halves to even
    if (r < -32768.0 || r > 32767.0) return std::nullopt;
    return static_cast<int16_t>(r);
}

double LeadingValue(std::string_view text) {
    size_t i = 0;
    std::string number;
    if (!ScanNumber(text, i, number, true)) return 0;
    const double v = ToDouble(number);
    return std::isfinite(v) ? v : 0;
}

std::string NumberToText(double value) {
    if (value == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15G", value);
    std::string s = buf;
    const size_t e = s.find('E');
    std::string mantissa = e == std::string::npos ? s : s.substr(0, e);
    std::string exponent = e == std::string::npos ? "" : s.substr(e);
    if (mantissa.find('.') != std::string::npos) {
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        if (!mantissa.empty() && mantissa.back() == '.') mantissa.pop_back();
    }
    if (!exponent.empty()) {
        // "E+015" style is not the host's: keep sign and at least two digits.
        const char sign = exponent[1];
        std::string digits = exponent.substr(2);
        while (digits.size() > 2 && digits.front() == '0') digits.erase(0, 1);
        exponent = std::string("E") + sign + digits;
    }
    return mantissa + exponent;
}

}  // namespace varelo::host
