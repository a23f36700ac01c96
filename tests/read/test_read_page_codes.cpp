// Sheets whose pages carry their page code: scanned in any order, pages pair by the sheet their
// code names; what is missing, doubled, unread, of another exam or contradicted is said.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>
#include <set>

#include "codes/page_code.h"
#include "codes/qr_code.h"
#include "read/scan_simulator.h"
#include "read_crops.h"
#include "scan/sheet_results.h"

using namespace varelo;

namespace {

constexpr int kDpi = 150;
constexpr char kExam[] = "0123456789abcdef";

// The A4 example with a composition on page 2, so a sheet is read from two scans, and a 16 mm
// code square in the middle of each page's top margin, far from the corner marks.
struct CodedSheet {
    std::unique_ptr<scansim::Sheet> sheet = scansim::MakeSheet("A4单栏");
    layout::OmrTemplate t = sheet->omr;
    std::vector<cv::Mat> printed;

    CodedSheet() {
        t.regions.push_back({"作文", 1, 31, 0, 10, {2, 20, 30, 170, 200}});
        t.examId = kExam;
        for (int page : {1, 2}) t.pageCodes.push_back({page, 97, 1.5, 16, 16});
        printed = scansim::PrintVarelo(*sheet->doc, kDpi);
    }

    // The printed pages of one copy with its codes, filled with the answers.
    std::vector<cv::Mat> Copy(codes::PageCode code, const scansim::Answers& a, std::mt19937& rng) {
        std::vector<cv::Mat> pages{printed[0].clone(), printed[1].clone()};
        for (const layout::OmrRect& square : t.pageCodes) {
            code.page = square.page;
            const std::string png = codes::QrCodePng(codes::PageCodePayload(code), 4);
            const cv::Mat qr =
                cv::imdecode(std::vector<uchar>(png.begin(), png.end()), cv::IMREAD_GRAYSCALE);
            const double ppm = kDpi / 25.4;
            const cv::Rect at(static_cast<int>(square.x * ppm), static_cast<int>(square.y * ppm),
                              static_cast<int>(square.width * ppm),
                              static_cast<int>(square.height * ppm));
            cv::resize(qr, pages[static_cast<size_t>(square.page - 1)](at), at.size(), 0, 0,
                       cv::INTER_AREA);
        }
        scansim::FillAnswers(pages, t, a, kDpi, rng);
        return pages;
    }
};

struct Stacked {
    std::vector<read::ScanReading> scans;
    std::vector<read::SheetResult> sheets;
    std::string rows;  // "scan+scan2 status (reason)|..."
};

Stacked Assemble(const layout::OmrTemplate& t, std::vector<read::ScanReading> scans) {
    Stacked s{std::move(scans), {}, {}};
    s.sheets = read::AssembleSheets(t, s.scans, nullptr);
    for (const read::SheetResult& r : s.sheets) {
        s.rows += (s.rows.empty() ? "" : "|") + s.scans[r.scan].name;
        if (r.scan2) s.rows += "+" + s.scans[*r.scan2].name;
        s.rows += std::string(" ") + read::StatusName(r.status);
        if (!r.reason.empty()) s.rows += " (" + r.reason + ")";
    }
    return s;
}

read::ScanReading Named(read::ScanReading r, const std::string& name) {
    r.name = name;
    return r;
}

class ReadPageCodes : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { setenv("QT_QPA_PLATFORM", "offscreen", 1); }
    CodedSheet coded;
    std::mt19937 rng{31};
    scansim::Scanner scanner{0.7, false, 1, -1, 1.0, 0.8, 4, 75, 245, false};

    read::ScanReading ReadPage(const std::vector<cv::Mat>& pages, int page, const std::string& name,
                               bool upsideDown = false) {
        scansim::Scanner s = scanner;
        s.upsideDown = upsideDown;
        return read::ReadScan(coded.t, name,
                              scansim::Scan(pages[static_cast<size_t>(page - 1)], s, kDpi, rng));
    }
};

// Numbered sheets 1 to 4 scanned page 1s first, then page 2s in reverse (one turned upside
// down), sheet 3's page 2 lost, sheet 2 scanned again and a page of another exam among them:
// every sheet reads with its own page 2, and every wrong stack is said, never ok.
TEST_F(ReadPageCodes, NumberedSheetsPairByTheirCodesWhateverTheOrder) {
    std::vector<scansim::Answers> answers;
    std::map<std::string, read::ScanReading> read;
    for (long serial = 1; serial <= 4; ++serial) {
        answers.push_back(scansim::RandomAnswers(coded.t, rng));
        const auto pages = coded.Copy({kExam, 1, serial, ""}, answers.back(), rng);
        for (int page : {1, 2}) {
            const std::string name = std::to_string(serial) + "p" + std::to_string(page);
            read[name] = ReadPage(pages, page, name, serial == 4 && page == 2);
            ASSERT_TRUE(read[name].code) << name;
            EXPECT_EQ(read[name].code->serial, serial);
        }
    }
    const auto other = coded.Copy({"fedcba9876543210", 1, 5, ""}, answers[0], rng);
    read["other"] = ReadPage(other, 1, "other");

    const Stacked s =
        Assemble(coded.t, {read["1p1"], read["2p1"], read["3p1"], read["4p1"], read["4p2"],
                           read["2p2"], read["1p2"], Named(read["2p1"], "2p1-again"),
                           Named(read["2p2"], "2p2-again"), read["other"]});
    const std::string twice =
        "page 1 of sheet 2 scanned twice: 2p1 and 2p1-again; page 2 of sheet 2 scanned twice: "
        "2p2 and 2p2-again";
    EXPECT_EQ(s.rows, "1p1+1p2 ok|2p1+2p2 review (" + twice +
                          "; the same candidate number as 2p1-again)|3p1 review (page 2 of sheet "
                          "3 missing)|4p1+4p2 ok|2p1-again+2p2-again review (" +
                          twice +
                          "; the same candidate number as 2p1)|other error (a page of another "
                          "exam: its code says exam fedcba9876543210, the template's is " +
                          kExam + ")");
    for (const read::SheetResult& r : s.sheets) {
        if (r.status == read::SheetStatus::Error) continue;
        const scansim::Answers& a = answers[static_cast<size_t>(s.scans[r.scan].name[0] - '1')];
        EXPECT_EQ(r.candidate, a.candidate) << s.scans[r.scan].name;
        EXPECT_EQ(r.answers, a.items) << s.scans[r.scan].name;
    }
    // Each page 2's composition is filed under its own sheet's candidate.
    size_t page2Crops = 0;
    for (const cli::CropFile& c : cli::PlanCrops(coded.t, s.scans, s.sheets).files) {
        const read::ScanReading& scan = s.scans[c.scan];
        if (scan.registration.page != 2) continue;
        ++page2Crops;
        const std::string& candidate = answers[static_cast<size_t>(scan.name[0] - '1')].candidate;
        // A sheet scanned twice has its scan's index before the number.
        std::string file = c.name.substr(c.name.find('/') + 1);
        file = file.substr(file.find('-') + 1);  // npos + 1: the whole name
        EXPECT_EQ(c.name.substr(0, 3) + file, "31/" + candidate + ".png") << scan.name;
    }
    EXPECT_EQ(page2Crops, 4u);

    const nlohmann::json j = nlohmann::json::parse(read::ResultsJson(coded.t, s.scans, s.sheets));
    EXPECT_EQ(j["scans"][4]["code"],
              nlohmann::json({{"examId", kExam}, {"page", 2}, {"serial", 4}}));
    EXPECT_FALSE(j["scans"][4].contains("codeProblem"));
    EXPECT_EQ(j["scans"][9]["code"]["examId"], "fedcba9876543210");
    EXPECT_EQ(j["scans"][9]["codeProblem"], s.sheets.back().reason);
}

// A smudged code, which neither its square nor the whole page reads: the page pairs by the
// order of the stack and the sheet goes to review saying why. A personalised code names the
// candidate: an empty bubble grid takes it, a bubbled number that differs goes to review.
TEST_F(ReadPageCodes, UnreadCodesFallBackAndPersonalisedCodesNameTheCandidate) {
    const scansim::Answers smudged = scansim::RandomAnswers(coded.t, rng);
    auto pages = coded.Copy({kExam, 1, 9, ""}, smudged, rng);
    const double ppm = kDpi / 25.4;
    cv::rectangle(pages[0], cv::Rect2d(97 * ppm, 6 * ppm, 16 * ppm, 7 * ppm), cv::Scalar(90),
                  cv::FILLED);
    read::ScanReading smudge1 = ReadPage(pages, 1, "9p1"), smudge2 = ReadPage(pages, 2, "9p2");
    EXPECT_TRUE(smudge1.codeSought);
    EXPECT_FALSE(smudge1.code);
    Stacked s = Assemble(coded.t, {smudge1, smudge2});
    EXPECT_EQ(s.rows,
              "9p1+9p2 review (the page code of 9p1 could not be read, so its page was "
              "paired by the order of the scans)");
    EXPECT_EQ(s.sheets[0].candidate, smudged.candidate);
    const nlohmann::json j = nlohmann::json::parse(read::ResultsJson(coded.t, s.scans, s.sheets));
    EXPECT_TRUE(j["scans"][0]["code"].is_null());
    EXPECT_EQ(j["scans"][0]["codeProblem"], "the page code of 9p1 could not be read");

    // Candidate 000000007's sheet, bubbled 000000008; candidate 000000006's left blank.
    scansim::Answers wrong = scansim::RandomAnswers(coded.t, rng);
    wrong.candidate = "000000008";
    const auto seven = coded.Copy({kExam, 1, std::nullopt, "000000007"}, wrong, rng);
    scansim::Answers blank = scansim::RandomAnswers(coded.t, rng);
    blank.candidate.clear();
    const auto six = coded.Copy({kExam, 1, std::nullopt, "000000006"}, blank, rng);
    s = Assemble(coded.t, {ReadPage(six, 2, "6p2", true), ReadPage(seven, 1, "7p1"),
                           ReadPage(six, 1, "6p1"), ReadPage(seven, 2, "7p2")});
    EXPECT_EQ(s.rows,
              "7p1+7p2 review (the page code says candidate 000000007, the bubbles "
              "000000008)|6p1+6p2 ok");
    EXPECT_EQ(s.sheets[0].candidate, "000000007");
    EXPECT_EQ(s.sheets[1].candidate, "000000006");
    EXPECT_EQ(s.sheets[1].answers, blank.items);
    std::set<std::string> crops;
    for (const cli::CropFile& c : cli::PlanCrops(coded.t, s.scans, s.sheets).files)
        crops.insert(c.name);
    EXPECT_EQ(crops, (std::set<std::string>{"31/000000006.png", "31/000000007.png"}));
}

}  // namespace
