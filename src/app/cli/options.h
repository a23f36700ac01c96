#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "doc/table.h"
#include "exam/exam.h"

namespace varelo::cli {

// A command line that cannot be understood; what() says why, fit to show the user.
class UsageError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// One --group value: the dialog's entry fields for one objective question group.
struct GroupEntry {
    std::string name, items, options, points;
    std::string labels = "字母";  // the option type: "字母", "数字" or "判断"
};

inline constexpr const char* kDefaultOutput = "out/sheet.docx";
inline constexpr const char* kDefaultLayout = "A3三栏";
inline constexpr int kDefaultDpi = 150;
// Numbered copies one PDF holds at most: a school's year group, many times over.
inline constexpr int kMaxCopies = 10000;

struct GenerateOptions {
    bool help = false;
    std::optional<std::string> from;  // a sheet whose exam (and its id) the new one keeps
    std::string layout = kDefaultLayout;
    bool layoutGiven = false;
    std::optional<std::string> title, subtitle, setter, digits;
    std::vector<GroupEntry> groups;
    bool noGroups = false;
    std::vector<exam::WrittenSection> sections;  // --fill, --answer, --essay in order
    exam::SheetMarks marks;                      // --absent-mark, --paper-types
    std::string output = kDefaultOutput;
    bool outputGiven = false;
    std::optional<std::string> pdf, png;
    int dpi = kDefaultDpi;
    std::optional<std::string> omr;  // the scanner template to write
    bool omrChecker = false;         // as OMRChecker templates rather than Varelo's own
    std::optional<exam::PageCodeChoice> pageCode;  // --page-code on|off
    std::optional<std::string> examId;
    int copies = 0;  // numbered copies in the one --pdf; 0: the sheet as it is
};

// Parses the arguments after "generate". Throws UsageError.
GenerateOptions ParseGenerate(const std::vector<std::string>& args);

// Parses NAME,ITEMS,OPTIONS,POINTS[,字母|数字|判断]. Throws UsageError.
GroupEntry ParseGroup(const std::string& value);

// The fields of a comma-separated option value, empty ones kept.
std::vector<std::string> SplitAtCommas(const std::string& text);

struct BatchOptions {
    bool help = false;
    std::string jobs;                            // the JSON job file
    std::string folder = "out";                  // where the sheets go
    unsigned threads = 0;                        // 0: one per core
    bool pdf = false, png = false, omr = false;  // each sheet's extras, unless a job says
    bool omrChecker = false;
    int dpi = kDefaultDpi;
};

// Parses the arguments after "batch". Throws UsageError.
BatchOptions ParseBatch(const std::vector<std::string>& args);

// One step of an edit, in command-line order: a --select of the page grid, or a tool that acts
// on the latest selection.
enum class EditAction { Select, Box, Line, Merge, Composition };

struct EditStep {
    EditAction action = EditAction::Select;
    host::CellRect rect;  // for Select: the page grid's rows and columns, 1-based, top-left first
};

struct EditOptions {
    bool help = false;
    std::string input, output;  // IN.docx and -o OUT.docx (which may be IN)
    std::vector<EditStep> steps;
    bool force = false;  // merges may lose bubbles and marks
    std::optional<std::string> pdf, png;
    std::optional<std::string> omr;  // the scanner template, from the settings the sheet carries
    bool omrChecker = false;
    int dpi = kDefaultDpi;
};

// Parses the arguments after "edit". Throws UsageError.
EditOptions ParseEdit(const std::vector<std::string>& args);

// Parses R1,C1:R2,C2 (either pair of opposite corners) or R,C for one cell. Throws UsageError.
host::CellRect ParseCellRange(const std::string& value);

// The option that asks for a step: "--box", ...; "--select R1,C1:R2,C2" for a selection.
std::string DescribeStep(const EditStep& step);

extern const char* const kMainHelp;
extern const char* const kGenerateHelp;
extern const char* const kBatchHelp;
extern const char* const kEditHelp;

}  // namespace varelo::cli
