#include "batch.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "form_filling.h"
#include "host/docx/writer.h"
#include "host/numbers.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace varelo::cli {

namespace {

using nlohmann::json;

std::string Where(size_t index, const char* key) {
    return "job " + std::to_string(index + 1) + ": \"" + key + "\"";
}

std::optional<std::string> Text(const json& object, const char* key, size_t index) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) throw JobFileError(Where(index, key) + " must be text");
    return it->get<std::string>();
}

// Numbers may be given as numbers or as the text the dialog would hold.
std::optional<std::string> NumberOrText(const json& object, const char* key, size_t index) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) return std::nullopt;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_number()) return host::NumberToText(it->get<double>());
    throw JobFileError(Where(index, key) + " must be a number or text");
}

GroupEntry ParseGroupObject(const json& g, size_t index) {
    if (!g.is_object()) throw JobFileError(Where(index, "groups") + " must hold objects");
    GroupEntry entry;
    entry.name = Text(g, "name", index).value_or("");
    entry.items = NumberOrText(g, "items", index).value_or("");
    entry.options = NumberOrText(g, "options", index).value_or("");
    entry.points = NumberOrText(g, "points", index).value_or("");
    const std::string labels = Text(g, "labels", index).value_or("字母");
    if (labels != "字母" && labels != "数字")
        throw JobFileError(Where(index, "labels") + " must be \"字母\" or \"数字\"");
    entry.digits = labels == "数字";
    return entry;
}

std::string SafeFileName(const std::string& name, size_t index) {
    const std::filesystem::path p(name);
    if (name.empty() || p.has_parent_path() || p.is_absolute() || name == "." || name == "..")
        throw JobFileError(Where(index, "output") + " must be a file name without folders");
    return name;
}

}  // namespace

std::vector<BatchJob> ParseJobs(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::parse_error& e) {
        throw JobFileError(std::string("not valid JSON: ") + e.what());
    }
    if (!root.is_array()) throw JobFileError("the job file must hold a JSON array of jobs");
    std::vector<BatchJob> jobs;
    jobs.reserve(root.size());
    for (size_t i = 0; i < root.size(); ++i) {
        const json& j = root[i];
        if (!j.is_object())
            throw JobFileError("job " + std::to_string(i + 1) + " must be an object");
        BatchJob job;
        job.layout = Text(j, "layout", i);
        job.title = Text(j, "title", i);
        job.subtitle = Text(j, "subtitle", i);
        job.setter = Text(j, "setter", i);
        job.digits = NumberOrText(j, "digits", i);
        if (const auto it = j.find("groups"); it != j.end() && !it->is_null()) {
            if (!it->is_array()) throw JobFileError(Where(i, "groups") + " must be an array");
            job.groups.emplace();
            for (const json& g : *it) job.groups->push_back(ParseGroupObject(g, i));
        }
        if (auto out = Text(j, "output", i)) job.output = SafeFileName(*out, i);
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::string NumberedName(size_t index, size_t count) {
    std::string number = std::to_string(index + 1);
    const size_t width = std::max<size_t>(3, std::to_string(count).size());
    if (number.size() < width) number.insert(0, width - number.size(), '0');
    return "sheet-" + number + ".docx";
}

JobResult RunJob(const BatchJob& job, size_t index, size_t count, const std::string& folder) {
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
            return {"", app.messages.empty() ? "refused" : app.messages.back()};

    const host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) return {"", app.messages.empty() ? "refused" : app.messages.back()};
    const std::string path =
        (std::filesystem::path(folder) / job.output.value_or(NumberedName(index, count))).string();
    try {
        host::SaveDocx(*doc, path);
    } catch (const std::exception& e) {
        return {"", e.what()};
    }
    return {path, ""};
}

std::vector<JobResult> RunJobs(const std::vector<BatchJob>& jobs, const std::string& folder,
                               unsigned threads,
                               const std::function<void(size_t, size_t)>& progress) {
    std::vector<JobResult> results(jobs.size());
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    threads = static_cast<unsigned>(std::min<size_t>(threads, std::max<size_t>(1, jobs.size())));
    std::atomic<size_t> next{0}, done{0};
    std::mutex progressMutex;
    const auto work = [&] {
        for (size_t i = next++; i < jobs.size(); i = next++) {
            results[i] = RunJob(jobs[i], i, jobs.size(), folder);
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
