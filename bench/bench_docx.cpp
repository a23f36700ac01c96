// The .docx writer on the largest sheet (A3, a page grid of 130 x 63 slots), against
// what zlib alone needs to deflate the same document.xml at the writer's level, and the
// reader on the same sheet.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/docx/parts.h"
#include "host/docx/reader.h"
#include "host/docx/writer.h"
#include "layout/sheet_form.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace {

using namespace varelo;

// The default "A3三栏" sheet with its default group of 30 items.
host::Document& A3Sheet(host::Application& app) {
    layout::SheetForm form;
    settings::Form_Load(form);
    form.visible = true;
    form.cmbPage = "A3三栏";
    settings::cmdAdd_Click(app, form);
    host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) throw std::runtime_error("the default settings were refused");
    return *doc;
}

void BM_DocxBytes(benchmark::State& state) {
    host::Application app;
    const host::Document& doc = A3Sheet(app);
    size_t size = 0;
    for (auto _ : state) {
        const std::string bytes = host::DocxBytes(doc);
        size = bytes.size();
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["docx_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_DocxBytes)->Unit(benchmark::kMillisecond);

void BM_DocumentXml(benchmark::State& state) {
    host::Application app;
    const host::Document& doc = A3Sheet(app);
    size_t size = 0;
    for (auto _ : state) {
        const std::string xml = host::docx::DocumentXml(doc);
        size = xml.size();
        benchmark::DoNotOptimize(xml.data());
    }
    state.counters["xml_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_DocumentXml)->Unit(benchmark::kMillisecond);

void BM_OpenDocx(benchmark::State& state) {
    host::Application app;
    const std::string bytes = host::DocxBytes(A3Sheet(app));
    for (auto _ : state) benchmark::DoNotOptimize(host::OpenDocxBytes(bytes));
}
BENCHMARK(BM_OpenDocx)->Unit(benchmark::kMillisecond);

// Raw deflate, as inside a zip, of the sheet's document.xml; the argument is the level.
void BM_DeflateDocumentXml(benchmark::State& state) {
    host::Application app;
    const std::string xml = host::docx::DocumentXml(A3Sheet(app));
    const int level = static_cast<int>(state.range(0));
    std::vector<Bytef> out;
    uLong size = 0;
    for (auto _ : state) {
        z_stream z{};
        if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2");
        out.resize(deflateBound(&z, xml.size()));
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
        z.avail_in = static_cast<uInt>(xml.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        size = z.total_out;
        deflateEnd(&z);
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["deflated_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_DeflateDocumentXml)
    ->Arg(host::docx::kDeflateLevel)
    ->Arg(6)
    ->Unit(benchmark::kMillisecond);

}  // namespace
