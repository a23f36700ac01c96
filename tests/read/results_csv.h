#pragma once

// The files a read writes, as the read tests look at them.

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace varelo::testing {

inline std::string Slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// The results CSV's rows after the byte-order mark, cells split at commas (the cells the
// tests check hold none).
inline std::vector<std::vector<std::string>> CsvRows(const std::filesystem::path& p) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(Slurp(p).substr(3));
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> cells;
        std::istringstream cellsIn(line);
        for (std::string cell; std::getline(cellsIn, cell, ',');) cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

}  // namespace varelo::testing
