// The reader's accuracy over every layout, distortion and resolution, on simulated scans of
// sheets printed by the renderer and by LibreOffice. Prints one line per case:
//   varelo_read_accuracy [--sheets N] [--no-libreoffice]
// or writes the README's example scans of an A4单栏 sheet into DIR:
//   varelo_read_accuracy --example DIR
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "read/scan_simulator.h"
#include "scan/scan_reading.h"
#include "scan/sheet_results.h"

using namespace varelo;

namespace {

struct Case {
    const char* name;
    scansim::Scanner scanner;
};

std::vector<Case> Cases() {
    std::vector<Case> c;
    const auto add = [&](const char* name, auto set) {
        scansim::Scanner s;
        set(s);
        c.push_back({name, s});
    };
    add("clean", [](auto&) {});
    add("rotate +3", [](auto& s) { s.rotateDegrees = 3; });
    add("rotate -3", [](auto& s) { s.rotateDegrees = -3; });
    add("upside down", [](auto& s) { s.upsideDown = true; });
    add("shift +10,+10 mm", [](auto& s) { s.shiftXMm = 10, s.shiftYMm = 10; });
    add("shift -10,-10 mm", [](auto& s) { s.shiftXMm = -10, s.shiftYMm = -10; });
    add("scale +3 %", [](auto& s) { s.scale = 1.03; });
    add("scale -3 %", [](auto& s) { s.scale = 0.97; });
    add("blur 1.2", [](auto& s) { s.blurSigma = 1.2; });
    add("noise 10", [](auto& s) { s.noiseSigma = 10; });
    add("jpeg 60", [](auto& s) { s.jpegQuality = 60; });
    add("grey paper 190", [](auto& s) { s.paperLevel = 190; });
    add("yellow paper 190", [](auto& s) { s.paperLevel = 190, s.yellowish = true; });
    add("all at once", [](auto& s) {
        // Turned and shifted so that the marks stay on the scan.
        s.rotateDegrees = -2, s.upsideDown = true, s.shiftXMm = 5, s.shiftYMm = 4;
        s.scale = 0.98, s.blurSigma = 1.2, s.noiseSigma = 10, s.jpegQuality = 60;
        s.paperLevel = 195, s.yellowish = true;
    });
    return c;
}

// Two filled sheets and page 2 of the first, as a school's scanner returns them: slightly
// turned and shifted, on yellowish paper; the second sheet has an answer erased and rewritten.
int WriteExample(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    const auto sheet = scansim::MakeSheet("A4单栏");
    layout::WriteOmrTemplate(sheet->omr, (dir / "sheet-omr.json").string(),
                             layout::OmrFormat::Varelo, 150);
    const std::vector<cv::Mat> printed = scansim::PrintVarelo(*sheet->doc, 200);
    std::mt19937 rng(2026);
    scansim::Scanner scanner{-1.2, false, 3, 4, 1.0, 0.7, 3, 85, 238, true};
    const auto write = [&](const std::string& name, const cv::Mat& scan) {
        cv::imwrite((dir / name).string(), scan, {cv::IMWRITE_JPEG_QUALITY, 85});
    };
    const scansim::Answers first = scansim::RandomAnswers(sheet->omr, rng);
    std::vector<cv::Mat> pages{printed[0].clone()};
    scansim::FillAnswers(pages, sheet->omr, first, 200, rng);
    write("scan-001.jpg", scansim::Scan(pages[0], scanner, 200, rng));
    write("scan-002.jpg", scansim::Scan(printed[1], scanner, 200, rng));
    scansim::Answers second = scansim::RandomAnswers(sheet->omr, rng);
    second.items[3] = "";  // erased below, the new answer is item 5's
    pages = {printed[0].clone()};
    scansim::FillAnswers(pages, sheet->omr, second, 200, rng);
    scansim::Erased(pages, sheet->omr.items[3].options[1].rect, 200, 0.3);
    scanner.rotateDegrees = 0.8, scanner.upsideDown = true;
    write("scan-003.jpg", scansim::Scan(pages[0], scanner, 200, rng));
    std::ofstream key(dir / "key.json");
    key << "{";
    for (size_t i = 0; i < first.items.size(); ++i)
        key << (i ? ", " : "") << "\"" << i + 1 << "\": \""
            << (first.items[i].empty() ? "A" : first.items[i]) << "\"";
    key << "}\n";
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    int sheets = 2;
    bool libreOffice = true;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--sheets") && i + 1 < argc) sheets = std::atoi(argv[++i]);
        if (!std::strcmp(argv[i], "--no-libreoffice")) libreOffice = false;
        if (!std::strcmp(argv[i], "--example") && i + 1 < argc) return WriteExample(argv[i + 1]);
    }
    const char* layouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};
    const int dpis[] = {150, 200, 300};
    const auto work =
        std::filesystem::temp_directory_path() / ("varelo-accuracy-" + std::to_string(getpid()));
    std::mt19937 rng(20261207);
    size_t allSheets = 0, allExact = 0, allItems = 0, allItemsRight = 0;
    std::printf("%-9s %-12s %4s  %-18s %7s %11s %8s\n", "layout", "printed by", "dpi", "distortion",
                "sheets", "items", "ms/scan");
    std::vector<std::unique_ptr<scansim::Sheet>> sheetsByLayout;
    std::vector<const host::Document*> docs;
    for (const char* layoutName : layouts) {
        sheetsByLayout.push_back(scansim::MakeSheet(layoutName));
        if (!sheetsByLayout.back()) return 1;
        docs.push_back(sheetsByLayout.back()->doc);
    }
    for (const bool office : {false, true}) {
        if (office && !libreOffice) continue;
        for (const int dpi : dpis) {
            // One start of LibreOffice prints every layout.
            const std::vector<std::vector<cv::Mat>> byOffice =
                office ? scansim::PrintLibreOffice(docs, dpi, work)
                       : std::vector<std::vector<cv::Mat>>{};
            for (size_t l = 0; l < docs.size(); ++l) {
                const char* layoutName = layouts[l];
                const scansim::Sheet* sheet = sheetsByLayout[l].get();
                const std::vector<cv::Mat> printed =
                    office ? (l < byOffice.size() ? byOffice[l] : std::vector<cv::Mat>{})
                           : scansim::PrintVarelo(*sheet->doc, dpi);
                if (printed.empty()) continue;
                for (const Case& c : Cases()) {
                    size_t exact = 0, items = 0, itemsRight = 0;
                    double ms = 0;
                    for (int n = 0; n < sheets; ++n) {
                        const scansim::Answers answers = scansim::RandomAnswers(sheet->omr, rng);
                        std::vector<cv::Mat> pages{printed.front().clone()};
                        scansim::FillAnswers(pages, sheet->omr, answers, dpi, rng);
                        const cv::Mat scan = scansim::Scan(pages.front(), c.scanner, dpi, rng);
                        const auto start = std::chrono::steady_clock::now();
                        const std::vector<read::ScanReading> scans{
                            read::ReadScan(sheet->omr, "scan", scan)};
                        ms += std::chrono::duration<double, std::milli>(
                                  std::chrono::steady_clock::now() - start)
                                  .count();
                        const read::SheetResult r =
                            read::AssembleSheets(sheet->omr, scans, nullptr).front();
                        size_t right = 0;
                        for (size_t i = 0; i < answers.items.size(); ++i)
                            right += i < r.answers.size() && r.answers[i] == answers.items[i];
                        items += answers.items.size() + 1;
                        itemsRight += right + (r.candidate == answers.candidate);
                        exact += r.status == read::SheetStatus::Ok &&
                                 r.candidate == answers.candidate && right == answers.items.size();
                        if (r.status != read::SheetStatus::Ok)
                            std::fprintf(stderr, "  %s %s %d %s: %s %s\n", layoutName,
                                         office ? "LibreOffice" : "Varelo", dpi, c.name,
                                         read::StatusName(r.status), r.reason.c_str());
                    }
                    std::printf("%-9s %-12s %4d  %-18s %3zu/%-3d %5zu/%-5zu %8.1f\n", layoutName,
                                office ? "LibreOffice" : "Varelo", dpi, c.name, exact, sheets,
                                itemsRight, items, ms / sheets);
                    std::fflush(stdout);
                    allSheets += static_cast<size_t>(sheets), allExact += exact;
                    allItems += items, allItemsRight += itemsRight;
                }
            }
        }
    }
    std::filesystem::remove_all(work);
    std::printf(
        "all: %zu of %zu sheets exactly right and ok; %zu of %zu fields (items and "
        "candidate numbers) right\n",
        allExact, allSheets, allItemsRight, allItems);
    return allExact == allSheets ? 0 : 1;
}
