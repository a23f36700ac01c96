// The reader against simulated scans: every layout through a scanner's distortions, pencil
// marks that must or must not count, pages that are not to be read, and LibreOffice's print.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "read/scan_reading.h"
#include "read/scan_simulator.h"
#include "read/sheet_results.h"

using namespace varelo;

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
// the scan (the accuracy tool takes each at its worst alone).
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

INSTANTIATE_TEST_SUITE_P(Layouts, ReadScans, ::testing::ValuesIn(kLayouts),
                         [](const auto& info) { return "layout" + std::to_string(info.index); });

}  // namespace
