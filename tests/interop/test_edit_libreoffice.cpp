// Sheets finished with composition paper on page 2, saved, reopened and saved again, as
// LibreOffice lays them out: still exactly two pages in every layout.
#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "docx/reader.h"
#include "docx/writer.h"
#include "edited_sheet.h"
#include "office_support.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

TEST(LibreOfficeEdit, EveryReopenedSheetWithCompositionPaperPrintsOnTwoPages) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfinfo")) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    std::vector<fs::path> files;
    for (int16_t code = 1; code <= 6; ++code) {
        fixture::EditedSheet sheet(code);
        ASSERT_NE(sheet.doc, nullptr);
        ASSERT_TRUE(sheet.app.messages.empty()) << code;
        const std::unique_ptr<host::Document> reopened =
            host::OpenDocxBytes(host::DocxBytes(*sheet.doc));
        files.push_back(tmp.path() / ("edited-" + std::to_string(code) + ".docx"));
        host::SaveDocx(*reopened, files.back().string());
    }

    std::string log;
    const fs::path pdfDir = tmp.path() / "pdf";
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", pdfDir, log), 0) << log;

    const std::regex pages(R"(Pages:\s+(\d+))");
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(fixture::kLayoutNames[i]);
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        ASSERT_TRUE(fs::exists(pdf)) << log;
        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quote(pdf.string()), info), 0) << info;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, pages)) << info;
        EXPECT_EQ(std::stoi(m[1]), 2);
    }
}
