// The marks a sheet carries beside the answers, read off simulated scans in every layout.
#include <gtest/gtest.h>
#include <unistd.h>

#include <random>

#include "omr/template_file.h"
#include "read/scan_simulator.h"
#include "scan/scan_reading.h"
#include "scan/sheet_results.h"

using namespace varelo;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};
constexpr int kDpi = 100;

class ReadMarks : public ::testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite() { setenv("QT_QPA_PLATFORM", "offscreen", 1); }
};

read::SheetResult ReadPages(const layout::OmrTemplate& t, const std::vector<cv::Mat>& pages,
                            std::mt19937& rng) {
    const scansim::Scanner scanner{.rotateDegrees = 0.4, .noiseSigma = 3};
    std::vector<read::ScanReading> scans;
    for (size_t p = 0; p < pages.size(); ++p)
        if (layout::PageHasBubbles(t, static_cast<int>(p) + 1) || p == 0)
            scans.push_back(read::ReadScan(t, "scan" + std::to_string(p + 1),
                                           scansim::Scan(pages[p], scanner, kDpi, rng)));
    return read::AssembleSheets(t, scans, nullptr).front();
}

// 缺考 filled with nothing marked makes the sheet absent, its answers and paper type empty;
// filled beside an answer or a paper type it goes to a person, since an invigilator's slip must
// never drop a candidate who sat. The paper type is the one bubble filled; none or two go to a
// person too.
TEST_P(ReadMarks, AbsentMarkAndPaperTypes) {
    const auto sheet = scansim::MakeSheet(GetParam(), {}, {}, {.absent = true, .paperTypes = "AB"});
    ASSERT_TRUE(sheet);
    // Read as the command reads it: from the template's JSON.
    const std::string json = layout::OmrTemplateJson(sheet->omr);
    EXPECT_NE(json.find("\"version\": 1,"), std::string::npos);
    const layout::OmrTemplate t = read::ParseTemplate(json);
    ASSERT_EQ(t.absent.size(), 1u);
    ASSERT_EQ(t.paperTypes.size(), 2u);
    const std::vector<cv::Mat> printed = scansim::PrintVarelo(*sheet->doc, kDpi);
    std::mt19937 rng(7);
    const scansim::Answers none{"123456789", std::vector<std::string>(t.items.size())};
    scansim::Answers some = none;
    some.items[3] = "B";

    struct Case {
        const char* what;
        const scansim::Answers& answers;
        bool absent;
        const char* paper;  // the types filled
        const char* status;
        const char* reason;  // a part of it, for review
    };
    for (const Case& c :
         {Case{"absent, nothing marked", none, true, "", "absent", ""},
          Case{"absent, one item answered", some, true, "A", "review", "缺考已涂但有作答"},
          Case{"absent, a paper type filled", none, true, "B", "review", "缺考已涂但有作答"},
          Case{"paper A", some, false, "A", "ok", ""}, Case{"paper B", some, false, "B", "ok", ""},
          Case{"no paper type", some, false, "", "review", "no paper type"},
          Case{"both paper types", some, false, "AB", "review",
               "several paper types filled: AB"}}) {
        std::vector<cv::Mat> pages = printed;
        for (cv::Mat& p : pages) p = p.clone();
        scansim::FillAnswers(pages, t, c.answers, kDpi, rng);
        if (c.absent) scansim::Pencil(pages, t.absent[0].rect, kDpi, 0.9, 0.75, rng);
        for (const layout::OmrBubble& b : t.paperTypes)
            if (std::string(c.paper).find(b.value) != std::string::npos)
                scansim::Pencil(pages, b.rect, kDpi, 0.9, 0.75, rng);
        const read::SheetResult r = ReadPages(t, pages, rng);
        EXPECT_EQ(read::StatusName(r.status), std::string(c.status)) << c.what << ": " << r.reason;
        EXPECT_NE(r.reason.find(c.reason), std::string::npos) << c.what << ": " << r.reason;
        EXPECT_EQ(r.candidate, "123456789") << c.what;
        EXPECT_EQ(r.answers, c.answers.items) << c.what;
        EXPECT_EQ(r.paper, c.paper) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, ReadMarks, ::testing::ValuesIn(kLayouts));

}  // namespace
