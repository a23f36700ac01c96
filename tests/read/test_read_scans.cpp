// The reader against simulated scans: every layout through a scanner's distortions, pencil
// marks that must or must not count, pages that are not to be read, and LibreOffice's print.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <random>

#include "read/scan_simulator.h"
#include "read_crops.h"
#include "scan/scan_reading.h"
#include "scan/sheet_results.h"

using namespace varelo;
namespace fs = std::filesystem;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

// One sheet and its printed pages per layout and resolution, made once for the whole run.
struct Printed {
    std::unique_ptr<scansim::Sheet> sheet;
    std::map<int, std::vector<cv::Mat>> pages;  // by dpi
};
Printed& PrintedSheet(const std::string& layout, int dpi) {
    static std::map<std::string, Printed> cache;
    Printed& p = cache[layout];
    if (!p.sheet) p.sheet = scansim::MakeSheet(layout);
    if (!p.pages.count(dpi)) p.pages[dpi] = scansim::PrintVarelo(*p.sheet->doc, dpi);
    return p;
}

read::SheetResult ReadOne(const layout::OmrTemplate& t, const cv::Mat& scan) {
    return read::AssembleSheets(t, {read::ReadScan(t, "scan", scan)}, nullptr).front();
}

void ExpectExact(const read::SheetResult& r, const scansim::Answers& a, const std::string& what) {
    EXPECT_EQ(read::StatusName(r.status), std::string("ok")) << what << ": " << r.reason;
    EXPECT_EQ(r.candidate, a.candidate) << what;
    EXPECT_EQ(r.answers, a.items) << what;
}

class ReadScans : public ::testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite() { setenv("QT_QPA_PLATFORM", "offscreen", 1); }
};

// Each layout through what an ordinary scanner does at the three resolutions, combined so the
// run stays short; turns and shifts together stay within the margin that keeps the marks on
// the scan (the accuracy tool takes each at its worst alone). The page may also be smaller
// than the scan: printed to fit, or on a larger glass with the lid around it.
TEST_P(ReadScans, DistortedScansReadExactly) {
    struct Case {
        const char* name;
        int dpi;
        scansim::Scanner s;
    };
    const std::vector<Case> cases = {
        {"turned +3 degrees, blurred", 200, {3, false, 0, 0, 1.0, 1.2, 0, 0, 255, false}},
        {"upside down, turned -3 degrees, reduced 3 %, noisy, JPEG 60",
         150,
         {-3, true, 0, 0, 0.97, 0, 10, 60, 255, false}},
        {"shifted 10 mm right and down, yellowish paper at 190, blurred, noisy, JPEG 60",
         300,
         {0, false, 10, 10, 1.0, 1.2, 10, 60, 190, true}},
        {"upside down, shifted 10 mm left and up, grey paper at 190",
         200,
         {0, true, -10, -10, 1.0, 1.0, 8, 60, 190, false}},
        {"printed to fit at 91 %", 200, {0, false, 0, 0, 0.91, 0, 0, 0, 255, false}},
        {"on a dark lid 15 mm beyond the page, turned 2 degrees",
         200,
         {2, false, 0, 0, 1.0, 0, 4, 80, 250, false, 15, 30}},
        {"at the glass's top left, 40 mm of white lid beyond it to the right and below",
         150,
         {0, false, -20, -20, 1.0, 0, 0, 0, 255, false, 20, 255}},
    };
    std::mt19937 rng(7);
    for (const Case& c : cases) {
        Printed& p = PrintedSheet(GetParam(), c.dpi);
        const scansim::Answers answers = scansim::RandomAnswers(p.sheet->omr, rng);
        std::vector<cv::Mat> pages{p.pages[c.dpi].front().clone()};
        scansim::FillAnswers(pages, p.sheet->omr, answers, c.dpi, rng);
        ExpectExact(ReadOne(p.sheet->omr, scansim::Scan(pages.front(), c.s, c.dpi, rng)), answers,
                    c.name);
    }
}

// Printed by LibreOffice from the .docx: other fonts, and cells placed up to half a millimetre
// from where the renderer puts them. One start of the office program prints all six sheets.
TEST(ReadScansPrintedElsewhere, LibreOfficePrintsReadExactly) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const fs::path work =
        fs::temp_directory_path() / ("varelo-read-lo-" + std::to_string(getpid()));
    std::mt19937 rng(11);
    const scansim::Scanner scanner{1, false, 3, -3, 1.005, 0.8, 6, 75, 235, true};
    std::vector<const host::Document*> docs;
    for (const char* layout : kLayouts) docs.push_back(PrintedSheet(layout, 200).sheet->doc);
    const std::vector<std::vector<cv::Mat>> printed = scansim::PrintLibreOffice(docs, 200, work);
    fs::remove_all(work);
    if (printed.empty()) GTEST_SKIP() << "LibreOffice (soffice) is not installed";
    ASSERT_EQ(printed.size(), docs.size());
    for (size_t i = 0; i < docs.size(); ++i) {
        const char* layout = kLayouts[i];
        Printed& p = PrintedSheet(layout, 200);
        ASSERT_FALSE(printed[i].empty()) << layout;
        const scansim::Answers answers = scansim::RandomAnswers(p.sheet->omr, rng);
        std::vector<cv::Mat> pages{printed[i].front().clone()};
        scansim::FillAnswers(pages, p.sheet->omr, answers, 200, rng);
        ExpectExact(ReadOne(p.sheet->omr, scansim::Scan(pages.front(), scanner, 200, rng)), answers,
                    layout);
    }
}

// What a hand leaves: light or partial fills count, an erased fill and marks beside a bubble
// never do, a fill between two bubbles is in doubt.
TEST(ReadScansPencil, MarksCountOnlyWhenTheyFillTheBubble) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Printed& p = PrintedSheet("A4单栏", 200);
    const layout::OmrTemplate& t = p.sheet->omr;
    std::mt19937 rng(3);
    std::vector<cv::Mat> pages{p.pages[200].front().clone()};
    // Item by item: a 60 % fill at the lightest pencil, a full one, a 25 % erased residue, a
    // dot and a tick beside the bubble, an erased fill with the new answer beside it, and a fill
    // nearly halfway from A to B.
    scansim::Pencil(pages, t.items[0].options[1].rect, 200, 0.6, 0.6, rng);
    scansim::Pencil(pages, t.items[1].options[2].rect, 200, 1.0, 0.85, rng);
    scansim::Erased(pages, t.items[2].options[0].rect, 200, 0.25);
    scansim::Stray(pages, t.items[3].options[3].rect, 200, false);
    scansim::Stray(pages, t.items[4].options[1].rect, 200, true);
    scansim::Erased(pages, t.items[5].options[0].rect, 200, 0.25);
    scansim::Pencil(pages, t.items[5].options[3].rect, 200, 0.7, 0.7, rng);
    layout::OmrRect between = t.items[6].options[0].rect;
    between.x += (t.items[6].options[1].rect.x - between.x) * 0.45;
    between.y += (t.items[6].options[1].rect.y - between.y) * 0.45;
    scansim::Pencil(pages, between, 200, 0.9, 0.75, rng);
    for (size_t c = 0; c < t.candidateColumns.size(); ++c)
        scansim::Pencil(pages, t.candidateColumns[c][c].rect, 200, 0.6, 0.6, rng);
    const scansim::Scanner scanner{0.7, false, 2, 2, 1.0, 1.0, 8, 60, 220, false};
    const std::vector<read::ScanReading> scans{
        read::ReadScan(t, "scan", scansim::Scan(pages.front(), scanner, 200, rng))};
    const read::SheetResult r = read::AssembleSheets(t, scans, nullptr).front();
    EXPECT_EQ(r.candidate, "012345678");
    const std::vector<std::string> want{"B", "C", "", "", "", "D", ""};
    for (size_t i = 0; i < want.size(); ++i) EXPECT_EQ(r.answers[i], want[i]) << "item " << i + 1;
    // The erased residue may be doubtful, never filled; the fill between A and B is; nothing
    // else is in doubt.
    EXPECT_EQ(read::StatusName(r.status), std::string("review"));
    const auto& item7 = scans.front().bubbles.items[6];
    EXPECT_TRUE(item7[0].decision == read::Decision::Doubtful ||
                item7[1].decision == read::Decision::Doubtful);
    for (size_t i = 0; i < t.items.size(); ++i)
        for (size_t o = 0; o < t.items[i].options.size(); ++o) {
            const read::BubbleReading& b = scans.front().bubbles.items[i][o];
            if (b.decision != read::Decision::Doubtful) continue;
            EXPECT_TRUE(((i == 2 || i == 5) && o == 0) || (i == 6 && o < 2))
                << "item " << i + 1 << " option " << o + 1;
        }
}

// A legitimate sheet where one digit or label fills every printed bubble of it on the page, so
// no empty one of that glyph is left to compare with: it must still read cleanly.
TEST(ReadScansSameMark, EveryBubbleOfAGlyphFilledReadsExactly) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    struct Case {
        const char* name;
        const char* layout;
        std::vector<cli::GroupEntry> groups;  // none: the example's 30 items of A to D
        std::string candidate;                // "": random
        std::string everyItem;                // "": random answers
        scansim::Scanner s;
    };
    const scansim::Scanner plain{0.5, false, 1, 1, 1.0, 0.8, 6, 75, 235, false};
    const scansim::Scanner grey{-1, true, 2, -2, 0.99, 1.2, 10, 60, 190, true};
    const std::vector<Case> cases = {
        {"candidate 555555555", "A4单栏", {}, "555555555", "", plain},
        {"candidate 888888888, grey paper", "A3三栏", {}, "888888888", "", grey},
        {"candidate 111111111", "B5单栏", {}, "111111111", "", plain},
        {"every item A", "A4单栏", {}, "", "A", plain},
        {"every item D, grey paper", "8开双栏", {}, "", "D", grey},
        {"every item true", "A4单栏", {{"判断", "20", "2", "1", "判断"}}, "", "T", plain},
        {"every item false, all 0",
         "A3双栏",
         {{"判断", "20", "2", "1", "判断"}},
         "000000000",
         "F",
         grey},
    };
    std::mt19937 rng(13);
    for (const Case& c : cases) {
        const auto sheet = scansim::MakeSheet(c.layout, c.groups);
        ASSERT_TRUE(sheet) << c.name;
        scansim::Answers answers = scansim::RandomAnswers(sheet->omr, rng);
        if (!c.candidate.empty()) answers.candidate = c.candidate;
        if (!c.everyItem.empty()) answers.items.assign(answers.items.size(), c.everyItem);
        std::vector<cv::Mat> pages{scansim::PrintVarelo(*sheet->doc, 200).front()};
        scansim::FillAnswers(pages, sheet->omr, answers, 200, rng);
        ExpectExact(ReadOne(sheet->omr, scansim::Scan(pages.front(), c.s, 200, rng)), answers,
                    c.name);
    }
}

// Pages that must not be read as sheets: each is an error with its reason, or page 2.
TEST(ReadScansPages, OnlyPagesOfTheTemplateAreRead) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    Printed& p = PrintedSheet("A3三栏", 150);
    const layout::OmrTemplate& t = p.sheet->omr;
    std::mt19937 rng(5);
    const scansim::Scanner scanner{-0.8, false, 2, 3, 1.0, 0.8, 6, 70, 230, false};
    const auto scan = [&](const cv::Mat& page) { return scansim::Scan(page, scanner, 150, rng); };

    cv::Mat torn = scan(p.pages[150].front());
    scansim::TearCorner(torn, 30, 150);
    Printed& other = PrintedSheet("A3双栏", 150);
    scansim::Scanner upsideDown = scanner;
    upsideDown.upsideDown = true;
    const std::vector<std::pair<std::string, cv::Mat>> pages = {
        {"page 2", scan(p.pages[150][1])},
        {"page 2 upside down", scansim::Scan(p.pages[150][1], upsideDown, 150, rng)},
        {"blank", scan(cv::Mat(p.pages[150][0].size(), CV_8UC1, cv::Scalar(255)))},
        {"another layout's sheet", scan(other.pages[150].front())},
        {"torn corner", torn},
    };
    std::vector<read::ScanReading> scans;
    for (const auto& [name, image] : pages) scans.push_back(read::ReadScan(t, name, image));
    const std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, nullptr);
    ASSERT_EQ(sheets.size(), pages.size());
    EXPECT_EQ(read::StatusName(sheets[0].status), std::string("page2"));
    EXPECT_EQ(read::StatusName(sheets[1].status), std::string("page2"));
    EXPECT_TRUE(scans[1].registration.upsideDown);
    EXPECT_EQ(scans[2].error, "no positioning marks found (a blank page, or not a sheet?)");
    for (size_t i = 2; i < pages.size(); ++i) {
        EXPECT_EQ(read::StatusName(sheets[i].status), std::string("error")) << pages[i].first;
        EXPECT_FALSE(sheets[i].reason.empty()) << pages[i].first;
    }
}

// A page 1 whose row marks are not found as marks (a pencil line ruled down their column joins
// them, or they came out at less than half toner while the corners are dark) shows no more marks
// than page 2, whose marks are its corners: it must not pass for page 2 and vanish. It is read
// as page 1 in doubt; a page 2 with the same line stays page 2.
TEST(ReadScansPages, APage1WithSpoiledRowMarksIsNotTakenForPage2) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::mt19937 rng(17);
    const scansim::Scanner scanner{0.6, false, 2, -2, 1.0, 0.8, 6, 75, 235, false};
    for (const auto& [layout, dpi] : {std::pair("A4单栏", 200), std::pair("A3三栏", 150)}) {
        Printed& p = PrintedSheet(layout, dpi);
        const layout::OmrTemplate& t = p.sheet->omr;
        // Down the row marks' column, from above the first to below the last.
        std::vector<const layout::OmrRect*> rows;
        for (const layout::OmrMark& m : t.pages[0].marks)
            if (!m.corner) rows.push_back(&m.rect);
        ASSERT_FALSE(rows.empty());
        const cv::Point2d top(rows.front()->CenterX(), rows.front()->y - 2);
        const cv::Point2d bottom(rows.back()->CenterX(), rows.back()->y + rows.back()->height + 2);
        for (const bool faded : {false, true}) {
            const std::string what = std::string(layout) + (faded ? " faded" : " ruled");
            const scansim::Answers answers = scansim::RandomAnswers(t, rng);
            std::vector<cv::Mat> pages{p.pages[dpi][0].clone()};
            scansim::FillAnswers(pages, t, answers, dpi, rng);
            if (faded)
                scansim::FadeRowMarks(pages, t, 1, dpi, 0.4);
            else
                scansim::PencilLine(pages, 1, top, bottom, dpi, 0.6, 0.75);
            const read::SheetResult r = ReadOne(t, scansim::Scan(pages[0], scanner, dpi, rng));
            EXPECT_EQ(read::StatusName(r.status), std::string("review")) << what;
            EXPECT_NE(r.reason.find("marks are not clean"), std::string::npos) << what << r.reason;
            EXPECT_EQ(r.candidate, answers.candidate) << what;
            EXPECT_EQ(r.answers, answers.items) << what;
        }
        std::vector<cv::Mat> page2{p.pages[dpi][1].clone()};
        scansim::PencilLine(page2, 1, top, bottom, dpi, 0.6, 0.75);
        const read::SheetResult r = ReadOne(t, scansim::Scan(page2[0], scanner, dpi, rng));
        EXPECT_EQ(read::StatusName(r.status), std::string("page2")) << layout << r.reason;
    }
}

// Stacks of a sheet with bubbles on both pages (90 items run onto page 2): fed face down, each
// page 1 is read with the page 2 before it; a page 1 without its page 2 and a page 2 that could
// be either of two sheets' go to review, never ok with another sheet's answers.
TEST(ReadScansStacks, PagesPairByTheStacksOrderOrGoToReview) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    const auto sheet = scansim::MakeSheet("B5单栏", {{"单选", "90", "4", "1"}});
    ASSERT_TRUE(sheet);
    layout::OmrTemplate t = sheet->omr;
    ASSERT_TRUE(layout::PageHasBubbles(t, 2));
    // A written answer on page 2, whose picture must be filed under its own sheet's number.
    t.regions.push_back({"作文", 1, 91, 0, 10, {2, 20, 80, 140, 100}});
    const std::vector<cv::Mat> printed = scansim::PrintVarelo(*sheet->doc, 150);
    std::mt19937 rng(23);
    const scansim::Scanner scanner{-0.5, false, 1, 2, 1.0, 0.8, 6, 80, 240, false};
    // Sheets a, b, c: scans a1 a2 b1 b2 c1 c2.
    std::vector<scansim::Answers> answers;
    std::vector<read::ScanReading> scans;
    for (const char* s : {"a", "b", "c"}) {
        answers.push_back(scansim::RandomAnswers(t, rng));
        std::vector<cv::Mat> pages{printed[0].clone(), printed[1].clone()};
        scansim::FillAnswers(pages, t, answers.back(), 150, rng);
        for (int page : {1, 2})
            scans.push_back(read::ReadScan(
                t, s + std::to_string(page),
                scansim::Scan(pages[static_cast<size_t>(page - 1)], scanner, 150, rng)));
    }
    const auto stack = [&](const std::vector<size_t>& order) {
        std::vector<read::ScanReading> out;
        for (const size_t i : order) out.push_back(scans[i]);
        return out;
    };
    size_t wrongButOk = 0;
    const auto check = [&](const std::vector<read::ScanReading>& stacked, const std::string& want,
                           const std::string& what) {
        std::string got;
        for (const read::SheetResult& r : read::AssembleSheets(t, stacked, nullptr)) {
            got += (got.empty() ? "" : "|") + stacked[r.scan].name;
            if (r.scan2) got += "+" + stacked[*r.scan2].name;
            got += std::string(" ") + read::StatusName(r.status);
            if (r.status == read::SheetStatus::Review) got += " (" + r.reason + ")";
            if (r.status != read::SheetStatus::Ok) continue;
            const scansim::Answers& a = answers[static_cast<size_t>(stacked[r.scan].name[0] - 'a')];
            wrongButOk += r.candidate != a.candidate || r.answers != a.items || !r.scan2 ||
                          stacked[*r.scan2].name[0] != stacked[r.scan].name[0];
        }
        EXPECT_EQ(got, want) << what;
    };
    const std::vector<read::ScanReading> faceDown = stack({1, 0, 3, 2, 5, 4});
    check(faceDown, "a1+a2 ok|b1+b2 ok|c1+c2 ok", "face down");
    check(stack({0, 1, 2, 3, 4, 5}), "a1+a2 ok|b1+b2 ok|c1+c2 ok", "face up");
    check(stack({0, 1, 2, 4, 5}), "a1+a2 ok|b1 review (page 2 missing)|c1+c2 ok",
          "b's page 2 missing");
    check(stack({0, 1, 2}),
          "a1 review (page 2 missing, or it is a2: the order of the scans does not tell)|a2 "
          "review (page 2 of a1 or b1: the order of the scans does not tell)|b1 review (page 2 "
          "missing, or it is a2: the order of the scans does not tell)",
          "a page 2 between two page 1s");
    EXPECT_EQ(wrongButOk, 0u);

    // The written answer of each page 2 fed face down goes with its own sheet.
    const std::vector<read::SheetResult> sheets = read::AssembleSheets(t, faceDown, nullptr);
    for (const cli::CropFile& c : cli::PlanCrops(t, faceDown, sheets).files)
        if (faceDown[c.scan].registration.page == 2) {
            const scansim::Answers& a =
                answers[static_cast<size_t>(faceDown[c.scan].name[0] - 'a')];
            EXPECT_EQ(c.name, "91/" + a.candidate + ".png") << faceDown[c.scan].name;
        }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReadScans, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return "layout" + std::to_string(info.index); });

}  // namespace
