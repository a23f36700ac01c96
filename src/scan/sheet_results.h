#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/score.h"
#include "omr/omr_template.h"
#include "scan/scan_reading.h"
#include "scores/answer_key.h"

namespace varelo::read {

// Absent: the invigilator filled 缺考 and nothing is answered.
enum class SheetStatus { Ok, Review, Page2, Error, Absent };

// "ok", "review", "page2", "error", "absent".
const char* StatusName(SheetStatus s);

// Why a sheet needs a look, or could not be read: a code that programs go by, the English
// text of earlier versions and the Chinese a teacher reads.
struct Reason {
    std::string code, text, zh;
    bool operator==(const Reason&) const = default;
};

// One row of the results: a sheet read from its page-1 scan (and its page-2 scan when the
// template has bubbles or written answers there: the one whose page code names the same sheet,
// or without such codes the one just after it or, in a stack fed face down, just before it), a
// page-2 scan on its own, or a scan that could not be read or is of another exam.
struct SheetResult {
    size_t scan = 0;              // index of the scan
    std::optional<size_t> scan2;  // the page-2 scan read with it
    SheetStatus status = SheetStatus::Error;
    std::string reason;  // for error and review: the reasons' texts joined by "; "
    std::vector<Reason> reasons;
    std::string candidate;             // digits, "?" for a column with none or several
    std::vector<std::string> answers;  // per item: the filled labels, "" when blank
    std::string paper;                 // the paper types filled, with a template that has them
    std::vector<int> choices;          // per optional question: the item chosen, 0 for none or
                                       // several
    // With a key: exact, as the key's points are (base/score.h).
    std::vector<host::Score> groupScores;
    host::Score total;
    // With a key, per item of the template: empty for one the key leaves out.
    std::vector<std::optional<host::Score>> itemScores;
    // Written answers' scores from a marking program by item number, and their sum (in total).
    std::map<int, host::Score> writtenScores;
    host::Score written;
};

// Pairs the scans into sheets, by their page codes when these name the sheet (a serial or a
// candidate), otherwise in the order given (a page 2 whose sheet the order does not tell is a
// row of its own, to review), and reads off the candidate number (a personalised code's) and
// the answers. Missing, doubled or unread codes and pages go to review with what is wrong.
// With a key, scores the groups.
std::vector<SheetResult> AssembleSheets(const layout::OmrTemplate& t,
                                        const std::vector<ScanReading>& scans,
                                        const AnswerKey* key);

// Adds a reason: to the list and to the joined text.
void AddReason(SheetResult& sheet, Reason why);

// Sheets whose 考号 the roster lacks go to review ("考号不在名单中"); a 考号 that did not read
// whole is already there.
void MarkNotInRoster(const layout::OmrTemplate& t, const std::vector<std::string>& roster,
                     std::vector<SheetResult>& sheets);

// Whether the scan's page code names another exam than the template's.
bool OfAnotherExam(const layout::OmrTemplate& t, const ScanReading& scan);

// RESULTS.csv: UTF-8 with a byte-order mark, one row per sheet.
std::string ResultsCsv(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                       const std::vector<SheetResult>& sheets, bool withKey);

// RESULTS.json: per scan the page, the map found, the marks, every bubble's reading and, when the
// template prints a code on the page, what the code said (null when none was read). Per sheet
// with a key, the scores of the items the key names ("itemScores"); with written scores,
// theirs ("writtenScores") and their sum ("written"), which the total includes.
std::string ResultsJson(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                        const std::vector<SheetResult>& sheets, bool withWritten = false);

}  // namespace varelo::read
