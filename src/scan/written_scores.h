#pragma once

#include <string>
#include <vector>

#include "base/score.h"
#include "omr/omr_template.h"
#include "scan/scan_reading.h"
#include "scan/sheet_results.h"

namespace varelo::read {

// One written answer's score from a marking program, before it is checked.
struct WrittenMark {
    std::string where;      // what a message about it begins with: "row 5: "
    std::string candidate;  // as the sheet read it; may be empty when scan is given
    std::string item;       // the item number as written
    std::string scan;       // the sheet's scan, or its scans joined by " + "; or empty
    host::Score score;
};

// The marks checked against the template alone: each names a written item (a region's item,
// not a bubble item) and scores at most its points. Throws ReadError with every fault (up to
// ten), naming the rows; done before any scan is read.
void CheckWrittenMarks(const std::vector<WrittenMark>& marks, const layout::OmrTemplate& t);

// Adds the marks to the sheets read off their bubbles (their writtenScores, written and total),
// after the same checks. A mark names its sheet by scan when it gives one (then a 考号 it gives
// must be the sheet's), else by 考号, which must be read whole and on one sheet only; a 考号 a
// spreadsheet shortened (0024 saved as 24) is padded back with zeros. A mark whose sheet is not
// found, or a second mark for an item of one sheet, is refused: nothing is added then.
// Throws ReadError.
void AddWrittenScores(const std::vector<WrittenMark>& marks, const layout::OmrTemplate& t,
                      const std::vector<ScanReading>& scans, std::vector<SheetResult>& sheets);

}  // namespace varelo::read
