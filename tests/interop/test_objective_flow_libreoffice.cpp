// Sheets whose objective groups fill the page columns of both pages, as LibreOffice prints
// them: still two pages, and three-digit item numbers clear of each other.
#include <gtest/gtest.h>

#include <QImage>
#include <filesystem>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "doc/page_layout.h"
#include "docx/writer.h"
#include "number_gaps.h"
#include "office_support.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

struct SheetRequest {
    const char* layout;
    std::vector<fixture::DialogGroup> groups;
};

}  // namespace

TEST(LibreOffice, FullSheetsPrintOnTwoPagesWithLegibleItemNumbers) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfinfo") || !OnPath("pdftoppm")) GTEST_SKIP() << "poppler-utils is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    // The largest four-option group of the layouts, and a real exam on A3三栏.
    const std::vector<SheetRequest> requests = {
        {"A3双栏", {{"选择题", "925", "4", "1"}}},
        {"8开三栏", {{"选择题", "555", "4", "1"}}},
        {"8开双栏", {{"选择题", "660", "4", "1"}}},
        {"A4单栏", {{"选择题", "320", "4", "1"}}},
        {"B5单栏", {{"选择题", "240", "4", "1"}}},
        {"A3三栏",
         {{"单选", "60", "4", "1"}, {"多选", "40", "5", "1"}, {"判断", "30", "2", "1", 2}}},
    };
    std::vector<std::unique_ptr<fixture::DialogSheet>> sheets;
    std::vector<fs::path> files;
    for (const SheetRequest& r : requests) {
        sheets.push_back(std::make_unique<fixture::DialogSheet>(r.layout, r.groups));
        ASSERT_NE(sheets.back()->doc, nullptr) << r.layout;
        files.push_back(tmp.path() / ("full-" + std::to_string(files.size() + 1) + ".docx"));
        host::SaveDocx(*sheets.back()->doc, files.back().string());
    }
    const fs::path pdfDir = tmp.path() / "pdf";
    std::string log;
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", pdfDir, log), 0) << log;

    constexpr int kDpi = 200;  // half a millimetre is four pixels
    const std::regex pagesLine(R"(Pages:\s+(\d+))");
    for (size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(std::string(requests[i].layout) + " sheet " + std::to_string(i + 1));
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quote(pdf.string()), info), 0) << info;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, pagesLine)) << info;
        EXPECT_EQ(std::stoi(m[1]), 2);

        // One page with three-digit numbers is enough: both hold the same blocks.
        const host::PageLayout pages = host::LayOutPages(*sheets[i]->doc);
        for (int page = 0, measured = 0; page < 2 && measured == 0; ++page) {
            const auto pairs = varelo::testing::NeighbouringLongNumbers(*pages.FirstTable(), page);
            if (pairs.empty()) continue;
            ++measured;
            const fs::path prefix = tmp.path() / ("page-" + std::to_string(i));
            std::string out;
            ASSERT_EQ(
                RunCommand("pdftoppm -gray -png -singlefile -r " + std::to_string(kDpi) + " -f " +
                               std::to_string(page + 1) + " -l " + std::to_string(page + 1) + " " +
                               Quote(pdf.string()) + " " + Quote(prefix.string()),
                           out),
                0)
                << out;
            const QImage image(QString::fromStdString(prefix.string() + ".png"));
            ASSERT_FALSE(image.isNull());
            EXPECT_GE(
                varelo::testing::NarrowestGapMm(image, kDpi / 72.0, *pages.FirstTable(), pairs),
                0.5)
                << "page " << page + 1;
        }
    }
}
