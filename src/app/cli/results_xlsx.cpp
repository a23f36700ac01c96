#include "results_xlsx.h"

#include <unistd.h>
#include <xlsxwriter.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/atomic_file.h"

namespace varelo::cli {

namespace fs = std::filesystem;

namespace {

// libxlsxwriter writes only to a named file: the workbook is made in the system's temporary
// folder and then saved over path like every other output.
struct TemporaryFile {
    std::string path;
    TemporaryFile() {
        std::string name = (fs::temp_directory_path() / "varelo-results-XXXXXX.xlsx").string();
        const int fd = mkstemps(name.data(), 5);
        if (fd < 0) throw host::SaveError("cannot make a temporary file for the workbook");
        close(fd);
        path = name;
    }
    ~TemporaryFile() { unlink(path.c_str()); }
};

}  // namespace

bool IsXlsxName(const std::string& path) {
    std::string ext = fs::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext == ".xlsx";
}

void SaveResultsXlsx(const read::ResultsTable& table, const std::string& path) {
    const TemporaryFile temp;
    lxw_workbook* book = workbook_new(temp.path.c_str());
    if (!book) throw host::SaveError("cannot make the workbook " + path);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    const auto format = [&](uint32_t fill, bool bold, bool text) {
        lxw_format* f = workbook_add_format(book);
        if (fill) format_set_bg_color(f, fill);
        if (bold) format_set_bold(f);
        // Text typed into a 考号 cell later stays text too.
        if (text) format_set_num_format(f, "@");
        return f;
    };
    lxw_format* header = format(0, true, false);
    // Per row kind: plain, to review, error; each for numbers and for text.
    const uint32_t fills[] = {0, 0xFFEB9C, 0xFFC7CE};
    lxw_format *number[3], *text[3];
    for (int k = 0; k < 3; ++k)
        number[k] = format(fills[k], false, false), text[k] = format(fills[k], false, true);

    const size_t columns = table.header.size();
    for (size_t c = 0; c < columns; ++c)
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), table.header[c].c_str(),
                               header);
    for (size_t r = 0; r < table.rows.size(); ++r) {
        const read::SheetStatus status = table.status[r];
        const int kind = status == read::SheetStatus::Review  ? 1
                         : status == read::SheetStatus::Error ? 2
                                                              : 0;
        const auto row = static_cast<lxw_row_t>(r + 1);
        for (size_t c = 0; c < table.rows[r].size(); ++c) {
            const read::ResultCell& cell = table.rows[r][c];
            const auto col = static_cast<lxw_col_t>(c);
            if (cell.score)
                worksheet_write_number(sheet, row, col, cell.score->ToDouble(), number[kind]);
            else if (!cell.text.empty())
                worksheet_write_string(sheet, row, col, cell.text.c_str(), text[kind]);
            else
                worksheet_write_blank(sheet, row, col, text[kind]);
        }
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_set_column(sheet, 0, 0, 18, nullptr);
    worksheet_set_column(sheet, static_cast<lxw_col_t>(table.candidateColumn),
                         static_cast<lxw_col_t>(table.candidateColumn), 12, text[0]);
    if (columns > 0)
        worksheet_set_column(sheet, static_cast<lxw_col_t>(columns - 1),
                             static_cast<lxw_col_t>(columns - 1), 48, nullptr);
    if (const lxw_error e = workbook_close(book); e != LXW_NO_ERROR)
        throw host::SaveError("cannot write the workbook " + path + ": " + lxw_strerror(e));

    std::ifstream in(temp.path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (!in && !in.eof()) throw host::SaveError("cannot read back the workbook for " + path);
    host::SaveFileAtomically(path, bytes.str());
}

}  // namespace varelo::cli
