// Reading a school's roster of 5,000 students into students: CSV in UTF-8 and in GB18030, and
// an .xlsx. Peak heap of the same in bench_memory.cpp.
#include <benchmark/benchmark.h>

#include "roster_fixture.h"
#include "tables/roster.h"

namespace {

using namespace varelo;

constexpr int kStudents = 5000;

void ReadRoster(benchmark::State& state, const std::string& bytes) {
    for (auto _ : state) {
        const tables::Roster roster =
            tables::ReadRoster(tables::ReadTableBytes(bytes, "roster"), 10);
        benchmark::DoNotOptimize(roster.students.data());
    }
    state.counters["file_KB"] = static_cast<double>(bytes.size()) / 1024.0;
}

void BM_RosterCsvUtf8(benchmark::State& state) {
    ReadRoster(state, bench::RosterCsv(kStudents));
}
BENCHMARK(BM_RosterCsvUtf8)->Unit(benchmark::kMillisecond);

void BM_RosterCsvGb18030(benchmark::State& state) {
    ReadRoster(state, bench::Gb18030Of(bench::RosterCsv(kStudents)));
}
BENCHMARK(BM_RosterCsvGb18030)->Unit(benchmark::kMillisecond);

void BM_RosterXlsx(benchmark::State& state) {
    ReadRoster(state, bench::RosterXlsx(kStudents));
}
BENCHMARK(BM_RosterXlsx)->Unit(benchmark::kMillisecond);

}  // namespace
