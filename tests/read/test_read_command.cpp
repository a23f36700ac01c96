// varelo read on files: a folder of PNG, JPEG and PDF scans in natural order, the key, the
// review pictures, and aligned pages that an OMRChecker template reads where it puts bubbles.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <sstream>

#include "read/results_csv.h"
#include "read/scan_simulator.h"
#include "read_command.h"
#include "tables/table.h"

using namespace varelo;
using varelo::testing::CsvRows;
using varelo::testing::Slurp;
namespace fs = std::filesystem;

namespace {

class ReadCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        dir = fs::temp_directory_path() / ("varelo-read-cmd-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "scans");
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ReadCommand, ReadsAFolderOfScansWithKeyReviewAndAlignedPages) {
    const auto sheet = scansim::MakeSheet("A4单栏");
    const layout::OmrTemplate& t = sheet->omr;
    layout::WriteOmrTemplate(t, (dir / "omr.json").string(), layout::OmrFormat::Varelo, 150);
    layout::WriteOmrTemplate(t, (dir / "checker.json").string(), layout::OmrFormat::OmrChecker,
                             100);
    std::vector<cv::Mat> printed = scansim::PrintVarelo(*sheet->doc, 200);
    std::mt19937 rng(9);
    scansim::Scanner scanner{1.2, false, 4, -3, 0.99, 0.8, 5, 0, 235, false};

    std::vector<scansim::Answers> answers;
    const auto filled = [&]() {
        answers.push_back(scansim::RandomAnswers(t, rng));
        std::vector<cv::Mat> pages{printed[0].clone()};
        scansim::FillAnswers(pages, t, answers.back(), 200, rng);
        return pages[0];
    };
    // Natural order: 2 before 10; page 2 of the first sheet after it.
    cv::imwrite((dir / "scans" / "sheet2.png").string(),
                scansim::Scan(filled(), scanner, 200, rng));
    cv::imwrite((dir / "scans" / "sheet2b.png").string(),
                scansim::Scan(printed[1], scanner, 200, rng));
    scanner.jpegQuality = 80;
    cv::imwrite((dir / "scans" / "sheet10.jpg").string(),
                scansim::Scan(filled(), scanner, 200, rng));
    scanner.upsideDown = true;
    scansim::WritePdf(scansim::Scan(filled(), scanner, 200, rng), dir / "scans" / "sheet11.pdf",
                      200);
    // Two items the first sheet answers (a key never asks for a blank).
    nlohmann::json key = nlohmann::json::object();
    for (size_t i = 0; i < answers[0].items.size() && key.size() < 2; ++i)
        if (!answers[0].items[i].empty()) key[std::to_string(i + 1)] = answers[0].items[i];
    std::ofstream(dir / "key.json") << key.dump();

    const std::string csv = (dir / "results.csv").string();
    ASSERT_EQ(cli::RunRead({(dir / "omr.json").string(), (dir / "scans").string(), "-o", csv,
                            "--key", (dir / "key.json").string(), "--allow-partial-key",
                            "--headers", "en", "--json", (dir / "results.json").string(),
                            "--review", (dir / "review").string(), "--aligned",
                            (dir / "aligned").string(), "--dpi", "100", "--threads", "2"}),
              0);
    const auto rows = CsvRows(csv);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0][0], "scan");
    EXPECT_EQ(rows[0][33], "group1");
    const std::vector<std::string> names{"sheet2.png", "sheet2b.png", "sheet10.jpg",
                                         "sheet11.pdf#1"};
    for (size_t r = 1; r < rows.size(); ++r) {
        EXPECT_EQ(fs::path(rows[r][0]).filename().string(), names[r - 1]);
        if (r == 2) {
            EXPECT_EQ(rows[r][1], "page2");
            continue;
        }
        const scansim::Answers& a = answers[r == 1 ? 0 : r - 2];
        EXPECT_EQ(rows[r][1], "ok") << names[r - 1] << ": " << rows[r].back();
        EXPECT_EQ(rows[r][2], a.candidate) << names[r - 1];
        for (size_t i = 0; i < a.items.size(); ++i)
            EXPECT_EQ(rows[r][3 + i], a.items[i]) << names[r - 1] << " item " << i + 1;
    }
    EXPECT_EQ(rows[1][34], "2");  // both keyed items right
    EXPECT_EQ(nlohmann::json::parse(Slurp(dir / "results.json"))["scans"][3]["upsideDown"], true);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "review"), fs::directory_iterator()), 4);

    // The aligned page of the PDF scan, read through the OMRChecker template's own geometry:
    // bubble v of field f of a block at origin + (f * labelsGap, v * bubblesGap).
    const cv::Mat aligned =
        cv::imread((dir / "aligned" / "4-sheet11-1.png").string(), cv::IMREAD_GRAYSCALE);
    const nlohmann::json checker = nlohmann::json::parse(Slurp(dir / "checker-1.json"));
    ASSERT_EQ(aligned.cols, checker["pageDimensions"][0].get<int>());
    ASSERT_EQ(aligned.rows, checker["pageDimensions"][1].get<int>());
    EXPECT_FALSE(fs::exists(dir / "checker-2.json"));
    const int bw = checker["bubbleDimensions"][0], bh = checker["bubbleDimensions"][1];
    std::map<std::string, std::string> read;
    for (const auto& [name, block] : checker["fieldBlocks"].items())
        for (size_t f = 0; f < block["fieldLabels"].size(); ++f)
            for (size_t v = 0; v < block["bubbleValues"].size(); ++v) {
                const double x =
                    block["origin"][0].get<double>() + f * block["labelsGap"].get<double>();
                const double y =
                    block["origin"][1].get<double>() + v * block["bubblesGap"].get<double>();
                const cv::Rect middle(static_cast<int>(x + bw * 0.3),
                                      static_cast<int>(y + bh * 0.3), std::max(1, bw * 2 / 5),
                                      std::max(1, bh * 2 / 5));
                if (cv::mean(aligned(middle))[0] < 235 * 0.45)
                    read[block["fieldLabels"][f]] += block["bubbleValues"][v].get<std::string>();
            }
    const scansim::Answers& last = answers.back();
    for (size_t c = 0; c < last.candidate.size(); ++c)
        EXPECT_EQ(read["c" + std::to_string(c + 1)], last.candidate.substr(c, 1))
            << "column " << c + 1;
    for (size_t i = 0; i < last.items.size(); ++i)
        EXPECT_EQ(read["q" + std::to_string(i + 1)], last.items[i]) << "item " << i + 1;

    // The same as a workbook a teacher opens, with names from the roster; the candidate of
    // sheet10.jpg is not on it.
    std::ofstream(dir / "roster.csv") << "考号,姓名,班级\n"
                                      << answers[0].candidate << ",张三,1班\n"
                                      << answers[2].candidate << ",李四,2班\n";
    const std::string xlsx = (dir / "results.xlsx").string();
    ASSERT_EQ(cli::RunRead({(dir / "omr.json").string(), (dir / "scans").string(), "-o", xlsx,
                            "--key", (dir / "key.json").string(), "--allow-partial-key", "--roster",
                            (dir / "roster.csv").string(), "--threads", "2"}),
              0);
    const tables::Table book = tables::ReadTable(xlsx);
    ASSERT_EQ(book.rows.size(), 5u);
    EXPECT_EQ(std::vector<std::string>(book.rows[0].cells.begin(), book.rows[0].cells.begin() + 6),
              (std::vector<std::string>{"扫描", "状态", "考号", "姓名", "班级", "1"}));
    EXPECT_EQ(book.rows[1].cells[1], "正常");
    EXPECT_EQ(book.rows[1].cells[2], answers[0].candidate);
    EXPECT_EQ(book.rows[1].cells[3], "张三");
    EXPECT_EQ(book.rows[3].cells[1], "复核");
    EXPECT_EQ(book.rows[3].cells.back(), "考号不在名单中");
    EXPECT_EQ(book.rows[4].cells[4], "2班");

    // A blank page among the scans is an error and fails the run; the others are still read.
    cv::imwrite((dir / "blank.png").string(), cv::Mat(printed[0].size(), CV_8UC1, cv::Scalar(250)));
    EXPECT_EQ(cli::RunRead({(dir / "omr.json").string(), (dir / "scans" / "sheet2.png").string(),
                            (dir / "blank.png").string(), "-o", csv, "--headers", "en"}),
              1);
    const auto withBlank = CsvRows(csv);
    ASSERT_EQ(withBlank.size(), 3u);
    EXPECT_EQ(withBlank[1][1], "ok");
    EXPECT_EQ(withBlank[2][1], "error");
}

TEST_F(ReadCommand, RefusesWhatItCannotRead) {
    const fs::path tmpl = dir / "omr.json";
    layout::WriteOmrTemplate(scansim::MakeSheet("B5单栏")->omr, tmpl.string(),
                             layout::OmrFormat::Varelo, 150);
    const std::string csv = (dir / "r.csv").string();
    EXPECT_EQ(cli::RunRead({tmpl.string(), (dir / "scans").string()}), 2);  // no -o
    EXPECT_EQ(cli::RunRead({tmpl.string(), "-o", csv}), 2);                 // no scan
    EXPECT_EQ(cli::RunRead({tmpl.string(), "--threads", "0", "x.png", "-o", csv}), 2);
    EXPECT_EQ(cli::RunRead({tmpl.string(), (dir / "missing.png").string(), "-o", csv}), 1);
    std::ofstream(dir / "notes.txt") << "text";
    EXPECT_EQ(cli::RunRead({tmpl.string(), (dir / "notes.txt").string(), "-o", csv}), 1);
    EXPECT_EQ(cli::RunRead({(dir / "notes.txt").string(), (dir / "scans").string(), "-o", csv}), 1);
    // Written scores for a bubble item, or a roster without 姓名, before any scan is read.
    std::ofstream(dir / "marks.csv") << "考号,题号,得分\n1,5,2\n";
    std::ofstream(dir / "roster.csv") << "考号\n1\n";
    EXPECT_EQ(cli::RunRead({tmpl.string(), (dir / "scans").string(), "-o", csv, "--scores",
                            (dir / "marks.csv").string()}),
              1);
    EXPECT_EQ(cli::RunRead({tmpl.string(), (dir / "scans").string(), "-o", csv, "--roster",
                            (dir / "roster.csv").string()}),
              1);
    EXPECT_EQ(cli::RunRead({tmpl.string(), "x.png", "-o", csv, "--headers", "fr"}), 2);
    EXPECT_FALSE(fs::exists(csv));
}

}  // namespace
