// The varelo command line: builds an answer sheet through the settings dialog's own handlers.

#include <algorithm>
#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <variant>
#include <vector>

#include "base/local_time_zone.h"
#include "base/parallel_for.h"
#include "base/printable.h"
#include "base/utf8.h"
#include "batch.h"
#include "command_files.h"
#include "compose/driver.h"
#include "compose/generators.h"
#include "compose/sheet_exam.h"
#include "compose/sheet_settings_part.h"
#include "compose/template_reading.h"
#include "doc/application.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "edit.h"
#include "exam_request.h"
#include "export_request.h"
#include "module_loader.h"
#include "options.h"
#include "read_command.h"
#include "scan/scan_limits.h"

namespace {

using namespace varelo;

constexpr int kOk = 0, kRefused = 1, kUsage = 2;

// Every message goes to the terminal with its control characters spelt out: names and values
// come from users and job files, and must not rewrite the screen.
void Complain(const std::string& message) {
    std::cerr << host::Printable(message, /*keepNewlines=*/true) << '\n';
}

// A file written, one per line, for scripts and for the eye.
void Announce(const std::string& path) {
    std::cout << host::Printable(path) << '\n';
}

using cli::ExportRequest;

// The renderer's entry point, or nothing (said on stderr) when this installation has none.
// Looked up before anything is written, so a missing renderer leaves no half-done output.
cli::ExportEntry Exporter(const ExportRequest& o) {
    if (!o.Any()) return nullptr;
    try {
        return cli::ModuleEntry<cli::ExportEntry>(cli::kRenderModule, cli::kExportEntry);
    } catch (const cli::ModuleError& e) {
        Complain(std::string("varelo: --pdf and --png are not available: ") + e.what());
        return nullptr;
    }
}

int Export(cli::ExportEntry exporter, const host::Document& doc, const ExportRequest& o) {
    if (!exporter) return kOk;
    std::vector<std::string> written;
    std::string error;
    bool ok = false;
    try {
        if (o.pdf) cli::MakeFolderFor(*o.pdf);
        if (o.png) cli::MakeFolderFor(*o.png);
        ok = exporter(doc, o, written, error);
    } catch (const host::SaveError& e) {
        error = e.what();
    }
    for (const std::string& path : written) Announce(path);
    if (ok) return kOk;
    Complain("varelo: cannot export the sheet: " + error);
    return kRefused;
}

// --omr, --omr-format and --dpi, as generate and edit take them.
struct OmrRequest {
    std::optional<std::string> omr;
    bool omrChecker = false;
    int dpi = 0;
};

// The scanner template of a sheet, from the exam it was made from.
int WriteOmrTemplate(const host::Document& doc,
                     const std::function<settings::ValidExam()>& examOfSheet, const OmrRequest& o) {
    if (!o.omr) return kOk;
    try {
        const settings::ValidExam made = examOfSheet();
        const layout::OmrTemplate t = layout::BuildOmrTemplate(doc, made.exam, made.plan);
        const auto format =
            o.omrChecker ? layout::OmrFormat::OmrChecker : layout::OmrFormat::Varelo;
        cli::MakeFolderFor(*o.omr);
        for (const std::string& path : layout::WriteOmrTemplate(t, *o.omr, format, o.dpi))
            Announce(path);
        for (size_t page = 1; o.omrChecker && page <= t.pages.size(); ++page)
            if (!layout::PageHasBubbles(t, static_cast<int>(page)))
                Complain("varelo: page " + std::to_string(page) +
                         " has no bubbles: no OMRChecker template written for it");
    } catch (const std::exception& e) {
        Complain(std::string("varelo: cannot write the scanner template: ") + e.what());
        return kRefused;
    }
    return kOk;
}

// The exam of a saved sheet, for generate --from: its settings, or where an office program
// dropped them, its page grid read.
std::optional<settings::SavedSettings> SheetToRemake(const std::string& path) {
    try {
        const std::unique_ptr<host::Document> doc = host::OpenDocx(path);
        if (std::optional<settings::SavedSettings> saved = settings::SheetSettingsOf(*doc))
            return saved;
        settings::SavedSettings inferred;
        inferred.draft = exam::DraftOf(settings::ExamOfGrid(*doc).exam);
        return inferred;
    } catch (const host::OpenError& e) {
        Complain(std::string("varelo generate: ") + e.what());
    } catch (const settings::SheetSettingsError& e) {
        Complain("varelo generate: the sheet settings in " + host::Quoted(path) +
                 " cannot be read (" + e.what() + "); nothing was written");
    } catch (const layout::OmrError& e) {
        Complain("varelo generate: the exam of " + host::Quoted(path) +
                 " cannot be told: " + e.what() + ". Nothing was written");
    }
    return std::nullopt;
}

// generate --copies N --pdf FILE: the sheet N times in one PDF, each copy's codes carrying its
// serial; the document is given back with the codes it was saved with.
int ExportCopies(host::Document& doc, const exam::Exam& exam, int copies, const std::string& pdf) {
    cli::CopiesEntry entry = nullptr;
    try {
        entry = cli::ModuleEntry<cli::CopiesEntry>(cli::kRenderModule, cli::kCopiesEntry);
    } catch (const cli::ModuleError& e) {
        Complain(std::string("varelo: --copies is not available: ") + e.what());
        return kRefused;
    }
    const auto prepare = [&](int copy) {
        layout::NumberPageCodes(doc, exam.layout, exam.examId, copy);
    };
    std::string error;
    bool ok = false;
    try {
        cli::MakeFolderFor(pdf);
        ok = entry(doc, copies, prepare, pdf, host::TerminalProgress("numbering sheets"), error);
    } catch (const host::SaveError& e) {
        error = e.what();
    }
    // The codes back as the .docx has them, for what is written after.
    layout::NumberPageCodes(doc, exam.layout, exam.examId, std::nullopt);
    if (ok) {
        Announce(pdf);
        return kOk;
    }
    Complain("varelo: cannot export the numbered sheets: " + error);
    return kRefused;
}

int Generate(const cli::GenerateOptions& o) {
    if (const auto clash = cli::FindClash(o)) {
        Complain("varelo generate: " + *clash + "; nothing was written");
        return kUsage;
    }
    // The numbered PDF is made apart from the sheet's own exports.
    const ExportRequest exports{o.copies > 0 ? std::nullopt : o.pdf, o.png, o.dpi};
    const cli::ExportEntry exporter = Exporter({o.pdf, o.png, o.dpi});
    if ((o.pdf || o.png) && !exporter) return kUsage;
    host::Application app;
    app.messageSink = [](const std::string& text) { Complain(text); };

    cli::ExamRequest request{o.layout, o.title,    o.subtitle, o.setter,   o.digits,
                             {},       o.sections, o.marks,    o.pageCode, o.examId};
    if (!o.groups.empty() || o.noGroups) request.groups = o.groups;
    // Numbered sheets are told apart by their codes alone.
    if (o.copies > 0) request.pageCode = exam::PageCodeChoice::On;
    std::variant<cli::RequestedExam, std::string> checked;
    if (o.from) {
        const std::optional<settings::SavedSettings> sheet = SheetToRemake(*o.from);
        if (!sheet) return kRefused;
        checked = cli::CheckRequestOver(*sheet, request, o.layoutGiven);
    } else {
        checked = cli::CheckRequest(request);
    }
    if (const std::string* refusal = std::get_if<std::string>(&checked)) {
        app.ShowMessage(*refusal);
        return kRefused;
    }
    const cli::RequestedExam& made = std::get<cli::RequestedExam>(checked);
    host::Document* doc = &settings::MakeSheet(app, made.valid, made.entry);

    try {
        cli::MakeFolderFor(o.output);
        host::SaveDocx(*doc, o.output);
    } catch (const host::SaveError& e) {
        Complain(std::string("varelo: ") + e.what());  // the reason names the file
        return kRefused;
    }
    Announce(o.output);
    if (const int exported = Export(exporter, *doc, exports); exported != kOk) return exported;
    if (o.copies > 0) {
        const int numbered = ExportCopies(*doc, made.valid.exam, o.copies, *o.pdf);
        if (numbered != kOk) return numbered;
    }
    return WriteOmrTemplate(*doc, [&] { return made.valid; }, {o.omr, o.omrChecker, o.dpi});
}

// The batch's PDF and PNG pages through the render module. Qt's application starts in the main
// thread (an empty request); the workers then paint one sheet at a time, as the renderer's
// font caches are shared.
cli::SheetExporter BatchExporter(cli::ExportEntry entry) {
    std::vector<std::string> none;
    std::string error;
    if (!entry({}, ExportRequest{}, none, error)) throw std::runtime_error(error);
    return [entry](const host::Document& doc, const std::optional<std::string>& pdf,
                   const std::optional<std::string>& png, int dpi) {
        static std::mutex oneAtATime;
        const std::lock_guard lock(oneAtATime);
        std::vector<std::string> written;
        std::string error;
        if (!entry(doc, ExportRequest{pdf, png, dpi}, written, error))
            throw std::runtime_error(error);
        return written;
    };
}

// varelo batch JOBS.json -o DIR [--pdf] [--png] [--omr] ...: many sheets on every core, with
// progress on a terminal and one summary line. A bad job is reported by its number; the others
// are written.
int Batch(const std::vector<std::string>& args) {
    cli::BatchOptions o;
    try {
        o = cli::ParseBatch(args);
    } catch (const cli::UsageError& e) {
        Complain(std::string("varelo batch: ") + e.what() + "; see varelo batch --help");
        return kUsage;
    }
    if (o.help) {
        std::cout << cli::kBatchHelp;
        return kOk;
    }
    std::vector<cli::BatchJob> jobs;
    try {
        const std::string text = cli::ReadJobFile(o.jobs);
        try {
            jobs = cli::ParseJobs(text);
        } catch (const cli::JobFileError& e) {
            throw cli::JobFileError(host::Quoted(o.jobs) + ": " + e.what());
        }
        std::filesystem::create_directories(o.folder);
    } catch (const cli::JobFileError& e) {
        Complain(std::string("varelo batch: ") + e.what());
        return kRefused;
    } catch (const std::filesystem::filesystem_error& e) {
        Complain("varelo batch: cannot create the folder " + host::Quoted(o.folder) + ": " +
                 e.code().message());
        return kRefused;
    }
    cli::BatchSettings settings;
    settings.folder = o.folder;
    settings.threads = o.threads;
    settings.pdf = o.pdf;
    settings.png = o.png;
    settings.omr = o.omr;
    settings.omrChecker = o.omrChecker;
    settings.dpi = o.dpi;
    settings.jobFile = o.jobs;
    const bool rendering = std::any_of(jobs.begin(), jobs.end(), [&](const cli::BatchJob& j) {
        return j.pdf.value_or(o.pdf) || j.png.value_or(o.png);
    });
    if (rendering) {
        // Refused before anything is written when asked for on the command line; a job that
        // asks for it alone fails alone.
        const cli::ExportEntry entry = Exporter(ExportRequest{std::string(), {}, o.dpi});
        if (!entry && (o.pdf || o.png)) return kUsage;
        if (entry) settings.exporter = BatchExporter(entry);
    }

    const auto start = std::chrono::steady_clock::now();
    const auto results = cli::RunJobs(jobs, settings, host::TerminalProgress("writing sheets"));
    size_t failed = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].ok()) continue;
        ++failed;
        Complain("job " + std::to_string(i + 1) + ": " + results[i].error);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << results.size() - failed << " of " << results.size() << " sheets written to "
              << host::Printable(o.folder) << ", " << failed << " failed, in " << std::fixed
              << std::setprecision(2) << seconds << " s\n";
    return failed == 0 ? kOk : kRefused;
}

// varelo edit IN.docx -o OUT.docx --select ... --box ...: the command bar's tools on a saved
// sheet. A refused step writes nothing, so a script never keeps a half-finished sheet.
int Edit(const std::vector<std::string>& args) {
    cli::EditOptions o;
    try {
        o = cli::ParseEdit(args);
    } catch (const cli::UsageError& e) {
        Complain(std::string("varelo edit: ") + e.what() + "; see varelo edit --help");
        return kUsage;
    }
    if (o.help) {
        std::cout << cli::kEditHelp;
        return kOk;
    }
    if (const auto clash = cli::FindClash(o)) {
        Complain("varelo edit: " + *clash + "; nothing was written");
        return kUsage;
    }
    const ExportRequest exports{o.pdf, o.png, o.dpi};
    const cli::ExportEntry exporter = Exporter(exports);
    if (exports.Any() && !exporter) return kUsage;  // refuse before reading anything
    host::Application app;
    app.messageSink = [](const std::string& text) { Complain(text); };
    app.noticeSink = [](const std::string& text) { Complain(text); };
    try {
        app.AdoptDocument(host::OpenDocx(o.input));
    } catch (const host::OpenError& e) {
        Complain(std::string("varelo edit: ") + e.what());
        return kRefused;
    }
    if (app.ActiveDocument()->ReadOnly()) {
        Complain("varelo edit: " + host::UnmodelledMessage(*app.ActiveDocument()) + " " +
                 host::Quoted(o.output) + " was not written");
        return kRefused;
    }
    // The template comes from the settings the sheet carries: without them nothing is written.
    std::optional<settings::SavedSettings> form;
    std::optional<settings::ValidExam> inferred;
    if (o.omr) {
        try {
            form = settings::SheetSettingsOf(*app.ActiveDocument());
        } catch (const settings::SheetSettingsError& e) {
            Complain("varelo edit: the sheet settings in " + host::Quoted(o.input) +
                     " cannot be read (" + e.what() + "); nothing was written");
            return kRefused;
        }
        // An office program may have dropped the settings: read them off the grid.
        if (!form) try {
                inferred = settings::ExamOfGrid(*app.ActiveDocument());
            } catch (const layout::OmrError& e) {
                Complain("varelo edit: the scanner template of " + host::Quoted(o.input) +
                         " cannot be made: " + e.what() + ". Nothing was written");
                return kRefused;
            }
    }
    const cli::EditOutcome outcome = cli::RunEditSteps(app, o.steps, o.force);
    if (!outcome.ok()) {
        Complain("varelo edit: " + outcome.error + "; " + host::Quoted(o.output) +
                 " was not written");
        return outcome.status == cli::EditOutcome::Usage ? kUsage : kRefused;
    }
    host::Document& doc = *app.ActiveDocument();
    try {
        cli::MakeFolderFor(o.output);
        host::SaveDocx(doc, o.output);
    } catch (const host::SaveError& e) {
        Complain(std::string("varelo edit: ") + e.what());
        return kRefused;
    }
    Announce(o.output);
    if (const int exported = Export(exporter, doc, exports); exported != kOk) return exported;
    if (!o.omr) return kOk;
    return WriteOmrTemplate(
        doc, [&] { return form ? settings::ExamOfSettings(form->draft) : *inferred; },
        {o.omr, o.omrChecker, o.dpi});
}

// varelo read: the command is in the read module, with OpenCV and poppler.
int Read(const std::vector<std::string>& args) {
    // OpenCV takes its limit on an image's size from the environment once, as it is loaded:
    // set to the reader's, a picture too large is refused from its header instead of being
    // decoded first (a 20000 x 20000 PNG of a few kilobytes takes 400 MB). A limit the user
    // set stays.
    setenv("OPENCV_IO_MAX_IMAGE_PIXELS",
           std::to_string(static_cast<long long>(read::kMaxScanPixels)).c_str(), 0);
    cli::ReadEntry read = nullptr;
    try {
        read = cli::ModuleEntry<cli::ReadEntry>(cli::kReadModule, cli::kReadEntry);
    } catch (const cli::ModuleError& e) {
        Complain(std::string("varelo read: not available: ") + e.what());
        return kRefused;
    }
    return read(args);
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << cli::kMainHelp;
        return kUsage;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (!host::IsValidUtf8(args[i])) {
            Complain("varelo: argument " + std::to_string(i + 1) + " is not valid UTF-8");
            return kUsage;
        }
    }
    const std::string& command = args.front();
    if (command == "-h" || command == "--help" || command == "help") {
        std::cout << cli::kMainHelp;
        return kOk;
    }
    if (command == "batch") return Batch({args.begin() + 1, args.end()});
    if (command == "edit") return Edit({args.begin() + 1, args.end()});
    if (command == "read") return Read({args.begin() + 1, args.end()});
    if (command != "generate") {
        Complain("varelo: unknown command " + host::Quoted(command) + "; see varelo --help");
        return kUsage;
    }
    cli::GenerateOptions options;
    try {
        options = cli::ParseGenerate({args.begin() + 1, args.end()});
    } catch (const cli::UsageError& e) {
        Complain(std::string("varelo generate: ") + e.what() + "; see varelo generate --help");
        return kUsage;
    }
    if (options.help) {
        std::cout << cli::kGenerateHelp;
        return kOk;
    }
    return Generate(options);
}

}  // namespace

int main(int argc, char** argv) {
    varelo::host::ReadLocalTimeZoneOnce();
    try {
        return Run({argv + 1, argv + argc});
    } catch (const std::exception& e) {
        Complain(std::string("varelo: ") + e.what());
        return kRefused;
    }
}
