#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace varelo::cli {

// A command line that cannot be understood; what() says why, fit to show the user.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One --group value: the dialog's entry fields for one objective question group.
struct GroupEntry {
    std::string name, items, options, points;
    bool digits = false;  // "数字" labels rather than "字母"
};

inline constexpr const char* kDefaultOutput = "out/sheet.docx";
inline constexpr const char* kDefaultLayout = "A3三栏";
inline constexpr int kDefaultDpi = 150;

struct GenerateOptions {
    bool help = false;
    std::string layout = kDefaultLayout;
    std::optional<std::string> title, subtitle, setter, digits;
    std::vector<GroupEntry> groups;
    bool noGroups = false;
    std::string output = kDefaultOutput;
    bool outputGiven = false;
    std::optional<std::string> pdf, png;
    int dpi = kDefaultDpi;
    std::optional<std::string> omr;  // the scanner template to write
    bool omrChecker = false;         // as OMRChecker templates rather than Varelo's own
};

// Parses the arguments after "generate". Throws UsageError.
GenerateOptions ParseGenerate(const std::vector<std::string>& args);

// Parses NAME,ITEMS,OPTIONS,POINTS[,字母|数字]. Throws UsageError.
GroupEntry ParseGroup(const std::string& value);

struct BatchOptions {
    bool help = false;
    std::string jobs;             // the JSON job file
    std::string folder = "out";  // where the sheets go
    unsigned threads = 0;        // 0: one per core
};

// Parses the arguments after "batch". Throws UsageError.
BatchOptions ParseBatch(const std::vector<std::string>& args);

bool IsValidUtf8(const std::string& text);

extern const char* const kMainHelp;
extern const char* const kGenerateHelp;
extern const char* const kBatchHelp;

}  // namespace varelo::cli
