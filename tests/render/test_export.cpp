#include <gtest/gtest.h>

#include <QImage>
#include <QPageSize>
#include <QPrinter>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>

#include "render/export.h"
#include "render/render_support.h"

using namespace varelo;
using namespace varelo::render;
namespace fs = std::filesystem;

namespace {

class ExportTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { varelo::rendertest::StartOffscreen(); }
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("varelo_export_" +
               std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    fs::path dir;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// Page sizes of a PDF in points, from pdfinfo when installed, else from its /MediaBox entries.
std::vector<std::pair<double, double>> PdfPageSizes(const fs::path& pdf) {
    std::vector<std::pair<double, double>> sizes;
    const std::string cmd = "pdfinfo -f 1 -l 999 '" + pdf.string() + "' 2>/dev/null";
    if (FILE* p = popen(cmd.c_str(), "r")) {
        char line[512];
        const std::regex re(R"(Page\s+\d+ size:\s+([\d.]+) x ([\d.]+) pts)");
        while (fgets(line, sizeof line, p)) {
            std::cmatch m;
            if (std::regex_search(line, m, re))
                sizes.emplace_back(std::stod(m[1]), std::stod(m[2]));
        }
        pclose(p);
    }
    if (!sizes.empty()) return sizes;
    const std::string text = ReadAll(pdf);
    const std::regex box(R"(/MediaBox\s*\[\s*0\s+0\s+([\d.]+)\s+([\d.]+)\s*\])");
    for (std::sregex_iterator it(text.begin(), text.end(), box), end; it != end; ++it)
        sizes.emplace_back(std::stod((*it)[1]), std::stod((*it)[2]));
    return sizes;
}

}  // namespace

TEST_F(ExportTest, PdfHasOnePageOfTheDocumentsSizePerSheetPage) {
    struct Case {
        double width, height;
        int rows;
    };
    // A3 landscape over two pages, and a portrait B5 page.
    for (const Case c : {Case{1190.55, 841.89, 130}, Case{515.9, 728.5, 10}}) {
        varelo::rendertest::GridPage page(c.rows, 10);
        page.doc.pageSetup.pageWidth = c.width;
        page.doc.pageSetup.pageHeight = c.height;
        const fs::path pdf = dir / "sheet.pdf";
        ExportPdf(page.doc, pdf.string());
        const auto sizes = PdfPageSizes(pdf);
        ASSERT_EQ(static_cast<int>(sizes.size()), PageRenderer(page.doc).PageCount());
        for (const auto& [w, h] : sizes) {
            EXPECT_NEAR(w, c.width, 0.5);  // the PDF holds whole points
            EXPECT_NEAR(h, c.height, 0.5);
        }
    }
}

TEST_F(ExportTest, PngPagesAreWhiteImagesAtTheResolution) {
    varelo::rendertest::GridPage page(14, 10);
    page.Write(1, 1, "!", host::kFontBubble, 12, host::Alignment::Left);
    const std::vector<std::string> paths = ExportPng(page.doc, (dir / "sheet").string(), 144);
    ASSERT_EQ(paths, (std::vector<std::string>{(dir / "sheet-1.png").string(),
                                               (dir / "sheet-2.png").string()}));
    QImage first(QString::fromStdString(paths[0]));
    ASSERT_FALSE(first.isNull());
    EXPECT_EQ(first.size(), QSize(400, 300));  // 200 x 150 pt at 2 px per point
    EXPECT_EQ(first.pixel(390, 290), qRgb(255, 255, 255));
    EXPECT_LT(qGray(first.pixel(2 * 16, 2 * 16)), 64);  // the mark in the first cell
}

// A sheet as made has no colour and is stored in 8-bit grey; a coloured rule anywhere keeps
// its colour, in a palette.
TEST_F(ExportTest, PngIsGreyUnlessTheSheetHasColour) {
    const int red = 0x0000FF;  // Word's 0x00BBGGRR
    const host::Border redRule{host::kLineStyleSingle, 16, red};
    struct Case {
        const char* name;
        std::function<void(host::Table&)> colour;
        QImage::Format format;
    };
    const Case cases[] = {
        {"plain", [](host::Table&) {}, QImage::Format_Grayscale8},
        {"border",
         [&](host::Table& t) {
             t.SetBorder({2, 2, 3, 3}, host::BorderType::Top, redRule);
         },
         QImage::Format_Indexed8},
        {"diagonal", [&](host::Table& t) { t.At(2, 2).diagonalUp = redRule; },
         QImage::Format_Indexed8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        varelo::rendertest::GridPage page(4, 4);
        page.table->SetBorder({1, 1, 4, 4}, host::BorderType::Horizontal, host::kSolidBorder);
        c.colour(*page.table);
        const QImage png(
            QString::fromStdString(ExportPng(page.doc, (dir / c.name).string(), 144).front()));
        EXPECT_EQ(png.format(), c.format);
        bool hasRed = false;
        for (int y = 0; y < png.height(); ++y)
            for (int x = 0; x < png.width(); ++x) hasRed |= png.pixel(x, y) == qRgb(255, 0, 0);
        EXPECT_EQ(hasRed, c.format != QImage::Format_Grayscale8);
    }
}

TEST_F(ExportTest, FailuresAreReportedAndLeaveNoFile) {
    varelo::rendertest::GridPage page;
    const fs::path missing = dir / "no" / "such" / "folder";
    EXPECT_THROW(ExportPdf(page.doc, (missing / "a.pdf").string()), std::runtime_error);
    EXPECT_THROW(ExportPng(page.doc, (missing / "a").string()), std::runtime_error);
    EXPECT_THROW(ExportPng(page.doc, (dir / "a").string(), 0), std::runtime_error);
    EXPECT_THROW(ExportPng(page.doc, (dir / "a").string(), 100000), std::runtime_error);
    page.doc.pageSetup.pageWidth = 0;
    EXPECT_THROW(ExportPdf(page.doc, (dir / "a.pdf").string()), std::runtime_error);
    EXPECT_TRUE(fs::is_empty(dir));

    // A failed export keeps an earlier file as it was.
    page.doc.pageSetup.pageWidth = 200;
    const fs::path pdf = dir / "keep.pdf";
    ExportPdf(page.doc, pdf.string());
    const std::string before = ReadAll(pdf);
    page.doc.pageSetup.pageHeight = -1;
    EXPECT_THROW(ExportPdf(page.doc, pdf.string()), std::runtime_error);
    EXPECT_EQ(ReadAll(pdf), before);
}

TEST_F(ExportTest, PrintingHonoursThePrintersPageRange) {
    varelo::rendertest::GridPage page(30, 10);  // three pages
    ASSERT_EQ(PageRenderer(page.doc).PageCount(), 3);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setPageSize(QPageSize(QSizeF(200, 150), QPageSize::Point));
    printer.setFullPage(true);
    const fs::path pdf = dir / "printed.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf.string()));
    printer.setFromTo(2, 3);
    Print(page.doc, printer);
    const auto sizes = PdfPageSizes(pdf);
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_NEAR(sizes[0].first, 200, 0.5);
    EXPECT_NEAR(sizes[0].second, 150, 0.5);
}
