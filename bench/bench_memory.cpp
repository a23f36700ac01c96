// Peak heap of one sheet from settings to .docx bytes. The bench binary counts every
// allocation through the global operator new, so the figure is the live heap the program
// needs, not what the allocator happens to keep.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <pugixml.hpp>
#include <string>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/driver.h"
#include "doc/application.h"
#include "docx/writer.h"
#include "roster_fixture.h"
#include "tables/roster.h"

namespace {

std::atomic<long long> liveBytes{0}, peakBytes{0};

void Count(long long delta) {
    const long long now = liveBytes.fetch_add(delta) + delta;
    long long peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
}

// Each block carries its size in front, so delete can subtract it.
constexpr size_t kHeader = alignof(std::max_align_t);

void* Allocate(size_t n) {
    void* p = std::malloc(n + kHeader);
    if (!p) throw std::bad_alloc();
    *static_cast<size_t*>(p) = n;
    Count(static_cast<long long>(n));
    return static_cast<char*>(p) + kHeader;
}

void Release(void* p) noexcept {
    if (!p) return;
    char* block = static_cast<char*>(p) - kHeader;
    Count(-static_cast<long long>(*reinterpret_cast<size_t*>(block)));
    std::free(block);
}

}  // namespace

void* operator new(size_t n) {
    return Allocate(n);
}
void* operator new[](size_t n) {
    return Allocate(n);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, size_t) noexcept {
    Release(p);
}

namespace {

using namespace varelo;

void BM_PeakHeapOfOneSheet(benchmark::State& state) {
    long long peak = 0;
    for (auto _ : state) {
        const long long base = liveBytes.load();
        peakBytes.store(base);
        {
            host::Application app;
            settings::SheetForm form;
            settings::Form_Load(form);
            form.visible = true;
            form.cmbPage = "A3三栏";
            settings::cmdAdd_Click(app, form);
            const std::string docx = host::DocxBytes(*settings::OKButton_Click(app, form));
            benchmark::DoNotOptimize(docx.data());
        }
        peak = std::max(peak, peakBytes.load() - base);
    }
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
}
BENCHMARK(BM_PeakHeapOfOneSheet)->Unit(benchmark::kMillisecond);

// A roster of 5,000 students read from its bytes: the table and the students it gives, and
// for an .xlsx the parsed parts, whose nodes pugixml allocates with malloc unless told.
void BM_PeakHeapOfRoster(benchmark::State& state, bool xlsx) {
    pugi::set_memory_management_functions(Allocate, Release);
    const std::string bytes =
        xlsx ? bench::RosterXlsx(5000) : bench::Gb18030Of(bench::RosterCsv(5000));
    long long peak = 0;
    for (auto _ : state) {
        const long long base = liveBytes.load();
        peakBytes.store(base);
        {
            const tables::Roster roster =
                tables::ReadRoster(tables::ReadTableBytes(bytes, "roster"), 10);
            benchmark::DoNotOptimize(roster.students.data());
        }
        peak = std::max(peak, peakBytes.load() - base);
    }
    pugi::set_memory_management_functions(std::malloc, std::free);
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    state.counters["file_KB"] = static_cast<double>(bytes.size()) / 1024.0;
}
BENCHMARK_CAPTURE(BM_PeakHeapOfRoster, csv_gb18030, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakHeapOfRoster, xlsx, true)->Unit(benchmark::kMillisecond);

}  // namespace
