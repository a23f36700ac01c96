#include <benchmark/benchmark.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/driver.h"
#include "doc/application.h"
#include "docx/writer.h"

namespace {

using namespace varelo;

constexpr const char* kLayoutNames[] = {"A3三栏",  "A3双栏", "8开三栏",
                                        "8开双栏", "A4单栏", "B5单栏"};

// The dialog at its defaults with the default group of 30 items, on the given layout.
void FillForm(host::Application& app, settings::SheetForm& form, int64_t code) {
    settings::Form_Load(form);
    form.visible = true;
    form.cmbPage = kLayoutNames[code - 1];
    settings::cmdAdd_Click(app, form);
}

host::Document& MakeSheet(host::Application& app, int64_t code) {
    settings::SheetForm form;
    FillForm(app, form, code);
    host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) throw std::runtime_error("the default settings were refused");
    return *doc;
}

void BM_SettingsToDocument(benchmark::State& state) {
    state.SetLabel(kLayoutNames[state.range(0) - 1]);
    for (auto _ : state) {
        host::Application app;
        benchmark::DoNotOptimize(&MakeSheet(app, state.range(0)));
    }
}
BENCHMARK(BM_SettingsToDocument)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

void BM_SettingsToDocxBytes(benchmark::State& state) {
    state.SetLabel(kLayoutNames[state.range(0) - 1]);
    size_t bytes = 0;
    for (auto _ : state) {
        host::Application app;
        const std::string docx = host::DocxBytes(MakeSheet(app, state.range(0)));
        bytes = docx.size();
        benchmark::DoNotOptimize(docx.data());
    }
    state.counters["docx_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_SettingsToDocxBytes)->DenseRange(1, 6)->Unit(benchmark::kMillisecond);

}  // namespace
