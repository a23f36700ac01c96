// Page codes as printed: Varelo's numbered PDF and LibreOffice's print of the .docx put each
// code where the template says, and it decodes to its page (and serial).
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <opencv2/imgcodecs.hpp>
#include <string>
#include <vector>

#include "cli_run.h"
#include "codes/page_code.h"
#include "codes/qr_code.h"
#include "office_support.h"
#include "omr/template_file.h"

using namespace varelo;
using namespace varelo::interop;
namespace fs = std::filesystem;

namespace {

constexpr int kDpi = 150;
constexpr double kTolerance = 0.5;  // mm
constexpr const char* kId = "0123456789abcdef";
// The symbol stands in the middle of the square, inside its quiet zone of 4 modules of 37.
constexpr double kQuietShare = 4.0 / 37.0;

// The code found on a rendered page, checked against the template's square; its text.
std::string CodeOnPage(const fs::path& png, const layout::OmrRect& square) {
    const cv::Mat page = cv::imread(png.string(), cv::IMREAD_GRAYSCALE);
    EXPECT_FALSE(page.empty()) << png;
    if (page.empty()) return {};
    const std::vector<codes::FoundCode> found = codes::ReadQrCodes(page);
    EXPECT_EQ(found.size(), 1u) << png;
    if (found.size() != 1) return {};
    const double mmPerPixel = 25.4 / kDpi;
    double left = 1e9, top = 1e9, right = 0, bottom = 0;
    for (const cv::Point2f& p : found[0].corners) {
        left = std::min(left, p.x * mmPerPixel);
        right = std::max(right, (p.x + 1) * mmPerPixel);
        top = std::min(top, p.y * mmPerPixel);
        bottom = std::max(bottom, (p.y + 1) * mmPerPixel);
    }
    EXPECT_NEAR((left + right) / 2, square.CenterX(), kTolerance) << png;
    EXPECT_NEAR((top + bottom) / 2, square.CenterY(), kTolerance) << png;
    const double quiet = square.width * kQuietShare;
    EXPECT_GE(left, square.x + quiet - kTolerance) << png;
    EXPECT_GE(top, square.y + quiet - kTolerance) << png;
    EXPECT_LE(right, square.x + square.width - quiet + kTolerance) << png;
    EXPECT_LE(bottom, square.y + square.height - quiet + kTolerance) << png;
    return found[0].text;
}

std::vector<fs::path> Pages(const fs::path& pdf, const fs::path& prefix) {
    std::string log;
    EXPECT_EQ(RunCommand("pdftoppm -gray -png -r " + std::to_string(kDpi) + " " +
                             Quote(pdf.string()) + " " + Quote(prefix.string()),
                         log),
              0)
        << log;
    std::vector<fs::path> pages;
    for (const auto& e : fs::directory_iterator(prefix.parent_path()))
        if (e.path().filename().string().rfind(prefix.filename().string() + "-", 0) == 0)
            pages.push_back(e.path());
    std::sort(pages.begin(), pages.end());
    return pages;
}

}  // namespace

// Three numbered copies: six pages, the codes of copy n carrying serial n; the .docx printed by
// LibreOffice: its two codes without a serial. Every code within 0.5 mm of its square.
TEST(PageCodesPrint, NumberedPdfAndLibreOfficePrintPutCodesWhereTheTemplateSays) {
    if (!OnPath("pdftoppm")) GTEST_SKIP() << "poppler-utils is not installed";
    const TempDir tmp("varelo-codes-print");
    const fs::path dir = tmp.path();
    const varelo::testing::CliRun made = varelo::testing::RunVarelo(
        "generate --layout A3三栏 --group 选择题,60,4,1 --answer 解答题,20,6,10 --exam-id " +
        std::string(kId) + " --copies 3 --pdf " + Quote((dir / "copies.pdf").string()) + " -o " +
        Quote((dir / "sheet.docx").string()) + " --omr " + Quote((dir / "sheet.json").string()));
    ASSERT_EQ(made.status, 0) << made.output;
    const layout::OmrTemplate t = read::LoadTemplate((dir / "sheet.json").string());
    ASSERT_EQ(t.pageCodes.size(), 2u);

    const std::vector<fs::path> pages = Pages(dir / "copies.pdf", dir / "copy");
    ASSERT_EQ(pages.size(), 6u);
    for (size_t i = 0; i < pages.size(); ++i) {
        const int page = static_cast<int>(i % 2) + 1;
        const long serial = static_cast<long>(i / 2) + 1;
        EXPECT_EQ(CodeOnPage(pages[i], t.pageCodes[static_cast<size_t>(page - 1)]),
                  codes::PageCodePayload({kId, page, serial, {}}));
    }

    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    fs::create_directories(dir / "office");
    std::string log;
    ASSERT_EQ(ConvertToPdf({dir / "sheet.docx"}, dir / "home", dir / "office", log), 0) << log;
    const std::vector<fs::path> printed = Pages(dir / "office" / "sheet.pdf", dir / "office" / "p");
    ASSERT_EQ(printed.size(), 2u);
    for (int page = 1; page <= 2; ++page)
        EXPECT_EQ(CodeOnPage(printed[static_cast<size_t>(page - 1)],
                             t.pageCodes[static_cast<size_t>(page - 1)]),
                  codes::PageCodePayload({kId, page, std::nullopt, {}}));
}
