// The varelo command line: builds an answer sheet through the settings dialog's own handlers.
#include <unistd.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "batch.h"
#include "edit.h"
#include "export_request.h"
#include "form_filling.h"
#include "host/application.h"
#include "host/docx/reader.h"
#include "host/docx/writer.h"
#include "layout/omr_template.h"
#include "layout/sheet_form.h"
#include "module_loader.h"
#include "options.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace {

using namespace varelo;

constexpr int kOk = 0, kRefused = 1, kUsage = 2;

using cli::ExportRequest;

// The renderer's entry point, or nothing (said on stderr) when this installation has none.
// Looked up before anything is written, so a missing renderer leaves no half-done output.
cli::ExportEntry Exporter(const ExportRequest& o) {
    if (!o.Any()) return nullptr;
    try {
        return cli::ModuleEntry<cli::ExportEntry>(cli::kRenderModule, cli::kExportEntry);
    } catch (const cli::ModuleError& e) {
        std::cerr << "varelo: --pdf and --png are not available: " << e.what() << '\n';
        return nullptr;
    }
}

int Export(cli::ExportEntry exporter, const host::Document& doc, const ExportRequest& o) {
    if (!exporter) return kOk;
    std::vector<std::string> written;
    std::string error;
    const bool ok = exporter(doc, o, written, error);
    for (const std::string& path : written) std::cout << path << '\n';
    if (ok) return kOk;
    std::cerr << "varelo: cannot export the sheet: " << error << '\n';
    return kRefused;
}

// The scanner template of the sheet just made, from the form it was made from.
int WriteOmrTemplate(const host::Document& doc, const layout::SheetForm& form,
                     const cli::GenerateOptions& o) {
    if (!o.omr) return kOk;
    try {
        const layout::OmrTemplate t =
            layout::BuildOmrTemplate(doc, form, settings::LayoutCode(form.cmbPage).value_or(0));
        const auto format =
            o.omrChecker ? layout::OmrFormat::OmrChecker : layout::OmrFormat::Varelo;
        for (const std::string& path : layout::WriteOmrTemplate(t, *o.omr, format, o.dpi))
            std::cout << path << '\n';
    } catch (const layout::OmrError& e) {
        std::cerr << "varelo: cannot write the scanner template: " << e.what() << '\n';
        return kRefused;
    }
    return kOk;
}

int Generate(const cli::GenerateOptions& o) {
    const ExportRequest exports{o.pdf, o.png, o.dpi};
    const cli::ExportEntry exporter = Exporter(exports);
    if (exports.Any() && !exporter) return kUsage;
    host::Application app;
    app.messageSink = [](const std::string& text) { std::cerr << text << '\n'; };

    layout::SheetForm form;
    settings::Form_Load(form);
    form.visible = true;
    form.cmbPage = o.layout;
    if (o.title) form.txtTitle = *o.title;
    if (o.subtitle) form.txtVice_Title = *o.subtitle;
    if (o.setter) form.txtName = *o.setter;
    if (o.digits) form.txtExam_NO = *o.digits;
    if (o.groups.empty() && !o.noGroups) {
        if (!cli::AddGroup(app, form, cli::DefaultGroup(form))) return kRefused;
    }
    for (const cli::GroupEntry& g : o.groups)
        if (!cli::AddGroup(app, form, g)) return kRefused;

    const host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) return kRefused;

    try {
        if (!o.outputGiven)
            std::filesystem::create_directories(std::filesystem::path(o.output).parent_path());
        host::SaveDocx(*doc, o.output);
    } catch (const host::SaveError& e) {
        std::cerr << "varelo: " << e.what() << '\n';  // the reason names the file
        return kRefused;
    } catch (const std::filesystem::filesystem_error& e) {
        std::cerr << "varelo: cannot create the folder for " << o.output << ": "
                  << e.code().message() << '\n';
        return kRefused;
    }
    std::cout << o.output << '\n';
    if (const int exported = Export(exporter, *doc, exports); exported != kOk) return exported;
    return WriteOmrTemplate(*doc, form, o);
}

// varelo batch JOBS.json -o DIR [--threads N]: many sheets on every core, with progress on
// a terminal and one summary line. A bad job is reported by its number; the others are written.
int Batch(const std::vector<std::string>& args) {
    cli::BatchOptions o;
    try {
        o = cli::ParseBatch(args);
    } catch (const cli::UsageError& e) {
        std::cerr << "varelo batch: " << e.what() << "; see varelo batch --help\n";
        return kUsage;
    }
    if (o.help) {
        std::cout << cli::kBatchHelp;
        return kOk;
    }
    std::vector<cli::BatchJob> jobs;
    try {
        std::ifstream in(o.jobs, std::ios::binary);
        if (!in) throw cli::JobFileError("cannot read " + o.jobs);
        std::ostringstream text;
        text << in.rdbuf();
        jobs = cli::ParseJobs(text.str());
        std::filesystem::create_directories(o.folder);
    } catch (const cli::JobFileError& e) {
        std::cerr << "varelo batch: " << e.what() << '\n';
        return kRefused;
    } catch (const std::filesystem::filesystem_error& e) {
        std::cerr << "varelo batch: cannot create " << o.folder << ": " << e.code().message()
                  << '\n';
        return kRefused;
    }

    const bool terminal = isatty(STDERR_FILENO) != 0;
    const auto start = std::chrono::steady_clock::now();
    const auto results = cli::RunJobs(jobs, o.folder, o.threads, [&](size_t done, size_t total) {
        if (terminal) std::cerr << "\rwriting sheets: " << done << '/' << total << std::flush;
    });
    if (terminal && !jobs.empty()) std::cerr << '\n';
    size_t failed = 0;
    for (size_t i = 0; i < results.size(); ++i) {
        if (results[i].ok()) continue;
        ++failed;
        std::cerr << "job " << i + 1 << ": " << results[i].error << '\n';
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << results.size() - failed << " of " << results.size() << " sheets written to "
              << o.folder << ", " << failed << " failed, in " << std::fixed << std::setprecision(2)
              << seconds << " s\n";
    return failed == 0 ? kOk : kRefused;
}

// varelo edit IN.docx -o OUT.docx --select ... --box ...: the command bar's tools on a saved
// sheet. A refused step writes nothing, so a script never keeps a half-finished sheet.
int Edit(const std::vector<std::string>& args) {
    cli::EditOptions o;
    try {
        o = cli::ParseEdit(args);
    } catch (const cli::UsageError& e) {
        std::cerr << "varelo edit: " << e.what() << "; see varelo edit --help\n";
        return kUsage;
    }
    if (o.help) {
        std::cout << cli::kEditHelp;
        return kOk;
    }
    const ExportRequest exports{o.pdf, o.png, o.dpi};
    const cli::ExportEntry exporter = Exporter(exports);
    if (exports.Any() && !exporter) return kUsage;  // refuse before reading anything
    host::Application app;
    app.messageSink = [](const std::string& text) { std::cerr << text << '\n'; };
    try {
        app.AdoptDocument(host::OpenDocx(o.input));
    } catch (const host::OpenError& e) {
        std::cerr << "varelo edit: " << e.what() << '\n';
        return kRefused;
    }
    const cli::EditOutcome outcome = cli::RunEditSteps(app, o.steps);
    if (!outcome.ok()) {
        std::cerr << "varelo edit: " << outcome.error << "; " << o.output << " was not written\n";
        return outcome.status == cli::EditOutcome::Usage ? kUsage : kRefused;
    }
    host::Document& doc = *app.ActiveDocument();
    try {
        host::SaveDocx(doc, o.output);
    } catch (const host::SaveError& e) {
        std::cerr << "varelo edit: " << e.what() << '\n';
        return kRefused;
    }
    std::cout << o.output << '\n';
    return Export(exporter, doc, exports);
}

int Run(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::cerr << cli::kMainHelp;
        return kUsage;
    }
    for (size_t i = 0; i < args.size(); ++i) {
        if (!cli::IsValidUtf8(args[i])) {
            std::cerr << "varelo: argument " << i + 1 << " is not valid UTF-8\n";
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
    if (command != "generate") {
        std::cerr << "varelo: unknown command \"" << command << "\"; see varelo --help\n";
        return kUsage;
    }
    cli::GenerateOptions options;
    try {
        options = cli::ParseGenerate({args.begin() + 1, args.end()});
    } catch (const cli::UsageError& e) {
        std::cerr << "varelo generate: " << e.what() << "; see varelo generate --help\n";
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
    try {
        return Run({argv + 1, argv + argc});
    } catch (const std::exception& e) {
        std::cerr << "varelo: " << e.what() << '\n';
        return kRefused;
    }
}
