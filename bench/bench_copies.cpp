// Numbered sheets: one PDF of N copies of a coded A3 sheet, each copy's two codes made for its
// serial and the copy laid out and drawn anew (varelo generate --copies N --pdf).
#ifdef VARELO_WITH_RENDER

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/generators.h"
#include "doc/application.h"
#include "render/export.h"
#include "render/gui_app.h"

namespace {

using namespace varelo;

constexpr const char* kExamId = "0123456789abcdef";

// The A3三栏 sheet of three full groups (page 2 holds bubbles), codes on.
struct CodedSheet {
    host::Application app;
    host::Document* doc = nullptr;

    CodedSheet() {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        render::EnsureGuiApplication();
        settings::SheetForm form;
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = "A3三栏";
        form.txtQ_Count = "60";
        for (int g = 0; g < 3; ++g) settings::cmdAdd_Click(app, form);
        form.chkPageCode = settings::SheetForm::kChecked;
        form.examId = kExamId;
        doc = settings::OKButton_Click(app, form);
        if (!doc || layout::NumberPageCodes(*doc, exam::Layout::A3Three, kExamId, 1) != 2)
            throw std::runtime_error("no coded sheet was generated");
    }
};

void BM_NumberedPdf(benchmark::State& state) {
    static CodedSheet sheet;
    const int copies = static_cast<int>(state.range(0));
    const std::string path =
        (std::filesystem::temp_directory_path() / "varelo-bench-copies.pdf").string();
    for (auto _ : state)
        render::ExportPdfCopies(
            *sheet.doc, copies,
            [&](int copy) {
                layout::NumberPageCodes(*sheet.doc, exam::Layout::A3Three, kExamId, copy);
            },
            path);
    state.counters["ms_per_sheet"] = benchmark::Counter(
        static_cast<double>(copies) * 1e-3,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    std::filesystem::remove(path);
}
BENCHMARK(BM_NumberedPdf)->Arg(100)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace

#endif
