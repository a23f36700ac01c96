#pragma once

#include <optional>
#include <string>
#include <vector>

#include "omr/omr_template.h"
#include "scan/scan_reading.h"
#include "scores/answer_key.h"

namespace varelo::read {

enum class SheetStatus { Ok, Review, Page2, Error };

// "ok", "review", "page2", "error".
const char* StatusName(SheetStatus s);

// One row of the results: a sheet read from its page-1 scan (and its page-2 scan, just after it
// or, in a stack fed face down, just before it, when the template has bubbles or written
// answers there), a page-2 scan on its own, or a scan that could not be read.
struct SheetResult {
    size_t scan = 0;              // index of the scan
    std::optional<size_t> scan2;  // the page-2 scan read with it
    SheetStatus status = SheetStatus::Error;
    std::string reason;                // for error and review
    std::string candidate;             // digits, "?" for a column with none or several
    std::vector<std::string> answers;  // per item: the filled labels, "" when blank
    std::vector<double> groupScores;   // with a key
    double total = 0;
};

// Pairs the scans into sheets, in the order given (a page 2 whose sheet the order does not
// tell is a row of its own, to review), and reads off the candidate number and the
// answers. With a key, scores the groups.
std::vector<SheetResult> AssembleSheets(const layout::OmrTemplate& t,
                                        const std::vector<ScanReading>& scans,
                                        const AnswerKey* key);

// RESULTS.csv: UTF-8 with a byte-order mark, one row per sheet.
std::string ResultsCsv(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                       const std::vector<SheetResult>& sheets, bool withKey);

// RESULTS.json: per scan the page, the map found, the marks and every bubble's reading.
std::string ResultsJson(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                        const std::vector<SheetResult>& sheets);

}  // namespace varelo::read
