// varelo read --crops: every written answer's region cut from the registered scans, one
// picture per item, named after the candidate.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <set>
#include <sstream>

#include "omr/template_file.h"
#include "read/results_csv.h"
#include "read/scan_simulator.h"
#include "read_command.h"
#include "read_crops.h"

using namespace varelo;
namespace fs = std::filesystem;

namespace {

struct Region {
    const char* kind;
    int item, part, page;
    double x, y, width, height;
};
// Blank areas of the A4 example sheet: an answer box below the objective section and a
// composition over two columns of page 2.
constexpr Region kRegions[] = {
    {"解答", 31, 0, 1, 20, 170, 170, 40},
    {"作文", 32, 1, 2, 20, 30, 80, 100},
    {"作文", 32, 2, 2, 110, 30, 80, 100},
};
// What the candidate wrote in each region: a dark bar 20 x 10 mm, 30 mm right of and 15 mm
// below the region's corner.
constexpr double kInkX = 30, kInkY = 15, kInkWidth = 20, kInkHeight = 10;

// The template as written, with the regions added to its JSON.
void WriteTemplate(const layout::OmrTemplate& t, const fs::path& path) {
    layout::WriteOmrTemplate(t, path.string(), layout::OmrFormat::Varelo, 150);
    std::ifstream in(path);
    nlohmann::json j = nlohmann::json::parse(in);
    j["regions"] = nlohmann::json::array();
    for (const Region& r : kRegions) {
        nlohmann::json region{{"kind", r.kind}, {"section", 1}, {"item", r.item}};
        if (r.part > 0) region["part"] = r.part;
        region["points"] = 10;
        region["page"] = r.page;
        region["rect"] = {{"x", r.x}, {"y", r.y}, {"width", r.width}, {"height", r.height}};
        j["regions"].push_back(region);
    }
    std::ofstream(path) << j.dump();
}

void Write(std::vector<cv::Mat>& printed, int dpi) {
    const double ppm = dpi / 25.4;
    for (const Region& r : kRegions)
        cv::rectangle(printed[static_cast<size_t>(r.page - 1)],
                      cv::Rect(cv::Point(static_cast<int>((r.x + kInkX) * ppm),
                                         static_cast<int>((r.y + kInkY) * ppm)),
                               cv::Size(static_cast<int>(kInkWidth * ppm),
                                        static_cast<int>(kInkHeight * ppm))),
                      cv::Scalar(40), cv::FILLED);
}

std::set<std::string> FilesIn(const fs::path& dir) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.insert(e.path().filename().string());
    return names;
}

class ReadCrops : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        dir = fs::temp_directory_path() / ("varelo-read-crops-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "scans");
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

TEST_F(ReadCrops, EveryRegionOfEveryScanIsCutAndNamedAfterItsCandidate) {
    const auto sheet = scansim::MakeSheet("A4单栏");
    WriteTemplate(sheet->omr, dir / "omr.json");
    std::vector<cv::Mat> printed = scansim::PrintVarelo(*sheet->doc, 200);
    Write(printed, 200);
    std::mt19937 rng(7);
    const scansim::Scanner scanner{1.5, false, 3, -2, 1.01, 0, 3, 0, 240, false};

    // One sheet with a candidate column left blank, two with the same number, a two-page sheet.
    const struct {
        const char* file;
        const char* candidate;  // nullptr: page 2
    } scans[] = {{"a.png", "12345678"},
                 {"b.png", "246813579"},
                 {"c.png", "246813579"},
                 {"d1.png", "123456789"},
                 {"d2.png", nullptr}};
    for (const auto& s : scans) {
        std::vector<cv::Mat> pages{printed[0].clone(), printed[1].clone()};
        if (s.candidate) scansim::FillAnswers(pages, sheet->omr, {s.candidate, {}}, 200, rng);
        cv::imwrite((dir / "scans" / s.file).string(),
                    scansim::Scan(pages[s.candidate ? 0 : 1], scanner, 200, rng));
    }

    const fs::path crops = dir / "crops";
    ::testing::internal::CaptureStdout();
    const int status = cli::RunRead({(dir / "omr.json").string(), (dir / "scans").string(), "-o",
                                     (dir / "results.csv").string(), "--crops", crops.string(),
                                     "--dpi", "100", "--threads", "2"});
    const std::string summary = ::testing::internal::GetCapturedStdout();
    ASSERT_EQ(status, 0);
    // d2 is read with its page 1 and counted as such; a, b and c go to review for their numbers.
    EXPECT_NE(summary.find("5 scans: 1 read, 3 to review, 1 page 2 read with their page 1, 0 "
                           "page 2 read alone, 0 errors"),
              std::string::npos)
        << summary;
    // One folder per item, for marking one question for every candidate; a composition whole
    // and in its parts.
    EXPECT_EQ(FilesIn(crops), (std::set<std::string>{"31", "32", "crops.csv"}));
    EXPECT_EQ(FilesIn(crops / "31"), (std::set<std::string>{"123456789.png", "1-12345678x.png",
                                                            "2-246813579.png", "3-246813579.png"}));
    EXPECT_EQ(FilesIn(crops / "32"), (std::set<std::string>{"123456789.png", "parts"}));
    EXPECT_EQ(FilesIn(crops / "32" / "parts"),
              (std::set<std::string>{"123456789-1.png", "123456789-2.png"}));
    // Only the file name stands in for the unread digit: the results keep it as read.
    std::stringstream csv;
    csv << std::ifstream(dir / "results.csv").rdbuf();
    EXPECT_NE(csv.str().find(",12345678?"), std::string::npos) << csv.str();

    // The index: by item, then in the order of the sheets, with the scans each is cut from.
    const std::string index = varelo::testing::Slurp(crops / "crops.csv");
    EXPECT_EQ(index.substr(0, 3), "\xEF\xBB\xBF");
    std::vector<std::string> rows;
    for (const std::vector<std::string>& row : varelo::testing::CsvRows(crops / "crops.csv")) {
        std::string line = row.at(0) + "," + row.at(1) + ",";
        for (const char* scan : {"a.png", "b.png", "c.png", "d1.png", "d2.png"})
            if (row.at(2).find(scan) != std::string::npos) line += scan;
        rows.push_back(line + "," + row.at(3));
    }
    EXPECT_EQ(rows, (std::vector<std::string>{
                        "题号,考号,,文件",
                        "31,12345678?,a.png,31/1-12345678x.png",
                        "31,246813579,b.png,31/2-246813579.png",
                        "31,246813579,c.png,31/3-246813579.png",
                        "31,123456789,d1.png,31/123456789.png",
                        "32,123456789,d2.png,32/123456789.png",
                        "32,123456789,d2.png,32/parts/123456789-1.png",
                        "32,123456789,d2.png,32/parts/123456789-2.png",
                    }));

    const std::pair<const char*, const Region*> pictures[] = {
        {"31/123456789.png", &kRegions[0]},
        {"32/parts/123456789-1.png", &kRegions[1]},
        {"32/parts/123456789-2.png", &kRegions[2]},
        {"31/3-246813579.png", &kRegions[0]},
    };
    for (const auto& [name, region] : pictures) {
        SCOPED_TRACE(name);
        const cv::Mat crop = cv::imread((crops / name).string(), cv::IMREAD_GRAYSCALE);
        ASSERT_FALSE(crop.empty());
        EXPECT_EQ(crop.cols, static_cast<int>(std::lround(region->width / 25.4 * 100)));
        EXPECT_EQ(crop.rows, static_cast<int>(std::lround(region->height / 25.4 * 100)));
        // The writing, and nothing else, where the region puts it, within half a millimetre.
        cv::Mat ink;
        cv::threshold(crop, ink, 140, 255, cv::THRESH_BINARY_INV);
        std::vector<cv::Point> dark;
        cv::findNonZero(ink, dark);
        const cv::Rect found = cv::boundingRect(dark);
        const double ppm = 100 / 25.4;
        EXPECT_NEAR(found.x, kInkX * ppm, 2);
        EXPECT_NEAR(found.y, kInkY * ppm, 2);
        EXPECT_NEAR(found.width, kInkWidth * ppm, 2);
        EXPECT_NEAR(found.height, kInkHeight * ppm, 2);
    }
    // The whole composition is its parts one below the other.
    const cv::Mat whole =
        cv::imread((crops / "32" / "123456789.png").string(), cv::IMREAD_GRAYSCALE);
    cv::Mat parts;
    cv::vconcat(
        cv::imread((crops / "32" / "parts" / "123456789-1.png").string(), cv::IMREAD_GRAYSCALE),
        cv::imread((crops / "32" / "parts" / "123456789-2.png").string(), cv::IMREAD_GRAYSCALE),
        parts);
    ASSERT_EQ(whole.size(), parts.size());
    EXPECT_EQ(cv::norm(whole, parts, cv::NORM_INF), 0);
}

// Windows and the SMB shares schools keep scans on refuse ? * : " < > | \ / and control
// characters in file names: each becomes "x", the rest of the number stays readable.
TEST(CropNames, EveryCandidateNumberGivesANameEveryFileSystemTakes) {
    const struct {
        std::string candidate, name;
        bool digits;  // as the reader gives them: digits and "?"
    } cases[] = {
        {"123456789", "123456789", true},
        {"12?456789", "12x456789", true},
        {"?????????", "xxxxxxxxx", true},
        {"", "x", true},  // a page 2 whose page 1 was not read
        {"1*2:3\"4<5>6|7\\8/9", "1x2x3x4x5x6x7x8x9", false},
        {std::string("1\0\x01\x1f\x7f"
                     "2",
                     6),
         "1xxxx2", false},
        {"学号 12.", "学号 12.", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(cli::CandidateInFileName(c.candidate), c.name);
        // The check for files a crop could replace knows every name a read number gives.
        if (c.digits) {
            EXPECT_TRUE(cli::MayBeCropName("31/3-" + c.name + ".png"));
            EXPECT_TRUE(cli::MayBeCropName("31/parts/3-" + c.name + "-2.png"));
        }
    }
}

// The regions of a sheet with written sections come back from its template as written.
TEST(ReadTemplateRegions, ComeBackFromTheTemplateOfASheetWithSections) {
    using exam::SectionKind;
    const auto sheet = scansim::MakeSheet("A3双栏", {},
                                          {{SectionKind::Fill, "填空题", 3, 2, 1, 0, 2},
                                           {SectionKind::Answer, "解答题", 2, 1, 20, 0, 10},
                                           {SectionKind::Essay, "作文", 1, 1, 1, 1200, 50}});
    ASSERT_NE(sheet, nullptr);
    const std::vector<layout::OmrRegion>& want = sheet->omr.regions;
    ASSERT_GE(want.size(), 6u);
    const std::vector<layout::OmrRegion> got =
        read::ParseTemplate(layout::OmrTemplateJson(sheet->omr)).regions;
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(got[i].kind, want[i].kind);
        EXPECT_EQ(got[i].section, want[i].section);
        EXPECT_EQ(got[i].item, want[i].item);
        EXPECT_EQ(got[i].part, want[i].part);
        EXPECT_EQ(got[i].points, want[i].points);
        EXPECT_EQ(got[i].rect.page, want[i].rect.page);
        for (const auto field : {&layout::OmrRect::x, &layout::OmrRect::y, &layout::OmrRect::width,
                                 &layout::OmrRect::height})
            EXPECT_NEAR(got[i].rect.*field, want[i].rect.*field, 0.0005);
    }
}

// Crop names are known only once the scans are read: a file in the crops folder that could be
// one is refused before anything is read or written.
TEST_F(ReadCrops, AFileACropCouldReplaceIsRefusedBeforeReading) {
    const auto sheet = scansim::MakeSheet("A4单栏");
    WriteTemplate(sheet->omr, dir / "omr.json");
    const cv::Mat page = scansim::PrintVarelo(*sheet->doc, 100)[0];
    fs::create_directories(dir / "crops" / "31" / "parts");
    for (const char* name : {"31/7.png", "31/parts/7-2.png", "scan.png"})
        cv::imwrite((dir / "crops" / name).string(), page);
    const std::string csv = (dir / "results.csv").string();
    const std::string crops = (dir / "crops").string();
    // A scan where a crop could go, whole or a part; the results where the index goes.
    const std::vector<std::vector<std::string>> clashes = {
        {(dir / "crops" / "31" / "7.png").string(), "-o", csv},
        {(dir / "crops" / "31" / "parts" / "7-2.png").string(), "-o", csv},
        {(dir / "crops" / "scan.png").string(), "-o", crops + "/crops.csv"},
    };
    for (const std::vector<std::string>& args : clashes) {
        SCOPED_TRACE(args[0] + " " + args[2]);
        std::vector<std::string> command{(dir / "omr.json").string()};
        command.insert(command.end(), args.begin(), args.end());
        command.insert(command.end(), {"--crops", crops});
        EXPECT_EQ(cli::RunRead(command), 2);
        EXPECT_FALSE(fs::exists(csv) || fs::exists(dir / "crops" / "crops.csv"));
    }
    EXPECT_EQ(FilesIn(dir / "crops"), (std::set<std::string>{"31", "scan.png"}));
    EXPECT_EQ(FilesIn(dir / "crops" / "31"), (std::set<std::string>{"7.png", "parts"}));
}

}  // namespace
