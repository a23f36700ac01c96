// Reading scans: one 200-dpi A3 page from its file (decoding included) as an 8-bit grey PNG
// and as a colour JPEG of quality 90, on one core, also with a page code read in its square
// and with one that cannot be read there (the whole page is searched); the peak memory of `varelo
// read` on a 300-dpi A3 page; and 100 scans with --threads 2.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <string>

#include "codes/page_code.h"
#include "codes/qr_code.h"
#include "read/scan_simulator.h"
#include "scan/scan_reading.h"
#include "scan/scan_source.h"

namespace {

using namespace varelo;
namespace fs = std::filesystem;

// The A3三栏 example filled at random and scanned a little turned, written once as files.
struct Scans {
    fs::path dir;
    std::unique_ptr<scansim::Sheet> sheet;
    layout::OmrTemplate coded;  // the sheet with a 16 mm code square in its top margin
    fs::path greyPng200, colourJpeg200, greyPng300, folder100, codedPng200, smudgedPng200;

    Scans() {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        dir = fs::temp_directory_path() / ("varelo-bench-read-" + std::to_string(getpid()));
        fs::create_directories(dir / "100");
        sheet = scansim::MakeSheet("A3三栏");
        std::ofstream(dir / "sheet-omr.json") << layout::OmrTemplateJson(sheet->omr);
        std::mt19937 rng(1);
        scansim::Scanner scanner;
        scanner.rotateDegrees = 0.8;
        scanner.shiftXMm = 2;
        scanner.noiseSigma = 4;
        coded = sheet->omr;
        coded.examId = "0123456789abcdef";
        coded.pageCodes.push_back({1, 202, 1.5, 16, 16});
        for (const int dpi : {200, 300}) {
            std::vector<cv::Mat> pages{scansim::PrintVarelo(*sheet->doc, dpi).front()};
            scansim::FillAnswers(pages, sheet->omr, scansim::RandomAnswers(sheet->omr, rng), dpi,
                                 rng);
            if (dpi == 200) {
                // The same page with its code printed, then with the code smudged.
                std::vector<cv::Mat> withCode{pages.front().clone()};
                const std::string png =
                    codes::QrCodePng(codes::PageCodePayload({coded.examId, 1, 17, ""}), 4);
                const cv::Mat qr =
                    cv::imdecode(std::vector<uchar>(png.begin(), png.end()), cv::IMREAD_GRAYSCALE);
                const double ppm = dpi / 25.4;
                const cv::Rect at(static_cast<int>(202 * ppm), static_cast<int>(1.5 * ppm),
                                  static_cast<int>(16 * ppm), static_cast<int>(16 * ppm));
                cv::resize(qr, withCode.front()(at), at.size(), 0, 0, cv::INTER_AREA);
                codedPng200 = dir / "coded-200.png";
                cv::imwrite(codedPng200.string(),
                            scansim::Scan(withCode.front(), scanner, dpi, rng));
                cv::rectangle(withCode.front(),
                              cv::Rect(at.x, at.y + at.height / 3, at.width, at.height / 3),
                              cv::Scalar(90), cv::FILLED);
                smudgedPng200 = dir / "smudged-200.png";
                cv::imwrite(smudgedPng200.string(),
                            scansim::Scan(withCode.front(), scanner, dpi, rng));
            }
            const cv::Mat grey = scansim::Scan(pages.front(), scanner, dpi, rng);
            const fs::path png = dir / ("scan-" + std::to_string(dpi) + ".png");
            cv::imwrite(png.string(), grey);
            if (dpi == 300) {
                greyPng300 = png;
                continue;
            }
            greyPng200 = png;
            // Scanned in colour: the same page on yellowish paper.
            cv::Mat colour;
            std::vector<cv::Mat> channels{grey * 0.8, grey * 1.0, grey * 1.04};
            cv::merge(channels, colour);
            colourJpeg200 = dir / "scan-200.jpg";
            cv::imwrite(colourJpeg200.string(), colour, {cv::IMWRITE_JPEG_QUALITY, 90});
            for (int i = 1; i <= 100; ++i)
                fs::copy_file(png, dir / "100" / ("scan-" + std::to_string(i) + ".png"));
        }
        folder100 = dir / "100";
    }
    ~Scans() {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Scans& TheScans() {
    static Scans scans;
    return scans;
}

void ReadFile(benchmark::State& state, const fs::path& file, const layout::OmrTemplate& t,
              bool codeRead = false) {
    cv::setNumThreads(0);  // one core
    for (auto _ : state) {
        const cv::Mat grey = read::LoadScan({file.string(), 0}, 200);
        const read::ScanReading r = read::ReadScan(t, file.string(), grey);
        if (!r.error.empty()) state.SkipWithError(r.error.c_str());
        if (r.code.has_value() != codeRead) state.SkipWithError("the page code read wrongly");
        benchmark::DoNotOptimize(r.bubbles.items.size());
    }
}

void ReadFile(benchmark::State& state, const fs::path& file) {
    ReadFile(state, file, TheScans().sheet->omr);
}

void BM_ReadA3GreyPng200(benchmark::State& state) {
    ReadFile(state, TheScans().greyPng200);
}
BENCHMARK(BM_ReadA3GreyPng200)->Unit(benchmark::kMillisecond);

void BM_ReadA3ColourJpeg200(benchmark::State& state) {
    ReadFile(state, TheScans().colourJpeg200);
}
BENCHMARK(BM_ReadA3ColourJpeg200)->Unit(benchmark::kMillisecond);

void BM_ReadA3GreyPng200WithPageCode(benchmark::State& state) {
    ReadFile(state, TheScans().codedPng200, TheScans().coded, true);
}
BENCHMARK(BM_ReadA3GreyPng200WithPageCode)->Unit(benchmark::kMillisecond);

void BM_ReadA3GreyPng200WithSmudgedPageCode(benchmark::State& state) {
    ReadFile(state, TheScans().smudgedPng200, TheScans().coded, false);
}
BENCHMARK(BM_ReadA3GreyPng200WithSmudgedPageCode)->Unit(benchmark::kMillisecond);

// Decoding alone, to tell it from reading.
void BM_DecodeA3GreyPng200(benchmark::State& state) {
    cv::setNumThreads(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(read::LoadScan({TheScans().greyPng200.string(), 0}, 200).data);
}
BENCHMARK(BM_DecodeA3GreyPng200)->Unit(benchmark::kMillisecond);

void BM_DecodeA3ColourJpeg200(benchmark::State& state) {
    cv::setNumThreads(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(read::LoadScan({TheScans().colourJpeg200.string(), 0}, 200).data);
}
BENCHMARK(BM_DecodeA3ColourJpeg200)->Unit(benchmark::kMillisecond);

// Runs the command and returns its peak resident memory in bytes.
long RunVarelo(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        const std::string program = VARELO_BINARY_DIR "/src/app/cli/varelo";
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout)) _exit(127);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) < 0 || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return -1;
    return usage.ru_maxrss * 1024L;
}

void BM_VareloReadPeakMemoryA3At300(benchmark::State& state) {
    const Scans& s = TheScans();
    long peak = 0;
    for (auto _ : state) {
        peak = RunVarelo({"read", (s.dir / "sheet-omr.json").string(), s.greyPng300.string(), "-o",
                          (s.dir / "300.csv").string()});
        if (peak < 0) state.SkipWithError("varelo read failed");
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / (1024 * 1024);
}
BENCHMARK(BM_VareloReadPeakMemoryA3At300)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_VareloRead100ScansThreads2(benchmark::State& state) {
    const Scans& s = TheScans();
    long peak = 0;
    for (auto _ : state) {
        peak = RunVarelo({"read", (s.dir / "sheet-omr.json").string(), s.folder100.string(), "-o",
                          (s.dir / "100.csv").string(), "--threads", "2"});
        if (peak < 0) state.SkipWithError("varelo read failed");
    }
    state.counters["peak_MB"] = static_cast<double>(peak) / (1024 * 1024);
}
BENCHMARK(BM_VareloRead100ScansThreads2)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
