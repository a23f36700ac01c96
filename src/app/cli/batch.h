#pragma once

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "options.h"

namespace varelo::cli {

// One sheet of a batch: the dialog's fields, as a job file gives them.
struct BatchJob {
    std::optional<std::string> layout, title, subtitle, setter, digits;
    std::optional<std::vector<GroupEntry>> groups;  // absent: the dialog's default group
    std::optional<std::string> output;              // file name inside the output folder
};

// A job file that cannot be read; what() says where and why.
class JobFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Parses a JSON array of job objects. Throws JobFileError.
std::vector<BatchJob> ParseJobs(const std::string& json);

struct JobResult {
    std::string path;   // the .docx written, when ok
    std::string error;  // the system's message or the save failure, when not
    bool ok() const { return error.empty(); }
};

// Builds and writes one sheet into folder; never throws.
JobResult RunJob(const BatchJob& job, size_t index, size_t count, const std::string& folder);

// Runs every job on `threads` workers (0: one per core), calling progress(done, total) after
// each finished sheet from the worker that finished it. Results are in job order.
std::vector<JobResult> RunJobs(const std::vector<BatchJob>& jobs, const std::string& folder,
                               unsigned threads,
                               const std::function<void(size_t, size_t)>& progress = {});

// The file name of the index-th job (0-based) without its own output: sheet-001.docx, ...
std::string NumberedName(size_t index, size_t count);

}  // namespace varelo::cli
