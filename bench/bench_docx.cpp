// The .docx writer on the largest sheet (A3, a page grid of 130 x 63 slots), against
// what zlib alone needs to deflate the same document.xml at the writer's level and to
// checksum it, and the reader on the same sheet.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "base/local_time_zone.h"
#include "compose/driver.h"
#include "doc/application.h"
#include "docx/package_reader.h"
#include "docx/parts.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx/xml.h"

namespace {

using namespace varelo;

// The programs name their time zone before anything else runs; the benchmarks run as they do.
const bool kTimeZoneNamed = (host::ReadLocalTimeZoneOnce(), true);

// The default "A3三栏" sheet with its default group of 30 items.
host::Document& A3Sheet(host::Application& app) {
    settings::SheetForm form;
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

// Into one buffer kept across iterations, so that fresh pages for each string (whose cost
// depends on what ran before) do not count as the writer's.
void BM_DocumentXml(benchmark::State& state) {
    host::Application app;
    const host::Document& doc = A3Sheet(app);
    std::string xml;
    host::docx::WriteDocumentXml(doc, [&](std::string_view piece) { xml += piece; });
    for (auto _ : state) {
        xml.clear();
        host::docx::WriteDocumentXml(doc, [&](std::string_view piece) { xml += piece; });
        benchmark::DoNotOptimize(xml.data());
    }
    state.counters["xml_bytes"] = static_cast<double>(xml.size());
}
BENCHMARK(BM_DocumentXml)->Unit(benchmark::kMillisecond);

// The pugixml the reader was measured with: its version, and whether its accessors are
// compiled into the reader (a header-only build) or called in the library.
std::string PugixmlBuild() {
    std::string label = "pugixml " + std::to_string(PUGIXML_VERSION / 1000) + "." +
                        std::to_string(PUGIXML_VERSION % 1000 / 10);
#ifdef PUGIXML_HEADER_ONLY
    label += ", header-only";
#else
    label += ", accessors in the library";
#endif
#ifdef PUGIXML_COMPACT
    label += ", compact";
#endif
    return label;
}

void BM_OpenDocx(benchmark::State& state) {
    host::Application app;
    const std::string bytes = host::DocxBytes(A3Sheet(app));
    for (auto _ : state) benchmark::DoNotOptimize(host::OpenDocxBytes(bytes));
    state.SetLabel(PugixmlBuild());
}
BENCHMARK(BM_OpenDocx)->Unit(benchmark::kMillisecond);

// The share of opening that is pugixml's: parsing the sheet's document.xml as the reader does.
void BM_ParseDocumentXml(benchmark::State& state) {
    host::Application app;
    const std::string xml = host::docx::DocumentXml(A3Sheet(app));
    for (auto _ : state)
        benchmark::DoNotOptimize(host::docx::ParsePart(xml, host::docx::kDocumentPart));
}
BENCHMARK(BM_ParseDocumentXml)->Unit(benchmark::kMillisecond);

// The yardstick of the writer: what any zip writer pays for the sheet's document.xml, raw
// deflate at the writer's level and the entry's crc32, with the stream and the output kept
// across iterations so that only the work is timed. The argument is the level: zlib's fastest
// and default levels beside the writer's show that no level of zlib deflates this sheet for less.
void BM_DeflateDocumentXml(benchmark::State& state) {
    host::Application app;
    const std::string xml = host::docx::DocumentXml(A3Sheet(app));
    z_stream z{};
    if (deflateInit2(&z, static_cast<int>(state.range(0)), Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<Bytef> out(deflateBound(&z, xml.size()));
    uLong size = 0;
    for (auto _ : state) {
        deflateReset(&z);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
        z.avail_in = static_cast<uInt>(xml.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
        size = z.total_out;
        const uLong crc =
            crc32(0, reinterpret_cast<const Bytef*>(xml.data()), static_cast<uInt>(xml.size()));
        benchmark::DoNotOptimize(crc);
        benchmark::DoNotOptimize(out.data());
    }
    deflateEnd(&z);
    state.counters["deflated_bytes"] = static_cast<double>(size);
}
BENCHMARK(BM_DeflateDocumentXml)
    ->Arg(host::docx::kDeflateLevel)
    ->Arg(1)
    ->Arg(6)
    ->Unit(benchmark::kMillisecond);

// The floor of the reader's package layer: inflating the sheet's deflated document.xml and
// checking its crc32, with the stream and the output kept across iterations.
void BM_InflateDocumentXml(benchmark::State& state) {
    host::Application app;
    const std::string xml = host::docx::DocumentXml(A3Sheet(app));
    z_stream z{};
    if (deflateInit2(&z, host::docx::kDeflateLevel, Z_DEFLATED, -MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::vector<Bytef> deflated(deflateBound(&z, xml.size()));
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(xml.data()));
    z.avail_in = static_cast<uInt>(xml.size());
    z.next_out = deflated.data();
    z.avail_out = static_cast<uInt>(deflated.size());
    if (deflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("deflate");
    deflated.resize(z.total_out);
    deflateEnd(&z);
    z = z_stream{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK) throw std::runtime_error("inflateInit2");
    std::vector<Bytef> out(xml.size());
    for (auto _ : state) {
        inflateReset(&z);
        z.next_in = deflated.data();
        z.avail_in = static_cast<uInt>(deflated.size());
        z.next_out = out.data();
        z.avail_out = static_cast<uInt>(out.size());
        if (inflate(&z, Z_FINISH) != Z_STREAM_END) throw std::runtime_error("inflate");
        const uLong crc = crc32(0, out.data(), static_cast<uInt>(out.size()));
        benchmark::DoNotOptimize(crc);
        benchmark::DoNotOptimize(out.data());
    }
    inflateEnd(&z);
}
BENCHMARK(BM_InflateDocumentXml)->Unit(benchmark::kMillisecond);

// The reader's package layer on the sheet: opening the package and reading document.xml out
// of it, checked, into the memory pugixml then parses.
void BM_ReadDocumentXmlPart(benchmark::State& state) {
    host::Application app;
    const std::string bytes = host::DocxBytes(A3Sheet(app));
    for (auto _ : state) {
        host::docx::PackageReader package(bytes);
        benchmark::DoNotOptimize(package.ReadToParse(host::docx::kDocumentPart));
    }
}
BENCHMARK(BM_ReadDocumentXmlPart)->Unit(benchmark::kMillisecond);

}  // namespace
