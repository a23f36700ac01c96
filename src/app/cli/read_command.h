#pragma once

#include <string>
#include <vector>

namespace varelo::cli {

struct ReadOptions {
    bool help = false;
    std::string templatePath;
    std::vector<std::string> scans;
    std::string csv;  // -o
    std::string json, key, review, aligned, crops;
    std::string scores;           // written scores from a marking program
    std::string roster;           // 考号, 姓名, 班级
    bool englishHeaders = false;  // --headers en: the column names and words of earlier versions
    bool allowPartialKey = false;
    int dpi = 150;         // of the --aligned pages and --crops pictures
    unsigned threads = 0;  // 0: one per core
};

// Parses the arguments after "read". Throws UsageError.
ReadOptions ParseRead(const std::vector<std::string>& args);

// varelo read TEMPLATE.json SCAN... -o RESULTS.csv ...: reads filled sheets. Returns the exit
// status: 0 when every scan was read ok, review or page2.
int RunRead(const std::vector<std::string>& args);

extern const char* const kReadHelp;

// The read module's entry point, varelo_read: RunRead behind the module boundary.
inline constexpr const char* kReadModule = "varelo-read";
inline constexpr const char* kReadEntry = "varelo_read";
using ReadEntry = int (*)(const std::vector<std::string>& args);

}  // namespace varelo::cli
