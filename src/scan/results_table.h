#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/score.h"
#include "omr/omr_template.h"
#include "scan/scan_reading.h"
#include "scan/sheet_results.h"

namespace varelo::read {

// Column names and status words: a teacher's Chinese ones, or the English ones of earlier
// versions that scripts may read.
enum class Headers { Chinese, English };

struct RosterEntry {
    std::string name, className;
};

struct ResultsOptions {
    Headers headers = Headers::Chinese;
    bool withKey = false;      // the objective scores
    bool withWritten = false;  // the written scores of a marking program
    // With a roster: 姓名 (and 班级 when it has the column) by 考号.
    const std::map<std::string, RosterEntry>* roster = nullptr;
    bool rosterHasClass = false;
};

// One cell: text shown as typed (a 考号 keeps its zeros), or a score, which a spreadsheet
// holds as a number.
struct ResultCell {
    std::string text;
    std::optional<host::Score> score;
};

// The results as rows of cells, for the CSV and the workbook alike.
struct ResultsTable {
    std::vector<std::string> header;
    std::vector<std::vector<ResultCell>> rows;
    std::vector<SheetStatus> status;  // per row
    size_t candidateColumn = 0;       // 考号, from 0; the reason is the last
};

// Chinese: 扫描, 扫描2 (when sheets have two pages), 状态, 考号, 姓名 and 班级 (with a roster),
// 试卷类型 and 选做N (with a template that has the marks),
// every item's answer headed by its number, with a key every bubble item's score ("1分") and
// 客观题, with written scores every written item's score and 主观题, 总分, 原因.
// English: scan, scan2, status, candidate, paper, choiceN, every item's answer, with a key group1
// ... and total, with written scores "score17" ... and written before total, reason.
ResultsTable MakeResultsTable(const layout::OmrTemplate& t, const std::vector<ScanReading>& scans,
                              const std::vector<SheetResult>& sheets, const ResultsOptions& o);

// The status as a column shows it.
std::string StatusWord(SheetStatus s, Headers headers);

// The table as CSV: UTF-8 with a byte-order mark, CRLF, text cells guarded against being taken
// for formulas.
std::string ResultsCsv(const ResultsTable& table);

}  // namespace varelo::read
