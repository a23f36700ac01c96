#pragma once

#include <optional>
#include <string>
#include <string_view>

// What a page's printed code says: which exam, which page, and which copy of the sheet
// (docs/omr-template.md). Pages pair by it whatever order they were scanned in.
namespace varelo::codes {

struct PageCode {
    std::string examId;  // 16 lower-case hex digits
    int page = 0;        // 1-based
    // A numbered sheet's serial (1..), or a personalised sheet's candidate number; neither
    // on a sheet printed from the .docx alone.
    std::optional<long> serial;
    std::string candidate;

    friend bool operator==(const PageCode&, const PageCode&) = default;
};

// "VRL1|<exam id>|<page>" then "|S<serial>" or "|C<candidate>": ASCII, short enough for a small
// QR code.
std::string PageCodePayload(const PageCode& code);

// The code a payload holds; empty for any other text (another program's code, a damaged read).
std::optional<PageCode> ParsePageCode(std::string_view payload);

// Whether text is an exam id: 16 hex digits (either case).
bool IsExamId(std::string_view text);

// A fresh exam id from the system's random source, lower-case.
std::string NewExamId();

}  // namespace varelo::codes
