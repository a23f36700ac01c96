#include "batch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "file_clash.h"
#include "form_filling.h"
#include "host/docx/writer.h"
#include "host/numbers.h"
#include "host/printable.h"
#include "layout/omr_template.h"
#include "section_options.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace varelo::cli {

namespace {

using host::Quoted;
using nlohmann::json;

// The keys a job and a group may have; anything else is a misspelling the user must hear of.
constexpr const char* kJobKeys[] = {"layout",   "title",  "subtitle", "setter", "digits", "groups",
                                    "sections", "output", "pdf",      "png",    "omr"};
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
    host::Application app;
    layout::SheetForm form;
    settings::Form_Load(form);
    form.visible = true;
    form.cmbPage = job.layout.value_or(kDefaultLayout);
    if (job.title) form.txtTitle = *job.title;
    if (job.subtitle) form.txtVice_Title = *job.subtitle;
    if (job.setter) form.txtName = *job.setter;
    if (job.digits) form.txtExam_NO = *job.digits;
    const std::vector<GroupEntry> groups = job.groups.value_or(std::vector{DefaultGroup(form)});
    for (const GroupEntry& g : groups)
        if (!AddGroup(app, form, g))
            return {{}, app.messages.empty() ? "refused" : app.messages.back()};
    form.sections = job.sections;

    const host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) return {{}, app.messages.empty() ? "refused" : app.messages.back()};
    JobResult result;
    try {
        host::SaveDocx(*doc, files.docx);
        result.written.push_back(files.docx);
        if (files.pdf || files.png)
            for (std::string& path : settings.exporter(*doc, files.pdf, files.png, settings.dpi))
                result.written.push_back(std::move(path));
        if (files.omr) {
            const layout::OmrTemplate t = layout::BuildOmrTemplate(
                *doc, form, settings::LayoutCode(form.cmbPage).value_or(0));
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
// the job file itself; the message names the other jobs.
void FailClashingJobs(const std::vector<JobFiles>& files, const std::string& jobFile,
                      std::vector<JobResult>& results) {
    constexpr size_t kJobFile = static_cast<size_t>(-1);
    FileClashes clashes;
    if (!jobFile.empty()) clashes.Add({"the job file", jobFile, {}, kJobFile});
    std::map<size_t, std::set<size_t>> others;  // job -> the jobs (or the job file) it clashes with
    std::map<size_t, std::string> clashingFile;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!results[i].ok()) continue;
        const JobFiles& f = files[i];
        std::vector<NamedFile> named{{"", f.docx, {}, i}};
        if (f.pdf) named.push_back({"", *f.pdf, {}, i});
        if (f.png) named.push_back({"", *f.png, ".png", i});
        if (f.omr) named.push_back({"", *f.omr, {}, i});
        for (NamedFile& n : named) {
            const std::string shown =
                n.familySuffix.empty() ? n.path : n.path + "-1" + n.familySuffix;
            for (const NamedFile& earlier : clashes.Add(std::move(n))) {
                others[i].insert(earlier.owner);
                clashingFile.emplace(i, shown);
                if (earlier.owner == kJobFile) continue;
                others[earlier.owner].insert(i);
                clashingFile.emplace(earlier.owner, shown);
            }
        }
    }
    for (const auto& [job, with] : others) {
        std::string message =
            "its file " + Quoted(std::filesystem::path(clashingFile[job]).filename().string());
        if (with.count(kJobFile)) {
            message += " would replace the job file, so the sheet is not written";
        } else if (with.size() == 1 && *with.begin() == job) {
            message += " is named twice among its own files, so the sheet is not written";
        } else {
            std::string jobs;
            for (const size_t other : with)
                if (other != job) jobs += (jobs.empty() ? "" : ", ") + std::to_string(other + 1);
            message += " is also written by job" + std::string(with.size() > 1 ? "s " : " ") +
                       jobs +
                       (with.size() > 1 ? "; none of them is written" : "; neither is written") +
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

    unsigned threads = settings.threads;
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, jobs.size())));
    std::atomic<size_t> next{0}, done{0};
    std::mutex progressMutex;
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            if (results[i].ok()) results[i] = RunJob(jobs[i], files[i], settings);
            const size_t finished = ++done;
            if (progress) {
                const std::lock_guard lock(progressMutex);
                progress(finished, jobs.size());
            }
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    return results;
}

}  // namespace varelo::cli
