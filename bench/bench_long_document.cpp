// A body of 400,000 empty paragraphs (a few kilobytes as a .docx): laying it out and exporting
// it must stay linear in the number of paragraphs. Its own binary, so that the process's peak
// resident memory (reported as peak_MB) is this document's alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "doc/document.h"
#include "render/export.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace {

using namespace varelo;

constexpr int kParagraphs = 400000;

const host::Document& LongDocument() {
    static const host::Document doc = [] {
        host::Document d;
        d.body.resize(kParagraphs);
        return d;
    }();
    return doc;
}

void ReportPeak(benchmark::State& state) {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_LayOutManyParagraphs(benchmark::State& state) {
    render::EnsureGuiApplication();
    const host::Document& doc = LongDocument();
    for (auto _ : state) {
        const render::PageRenderer renderer(doc);
        state.counters["pages"] = renderer.PageCount();
    }
    ReportPeak(state);
}
BENCHMARK(BM_LayOutManyParagraphs)->Unit(benchmark::kMillisecond)->Iterations(3);

// Layout and every page drawn into a PDF file.
void BM_PdfOfManyParagraphs(benchmark::State& state) {
    render::EnsureGuiApplication();
    const host::Document& doc = LongDocument();
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("varelo-long-" + std::to_string(getpid()) + ".pdf"))
                                 .string();
    for (auto _ : state) render::ExportPdf(doc, path);
    std::filesystem::remove(path);
    ReportPeak(state);
}
BENCHMARK(BM_PdfOfManyParagraphs)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
