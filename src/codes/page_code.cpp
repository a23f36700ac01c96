#include "codes/page_code.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <random>
#include <vector>

namespace varelo::codes {

namespace {

constexpr std::string_view kMagic = "VRL1";
// Beyond any real print run, and short enough to stay within the code's size.
constexpr long kMaxSerial = 99'999'999;
constexpr size_t kMaxCandidateDigits = 20;

bool AllDigits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Splits at '|'.
std::vector<std::string_view> Fields(std::string_view s) {
    std::vector<std::string_view> out;
    size_t start = 0;
    for (;;) {
        size_t bar = s.find('|', start);
        out.push_back(s.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) return out;
        start = bar + 1;
    }
}

std::optional<long> NumberOf(std::string_view digits, long max) {
    if (!AllDigits(digits) || digits.size() > 9) return std::nullopt;
    long value = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (value < 1 || value > max) return std::nullopt;
    return value;
}

}  // namespace

std::string PageCodePayload(const PageCode& code) {
    std::string out(kMagic);
    out += '|';
    for (char c : code.examId)
        out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    out += '|';
    out += std::to_string(code.page);
    if (code.serial) out += "|S" + std::to_string(*code.serial);
    if (!code.candidate.empty()) out += "|C" + code.candidate;
    return out;
}

std::optional<PageCode> ParsePageCode(std::string_view payload) {
    std::vector<std::string_view> f = Fields(payload);
    if (f.size() < 3 || f.size() > 4 || f[0] != kMagic || !IsExamId(f[1])) return std::nullopt;
    PageCode code;
    for (char c : f[1])
        code.examId += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::optional<long> page = NumberOf(f[2], 99);
    if (!page) return std::nullopt;
    code.page = static_cast<int>(*page);
    if (f.size() == 4) {
        std::string_view tail = f[3];
        if (tail.size() < 2) return std::nullopt;
        std::string_view rest = tail.substr(1);
        if (tail[0] == 'S') {
            code.serial = NumberOf(rest, kMaxSerial);
            if (!code.serial) return std::nullopt;
        } else if (tail[0] == 'C') {
            if (!AllDigits(rest) || rest.size() > kMaxCandidateDigits) return std::nullopt;
            code.candidate = std::string(rest);
        } else {
            return std::nullopt;
        }
    }
    return code;
}

bool IsExamId(std::string_view text) {
    if (text.size() != 16) return false;
    for (char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

std::string NewExamId() {
    std::random_device source;
    uint64_t value = (static_cast<uint64_t>(source()) << 32) ^ source();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

}  // namespace varelo::codes
