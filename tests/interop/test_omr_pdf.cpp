// The scanner template against the exported PDF as poppler rasterises it: the file that goes
// to the printer must put the marks and bubbles where the template says.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <QImage>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "host/application.h"
#include "layout/omr_template.h"
#include "render/export.h"
#include "render/gui_app.h"
#include "render/omr_probe.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::omrprobe;

namespace {

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

bool HasPdftoppm() {
    return std::system("pdftoppm -v >/dev/null 2>&1") == 0;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

TEST(OmrTemplatePdf, MarksAndBubblesLieWhereTheTemplateSays) {
    if (!HasPdftoppm()) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    render::EnsureGuiApplication();
    std::string pattern = (fs::temp_directory_path() / "varelo-omr-pdf-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;

    for (size_t i = 0; i < std::size(kLayouts); ++i) {
        SCOPED_TRACE(kLayouts[i]);
        host::Application app;
        layout::SheetForm form;
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = kLayouts[i];
        settings::cmdAdd_Click(app, form);
        const host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr);
        const layout::OmrTemplate t =
            layout::BuildOmrTemplate(*doc, form, *settings::LayoutCode(form.cmbPage));

        const fs::path pdf = dir / ("sheet-" + std::to_string(i + 1) + ".pdf");
        render::ExportPdf(*doc, pdf.string());
        const fs::path prefix = dir / ("page-" + std::to_string(i + 1));
        ASSERT_EQ(std::system(("pdftoppm -r " + std::to_string(kDpi) + " -png " +
                               Quote(pdf.string()) + " " + Quote(prefix.string()))
                                  .c_str()),
                  0);
        std::vector<QImage> pages;
        for (size_t p = 1; p <= t.pages.size(); ++p) {
            pages.emplace_back(
                QString::fromStdString(prefix.string() + "-" + std::to_string(p) + ".png"));
            ASSERT_FALSE(pages.back().isNull()) << "page " << p;
        }
        EXPECT_EQ(ExpectMarksInPlace(pages, t), 3u * 2 + 10 + 8);
        EXPECT_EQ(ExpectBubblesInPlace(pages, t), 9u * 10 + 30u * 4);
    }
    fs::remove_all(dir);
}

}  // namespace
