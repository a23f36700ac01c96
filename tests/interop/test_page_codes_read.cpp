// LibreOffice's print of a coded sheet read by varelo read: each page's code (exam id and page,
// no serial on a .docx) is read and reported per scan.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli_run.h"
#include "office_support.h"

using namespace varelo;
using namespace varelo::interop;
namespace fs = std::filesystem;

TEST(PageCodesRead, LibreOfficePrintOfACodedSheetReadsByItsCodes) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfseparate")) GTEST_SKIP() << "poppler-utils is not installed";
    const TempDir tmp("varelo-codes-read");
    const fs::path dir = tmp.path();
    constexpr const char* kId = "00112233445566ff";
    const varelo::testing::CliRun made = varelo::testing::RunVarelo(
        "generate --layout A4单栏 --answer 解答题,3,20,10 --exam-id " + std::string(kId) + " -o " +
        Quote((dir / "sheet.docx").string()) + " --omr " + Quote((dir / "sheet.json").string()));
    ASSERT_EQ(made.status, 0) << made.output;

    fs::create_directories(dir / "office");
    std::string log;
    ASSERT_EQ(ConvertToPdf({dir / "sheet.docx"}, dir / "home", dir / "office", log), 0) << log;
    // Page 2 scanned before page 1: without codes that is a stack fed face down, told only by
    // other sheets; with them the code says it.
    ASSERT_EQ(RunCommand("pdfseparate " + Quote((dir / "office" / "sheet.pdf").string()) + " " +
                             Quote((dir / "office" / "p%d.pdf").string()),
                         log),
              0)
        << log;
    const varelo::testing::CliRun read =
        varelo::testing::RunVarelo("read " + Quote((dir / "sheet.json").string()) + " " +
                                   Quote((dir / "office" / "p2.pdf").string()) + " " +
                                   Quote((dir / "office" / "p1.pdf").string()) + " -o " +
                                   Quote((dir / "results.csv").string()) + " --json " +
                                   Quote((dir / "results.json").string()));
    std::ifstream in(dir / "results.json");
    ASSERT_TRUE(in) << read.output;
    const nlohmann::json j = nlohmann::json::parse(in);
    ASSERT_EQ(j["scans"].size(), 2u);
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(j["scans"][i]["code"], nlohmann::json({{"examId", kId}, {"page", 2 - i}}))
            << j["scans"][i].dump();
    // Paired by the codes into one sheet, page 1 first, whatever the order scanned.
    ASSERT_EQ(j["sheets"].size(), 1u) << j.dump();
    const std::string page1 = j["sheets"][0]["scan"], page2 = j["sheets"][0].value("scan2", "");
    EXPECT_NE(page1.find("p1.pdf"), std::string::npos) << page1;
    EXPECT_NE(page2.find("p2.pdf"), std::string::npos) << page2;
    // Nothing is filled in: the empty number grid is the only reason to look.
    EXPECT_EQ(j["sheets"][0]["reasonCode"], nlohmann::json::array({"candidateUnread"}));
}
