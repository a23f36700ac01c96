#include "batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <variant>

#include "base/numbers.h"
#include "base/parallel_for.h"
#include "base/printable.h"
#include "codes/page_code.h"
#include "compose/driver.h"
#include "compose/template_reading.h"
#include "docx/writer.h"
#include "exam_request.h"
#include "file_clash.h"
#include "section_options.h"

namespace varelo::cli {

namespace {

using host::Quoted;
using nlohmann::json;

// The keys a job and a group may have; anything else is a misspelling the user must hear of.
constexpr const char* kJobKeys[] = {"layout", "title",      "subtitle",   "setter",   "digits",
                                    "groups", "sections",   "output",     "pdf",      "png",
                                    "omr",    "absentMark", "paperTypes", "pageCode", "examId"};
constexpr const char* kGroupKeys[] = {"name", "items", "options", "points", "labels"};

template <size_t N>
void RefuseUnknownKeys(const json& object, const char* const (&known)[N], const char* where) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        if (std::none_of(std::begin(known), std::end(known),
                         [&](const char* k) { return key == k; }))
            throw JobFileError(std::string(where) + "unknown key " + Quoted(key));
    }
}

// A value as the message shows it: its JSON, cut short.
std::string Shown(const json& value) {
    std::string text = value.dump(-1, ' ', false, json::error_handler_t::replace);
    if (text.size() > 40) {
        size_t cut = 37;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text = text.substr(0, cut) + "...";
    }
    return host::Printable(text);
}

std::string Key(const char* key) {
    return "\"" + std::string(key) + "\"";
}

std::optional<std::string> Text(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw JobFileError(Key(key) + " must be text, not " + Shown(*it));
    return it->get<std::string>();
}

// Numbers may be given as numbers or as the text the dialog would hold.
std::optional<std::string> NumberOrText(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number()) return host::NumberToText(it->get<double>());
    throw JobFileError(Key(key) + " must be a number or text, not " + Shown(*it));
}

std::optional<bool> Flag(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_boolean())
        throw JobFileError(Key(key) + " must be true or false, not " + Shown(*it));
    return it->get<bool>();
}

GroupEntry ParseGroupObject(const json& g) {
    if (!g.is_object()) throw JobFileError(Key("groups") + " must hold objects, not " + Shown(g));
    RefuseUnknownKeys(g, kGroupKeys, "a group has an ");
    GroupEntry entry;
    entry.name = Text(g, "name").value_or("");
    entry.items = NumberOrText(g, "items").value_or("");
    entry.options = NumberOrText(g, "options").value_or("");
    entry.points = NumberOrText(g, "points").value_or("");
    const std::string labels = Text(g, "labels").value_or("字母");
    if (labels != "字母" && labels != "数字" && labels != "判断")
        throw JobFileError(Key("labels") + " must be \"字母\", \"数字\" or \"判断\", not " +
                           Quoted(labels));
    entry.labels = labels;
    return entry;
}

std::string SafeFileName(const std::string& name) {
    if (name.find('\0') != std::string::npos)
        throw JobFileError(Key("output") + " " + Quoted(name) +
                           " holds a NUL character, which no file name can");
    const std::filesystem::path p(name);
    if (name.empty() || p.has_parent_path() || p.is_absolute() || name == "." || name == "..")
        throw JobFileError(Key("output") + " must be a file name without folders, not " +
                           Quoted(name));
    return name;
}

BatchJob ParseJob(const json& j) {
    if (!j.is_object()) throw JobFileError("a job must be an object, not " + Shown(j));
    RefuseUnknownKeys(j, kJobKeys, "");
    BatchJob job;
    job.layout = Text(j, "layout");
    job.title = Text(j, "title");
    job.subtitle = Text(j, "subtitle");
    job.setter = Text(j, "setter");
    job.digits = NumberOrText(j, "digits");
    if (const auto it = j.find("groups"); it != j.end() && !it->is_null()) {
        if (!it->is_array()) throw JobFileError(Key("groups") + " must be an array");
        job.groups.emplace();
        for (const json& g : *it) job.groups->push_back(ParseGroupObject(g));
    }
    if (const auto it = j.find("sections"); it != j.end() && !it->is_null()) {
        if (!it->is_array()) throw JobFileError(Key("sections") + " must be an array");
        for (const json& s : *it) job.sections.push_back(ParseSectionObject(s));
    }
    if (auto out = Text(j, "output")) job.output = SafeFileName(*out);
    job.pdf = Flag(j, "pdf");
    job.png = Flag(j, "png");
    job.omr = Flag(j, "omr");
    job.marks.absent = Flag(j, "absentMark").value_or(false);
    job.marks.paperTypes = Text(j, "paperTypes").value_or("");
    if (const auto on = Flag(j, "pageCode"))
        job.pageCode = *on ? exam::PageCodeChoice::On : exam::PageCodeChoice::Off;
    if ((job.examId = Text(j, "examId")) && !codes::IsExamId(*job.examId))
        throw JobFileError(Key("examId") + " must be 16 hexadecimal digits, not " +
                           Quoted(*job.examId));
    return job;
}

// The library's message without its "[json.exception...]" tag.
std::string LibraryReason(const std::string& what) {
    const size_t tag = what.find("] ");
    return tag == std::string::npos ? what : what.substr(tag + 2);
}

// Where a number that does not fit a double sits, for the message.
std::string NumberOverflow(const std::string& text, const std::string& what) {
    const size_t open = what.find('\''), close = what.rfind('\'');
    const std::string number =
        open != std::string::npos && close > open ? what.substr(open + 1, close - open - 1) : "";
    std::string where;
    if (const size_t at = number.empty() ? std::string::npos : text.find(number);
        at != std::string::npos) {
        const size_t line = std::count(text.begin(), text.begin() + at, '\n') + 1;
        const size_t lineStart = text.rfind('\n', at);
        const size_t column = at - (lineStart == std::string::npos ? 0 : lineStart + 1) + 1;
        where = " at line " + std::to_string(line) + ", column " + std::to_string(column);
    }
    return "the number " + host::Printable(number) + where +
           " is too large to be a number (at most about 1.8e308)";
}

}  // namespace

std::string ReadJobFile(const std::string& path) {
    const auto fail = [&](const std::string& why) {
        throw JobFileError("cannot read the job file " + Quoted(path) + ": " + why);
    };
    // Without O_NONBLOCK, opening a FIFO waits for a writer before anything can be checked.
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) fail(std::strerror(errno));
    struct Closer {
        int fd;
        ~Closer() { close(fd); }
    } closer{fd};
    struct stat st {};
    if (fstat(fd, &st) != 0) fail(std::strerror(errno));
    if (S_ISDIR(st.st_mode)) fail("it is a folder");
    if (!S_ISREG(st.st_mode)) fail("it is not a regular file (a pipe or a device is not read)");
    const auto tooLarge = [&] {
        fail("it is larger than " + std::to_string(kMaxJobFileBytes >> 20) + " MB");
    };
    if (static_cast<std::uintmax_t>(st.st_size) > kMaxJobFileBytes) tooLarge();
    std::string text(static_cast<size_t>(st.st_size) + 1, '\0');
    size_t done = 0;
    for (;;) {  // the file may grow while it is read: never past the limit
        if (done == text.size()) {
            if (text.size() > kMaxJobFileBytes) tooLarge();
            text.resize(std::min<size_t>(text.size() * 2, kMaxJobFileBytes + 1));
        }
        const ssize_t n = read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) fail(std::strerror(errno));
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    text.resize(done);
    return text;
}

std::vector<BatchJob> ParseJobs(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        throw JobFileError("not valid JSON: " + host::Printable(LibraryReason(e.what())));
    } catch (const json::out_of_range& e) {
        throw JobFileError("not valid JSON: " + NumberOverflow(text, e.what()));
    } catch (const json::exception& e) {
        throw JobFileError("not valid JSON: " + host::Printable(LibraryReason(e.what())));
    }
    if (!root.is_array()) throw JobFileError("the job file must hold a JSON array of jobs");
    std::vector<BatchJob> jobs;
    jobs.reserve(root.size());
    for (const json& j : root) {
        try {
            jobs.push_back(ParseJob(j));
        } catch (const JobFileError& e) {
            jobs.emplace_back().error = e.what();
        }
    }
    return jobs;
}

std::string NumberedName(size_t index, size_t count) {
    std::string number = std::to_string(index + 1);
    const size_t width = std::max<size_t>(3, std::to_string(count).size());
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return "sheet-" + number + ".docx";
}

JobFiles PlanJobFiles(const BatchJob& job, size_t index, size_t count,
                      const BatchSettings& settings) {
    const std::string name = job.output.value_or(NumberedName(index, count));
    std::string stem = name;
    if (stem.size() > 5) {
        std::string tail = stem.substr(stem.size() - 5);
        std::transform(tail.begin(), tail.end(), tail.begin(),
                       [](unsigned char ch) { return std::tolower(ch); });
        if (tail == ".docx") stem.resize(stem.size() - 5);
    }
    const std::filesystem::path folder(settings.folder);
    JobFiles files;
    files.docx = (folder / name).string();
    if (job.pdf.value_or(settings.pdf)) files.pdf = (folder / (stem + ".pdf")).string();
    if (job.png.value_or(settings.png)) files.png = (folder / stem).string();
    if (job.omr.value_or(settings.omr)) files.omr = (folder / (stem + "-omr.json")).string();
    return files;
}

JobResult RunJob(const BatchJob& job, const JobFiles& files, const BatchSettings& settings) {
    if (!job.error.empty()) return {{}, job.error};
    if ((files.pdf || files.png) && !settings.exporter)
        return {{}, "this build has no renderer, so no PDF or PNG can be written"};
    std::variant<RequestedExam, std::string> checked =
        CheckRequest({job.layout.value_or(kDefaultLayout), job.title, job.subtitle, job.setter,
                      job.digits, job.groups, job.sections, job.marks, job.pageCode, job.examId});
    if (std::string* refusal = std::get_if<std::string>(&checked)) return {{}, *refusal};
    const RequestedExam& made = std::get<RequestedExam>(checked);
    host::Application app;
    const host::Document* doc = &settings::MakeSheet(app, made.valid, made.entry);
    JobResult result;
    try {
        host::SaveDocx(*doc, files.docx);
        result.written.push_back(files.docx);
        if (files.pdf || files.png)
            for (std::string& path : settings.exporter(*doc, files.pdf, files.png, settings.dpi))
                result.written.push_back(std::move(path));
        if (files.omr) {
            const layout::OmrTemplate t =
                layout::BuildOmrTemplate(*doc, made.valid.exam, made.valid.plan);
            const auto format =
                settings.omrChecker ? layout::OmrFormat::OmrChecker : layout::OmrFormat::Varelo;
            for (std::string& path : layout::WriteOmrTemplate(t, *files.omr, format, settings.dpi))
                result.written.push_back(std::move(path));
        }
    } catch (const std::exception& e) {
        result.error = e.what();
    }
    return result;
}

namespace {

// Fails, before anything is written, every job that would write a file another job writes or
// the job file itself; the message names a few of the other jobs and counts the rest, so that
// thousands of jobs sharing one name cost as much as thousands of jobs.
void FailClashingJobs(const std::vector<JobFiles>& files, const std::string& jobFile,
                      std::vector<JobResult>& results) {
    constexpr size_t kJobFile = static_cast<size_t>(-1);  // sorts after every job
    constexpr size_t kNamed = 3;
    FileClashes clashes;
    if (!jobFile.empty()) clashes.Add({"the job file", jobFile, {}, kJobFile}, 0);
    for (size_t i = 0; i < files.size(); ++i) {
        if (!results[i].ok()) continue;
        const JobFiles& f = files[i];
        clashes.Add({"", f.docx, {}, i}, 0);
        if (f.pdf) clashes.Add({"", *f.pdf, {}, i}, 0);
        if (f.png) clashes.Add({"", *f.png, ".png", i}, 0);
        if (f.omr) clashes.Add({"", *f.omr, {}, i}, 0);
    }
    // Groups with the same jobs are one clash (a sheet and its PDF both named twice).
    std::map<std::vector<size_t>, size_t> clashIds;
    std::vector<const std::vector<size_t>*> clashJobs;
    std::map<size_t, std::vector<size_t>> jobClashes;  // job -> its clashes
    std::map<size_t, size_t> firstFile;                // job -> its first file that clashes
    for (const std::vector<size_t>& group : clashes.Groups()) {
        std::vector<size_t> jobs;
        for (const size_t file : group) jobs.push_back(clashes.File(file).owner);
        std::sort(jobs.begin(), jobs.end());
        jobs.erase(std::unique(jobs.begin(), jobs.end()), jobs.end());
        const auto [it, added] = clashIds.try_emplace(std::move(jobs), clashJobs.size());
        if (added) clashJobs.push_back(&it->first);
        for (const size_t file : group) {
            const size_t job = clashes.File(file).owner;
            if (job == kJobFile) continue;
            std::vector<size_t>& mine = jobClashes[job];
            if (std::find(mine.begin(), mine.end(), it->second) == mine.end())
                mine.push_back(it->second);
            firstFile.try_emplace(job, file);  // groups list files in the order added
            firstFile[job] = std::min(firstFile[job], file);
        }
    }
    for (const auto& [job, ids] : jobClashes) {
        // The other jobs: one clash's list as it is, several merged (rare, and each short).
        std::vector<size_t> merged;
        const std::vector<size_t>* with = clashJobs[ids.front()];
        if (ids.size() > 1) {
            for (const size_t id : ids)
                merged.insert(merged.end(), clashJobs[id]->begin(), clashJobs[id]->end());
            std::sort(merged.begin(), merged.end());
            merged.erase(std::unique(merged.begin(), merged.end()), merged.end());
            with = &merged;
        }
        const NamedFile& clashing = clashes.File(firstFile[job]);
        const std::string shown = clashing.familySuffix.empty()
                                      ? clashing.path
                                      : clashing.path + "-1" + clashing.familySuffix;
        std::string message =
            "its file " + Quoted(std::filesystem::path(shown).filename().string());
        const size_t others = with->size() - 1;  // the job is among them
        if (with->back() == kJobFile) {
            message += " would replace the job file, so the sheet is not written";
        } else if (others == 0) {
            message += " is named twice among its own files, so the sheet is not written";
        } else {
            std::string jobs;
            size_t named = 0;
            for (size_t i = 0; i < with->size() && named < kNamed; ++i)
                if ((*with)[i] != job) {
                    jobs += (named++ ? ", " : "") + std::to_string((*with)[i] + 1);
                }
            if (others > named) jobs += " and " + std::to_string(others - named) + " more";
            message += " is also written by job" + std::string(others > 1 ? "s " : " ") + jobs +
                       (others > 1 ? "; none of them is written" : "; neither is written") +
                       ", so that no sheet replaces another";
        }
        results[job].error = message;
    }
}

}  // namespace

std::vector<JobResult> RunJobs(const std::vector<BatchJob>& jobs, const BatchSettings& settings,
                               const std::function<void(size_t, size_t)>& progress) {
    std::vector<JobResult> results(jobs.size());
    std::vector<JobFiles> files;
    files.reserve(jobs.size());
    for (size_t i = 0; i < jobs.size(); ++i) {
        results[i].error = jobs[i].error;
        files.push_back(PlanJobFiles(jobs[i], i, jobs.size(), settings));
    }
    FailClashingJobs(files, settings.jobFile, results);

    host::ParallelFor(
        jobs.size(), settings.threads,
        [&](size_t i) {
            if (results[i].ok()) results[i] = RunJob(jobs[i], files[i], settings);
        },
        progress);
    return results;
}

}  // namespace varelo::cli
