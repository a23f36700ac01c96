// Sheets of every layout, written as .docx and converted by LibreOffice: the office program
// must open them and lay them out on the right paper, on exactly two pages.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "base/units.h"
#include "dialog_sheet.h"
#include "docx/writer.h"
#include "office_support.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

struct Paper {
    const char* layout;
    double widthCm, heightCm;
};
constexpr std::array<Paper, 6> kPapers = {{
    {"A3三栏", 42, 29.7},
    {"A3双栏", 42, 29.7},
    {"8开三栏", 38.8, 26.8},
    {"8开双栏", 38.8, 26.8},
    {"A4单栏", 21, 29.7},
    {"B5单栏", 18.2, 25.7},
}};

}  // namespace

TEST(LibreOffice, EveryLayoutOpensOnItsPaperAndPrintsOnTwoPages) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfinfo")) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    std::vector<fs::path> files;
    for (size_t i = 0; i < kPapers.size(); ++i) {
        const fixture::DialogSheet sheet(kPapers[i].layout);
        ASSERT_NE(sheet.doc, nullptr) << kPapers[i].layout;
        files.push_back(tmp.path() / ("sheet-" + std::to_string(i + 1) + ".docx"));
        host::SaveDocx(*sheet.doc, files.back().string());
        ASSERT_GT(sheet.doc->TableCount(), 0) << kPapers[i].layout;
    }

    const fs::path pdfDir = tmp.path() / "pdf";
    std::string log;
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", pdfDir, log), 0) << log;

    const std::regex size(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)"), pages(R"(Pages:\s+(\d+))");
    for (size_t i = 0; i < kPapers.size(); ++i) {
        SCOPED_TRACE(kPapers[i].layout);
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        ASSERT_TRUE(fs::exists(pdf)) << log;
        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quote(pdf.string()), info), 0) << info;

        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, size)) << info;
        EXPECT_NEAR(std::stod(m[1]), host::CentimetersToPoints(kPapers[i].widthCm), 1.0);
        EXPECT_NEAR(std::stod(m[2]), host::CentimetersToPoints(kPapers[i].heightCm), 1.0);

        ASSERT_TRUE(std::regex_search(info, m, pages)) << info;
        EXPECT_EQ(std::stoi(m[1]), 2);
    }
}
