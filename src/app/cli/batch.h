#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "doc/document.h"
#include "exam/exam.h"
#include "options.h"

namespace varelo::cli {

// One sheet of a batch: the dialog's fields, as a job file gives them.
struct BatchJob {
    std::optional<std::string> layout, title, subtitle, setter, digits;
    std::optional<std::vector<GroupEntry>> groups;  // absent: the dialog's default group
    std::vector<exam::WrittenSection> sections;
    exam::SheetMarks marks;             // "absentMark": true, "paperTypes": "AB"
    std::optional<std::string> output;  // file name inside the output folder
    std::optional<bool> pdf, png, omr;  // override the command line's flags
    std::optional<exam::PageCodeChoice> pageCode;
    std::optional<std::string> examId;
    std::string error;  // why the job cannot run (an unknown key, a bad value); empty if it can
};

// A job file that cannot be read at all; what() says where and why.
class JobFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Job files larger than this are refused unread.
inline constexpr std::uintmax_t kMaxJobFileBytes = 64u << 20;

// The job file's text. Refuses, with a message naming the file, anything but a regular file
// (a FIFO or a device would make the batch wait or read forever) and files over
// kMaxJobFileBytes. Throws JobFileError.
std::string ReadJobFile(const std::string& path);

// Parses a JSON array of job objects. A job with an unknown key or a bad value comes back with
// its error set, fit to show after "job N: "; the others are unaffected. Throws JobFileError
// when the text is not a JSON array.
std::vector<BatchJob> ParseJobs(const std::string& json);

// Renders a sheet as PDF (pdf) and PNG pages (png, a prefix) at dpi; returns the files written.
// Throws std::exception with the reason.
using SheetExporter = std::function<std::vector<std::string>(
    const host::Document& doc, const std::optional<std::string>& pdf,
    const std::optional<std::string>& png, int dpi)>;

// How a batch runs: where the sheets go and what each gets besides its .docx.
struct BatchSettings {
    std::string folder = "out";
    unsigned threads = 0;  // 0: one per core
    bool pdf = false, png = false, omr = false;
    bool omrChecker = false;  // the templates as OMRChecker's rather than Varelo's own
    int dpi = kDefaultDpi;
    std::string jobFile;     // no output may replace it
    SheetExporter exporter;  // none: a job asking for PDF or PNG fails
};

// The files one job writes, named after its sheet: NAME.docx, NAME.pdf, NAME-1.png, ...,
// NAME-omr.json (OMRChecker: NAME-omr-1.json, ...).
struct JobFiles {
    std::string docx;
    std::optional<std::string> pdf, png, omr;  // png: the pages' prefix
};
JobFiles PlanJobFiles(const BatchJob& job, size_t index, size_t count,
                      const BatchSettings& settings);

struct JobResult {
    std::vector<std::string> written;  // the files written, when ok
    std::string error;                 // the system's message or the save failure, when not
    bool ok() const { return error.empty(); }
};

// Builds and writes one sheet and its extras; never throws.
JobResult RunJob(const BatchJob& job, const JobFiles& files, const BatchSettings& settings);

// Runs every job on settings.threads workers, calling progress(done, total) after each
// finished sheet from the worker that finished it. Before anything is written, jobs whose files
// would be the same file as another job's, or as the job file, fail with a message naming the
// other jobs, and none of them is written. Results are in job order.
std::vector<JobResult> RunJobs(const std::vector<BatchJob>& jobs, const BatchSettings& settings,
                               const std::function<void(size_t, size_t)>& progress = {});

// The file name of the index-th job (0-based) without its own output: sheet-001.docx, ...
std::string NumberedName(size_t index, size_t count);

}  // namespace varelo::cli
