#pragma once

#include <string>

#include "scan/results_table.h"

namespace varelo::cli {

// The results as an .xlsx workbook of one sheet: scores as numbers, 考号 and every other text
// as text (its leading zeros kept), the header row frozen, rows to review filled yellow and
// errors red, their reason beside them. Saved as host::SaveFileAtomically saves: a temporary
// file beside path renamed over it. Throws host::SaveError.
void SaveResultsXlsx(const read::ResultsTable& table, const std::string& path);

// Whether an output named path is a workbook (.xlsx, in any case) rather than CSV.
bool IsXlsxName(const std::string& path);

}  // namespace varelo::cli
