#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tables/table.h"

// The readers behind ReadTableBytes, one per format.
namespace varelo::tables::detail {

// The text of a CSV file as UTF-8: UTF-8 as it is (a leading byte-order mark dropped), or
// GB18030 converted; bytes that are neither are refused, naming the line.
std::string DecodeText(std::string_view bytes, const std::string& file);

std::vector<Row> ParseCsv(std::string_view text, const std::string& file);

std::vector<Row> ReadXlsx(std::string_view bytes, const std::string& file);

// Counts what a table holds against the limits as it is read.
class Budget {
  public:
    explicit Budget(const std::string& file) : file_(file) {}
    // Row `row` gets `added` more cells, the last of them in `column` (from 1).
    void Cells(size_t row, size_t column, size_t added);
    // A cell's text, refused past kMaxCellCharacters.
    void Text(size_t row, size_t column, std::string_view text) const;
    void RowNumber(size_t row) const;

  private:
    const std::string& file_;
    size_t cells_ = 0;
};

}  // namespace varelo::tables::detail
