// Sheets that went through other programs: re-saved by LibreOffice they open, take an edit,
// render and give the scanner template they were made with, from their settings or, without
// them, from the grid; touched by python-docx they open
// read-only and say what a save would lose; a logo put into a cell stays editable and saved.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "compose/driver.h"
#include "compose/sheet_exam.h"
#include "compose/sheet_settings_part.h"
#include "compose/template_reading.h"
#include "doc/application.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "edit/tools.h"
#include "edited_sheet.h"
#include "office_support.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

// The two templates agree: the same marks and bubbles, each within tolerance millimetres.
void ExpectSameTemplate(const layout::OmrTemplate& a, const layout::OmrTemplate& b,
                        double tolerance) {
    auto near = [&](const layout::OmrRect& x, const layout::OmrRect& y) {
        return x.page == y.page && std::abs(x.x - y.x) <= tolerance &&
               std::abs(x.y - y.y) <= tolerance && std::abs(x.width - y.width) <= tolerance &&
               std::abs(x.height - y.height) <= tolerance;
    };
    ASSERT_EQ(a.pages.size(), b.pages.size());
    for (size_t p = 0; p < a.pages.size(); ++p) {
        ASSERT_EQ(a.pages[p].marks.size(), b.pages[p].marks.size());
        for (size_t m = 0; m < a.pages[p].marks.size(); ++m)
            EXPECT_TRUE(near(a.pages[p].marks[m].rect, b.pages[p].marks[m].rect))
                << "page " << p + 1 << " mark " << m;
    }
    ASSERT_EQ(a.candidateColumns.size(), b.candidateColumns.size());
    for (size_t c = 0; c < a.candidateColumns.size(); ++c)
        for (size_t d = 0; d < a.candidateColumns[c].size(); ++d)
            EXPECT_TRUE(near(a.candidateColumns[c][d].rect, b.candidateColumns[c][d].rect));
    ASSERT_EQ(a.items.size(), b.items.size());
    for (size_t i = 0; i < a.items.size(); ++i)
        for (size_t o = 0; o < a.items[i].options.size(); ++o)
            EXPECT_TRUE(near(a.items[i].options[o].rect, b.items[i].options[o].rect))
                << "item " << i + 1 << " option " << o;
}

// The pictures of the grid's cells, by the cell's top-left slot.
struct PlacedPicture {
    int row, column;
    host::InlinePicture picture;
};
std::vector<PlacedPicture> GridPictures(const host::Document& doc) {
    std::vector<PlacedPicture> out;
    const host::Table& t = doc.Tables(1);
    for (int r = 1; r <= t.Rows(); ++r)
        for (int c = 1; c <= t.Columns(); ++c) {
            if (!t.IsAnchor(r, c)) continue;
            for (const host::Block& b : t.At(r, c).content)
                for (const host::Run& run : b.paragraph.runs)
                    if (run.picture) out.push_back({r, c, *run.picture});
        }
    return out;
}

int ConvertToDocx(const std::vector<fs::path>& files, const fs::path& home, const fs::path& out,
                  std::string& log) {
    fs::create_directories(home);
    std::string command =
        "HOME=" + Quote(home.string()) +
        " timeout 600 soffice --headless --norestore --convert-to docx --outdir " +
        Quote(out.string());
    for (const fs::path& f : files) command += " " + Quote(f.string());
    return RunCommand(command, log);
}

}  // namespace

TEST(OfficeResave, EveryLayoutResavedByLibreOfficeOpensEditsRendersAndKeepsItsTemplate) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    render::EnsureGuiApplication();

    std::vector<fs::path> files;
    std::vector<layout::OmrTemplate> templates;
    for (int16_t code = 1; code <= 6; ++code) {
        const fixture::DialogSheet sheet(code);
        ASSERT_NE(sheet.doc, nullptr);
        templates.push_back(sheet.Template());
        files.push_back(tmp.path() / ("sheet-" + std::to_string(code) + ".docx"));
        host::SaveDocx(*sheet.doc, files.back().string());
    }
    std::string log;
    const fs::path out = tmp.path() / "resaved";
    ASSERT_EQ(ConvertToDocx(files, tmp.path() / "home", out, log), 0) << log;

    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(fixture::kLayoutNames[i]);
        host::Application app;
        host::Document& doc =
            app.AdoptDocument(host::OpenDocx((out / files[i].filename()).string()));
        ASSERT_FALSE(doc.ReadOnly()) << host::UnmodelledMessage(doc);

        // The settings came through, and the grid still gives the same template.
        const std::optional<settings::SavedSettings> form = settings::SheetSettingsOf(doc);
        ASSERT_TRUE(form.has_value());
        const settings::ValidExam made = settings::ExamOfSettings(form->draft);
        ExpectSameTemplate(layout::BuildOmrTemplate(doc, made.exam, made.plan), templates[i], 0.1);
        // Without them, as an office program may leave it, the grid tells the same template.
        std::vector<host::CustomXmlPart> settingsParts = std::move(doc.customXml);
        doc.customXml.clear();
        const settings::ValidExam inferred = settings::ExamOfGrid(doc);
        EXPECT_EQ(exam::DraftOf(inferred.exam).groups, exam::DraftOf(made.exam).groups);
        ExpectSameTemplate(layout::BuildOmrTemplate(doc, inferred.exam, inferred.plan),
                           templates[i], 0.1);
        doc.customXml = std::move(settingsParts);
        EXPECT_EQ(render::PageCount(doc), 2);

        // A box drawn near the foot of the grid, saved and reopened.
        bool cancel = false;
        const int last = doc.Tables(1).Rows();
        app.selection.SelectCells(doc.Tables(1), {last - 6, 4, last - 4, 8});
        tools::cbbBox_Click(app, cancel);
        EXPECT_TRUE(doc.Tables(1).HorizontalEdge(last - 6, 5).Visible());
        const std::string saved = host::DocxBytes(doc);
        EXPECT_EQ(host::DocxBytes(*host::OpenDocxBytes(saved)), saved);
    }
}

TEST(OfficeResave, ASheetTouchedByPythonDocxOpensReadOnlyNamingWhatItAdded) {
    std::string probe;
    if (RunCommand("/usr/bin/python3 -c 'import docx'", probe) != 0)
        GTEST_SKIP() << "python3-docx is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const fixture::DialogSheet sheet("8开三栏");  // the dialog's own paper
    ASSERT_NE(sheet.doc, nullptr);
    const fs::path in = tmp.path() / "sheet.docx", touched = tmp.path() / "touched.docx";
    host::SaveDocx(*sheet.doc, in.string());
    std::string log;
    ASSERT_EQ(RunCommand("/usr/bin/python3 " +
                             Quote(std::string(VARELO_SOURCE_DIR) +
                                   "/tests/interop/touch_with_python_docx.py") +
                             " " + Quote(in.string()) + " " + Quote(touched.string()),
                         log),
              0)
        << log;

    const std::unique_ptr<host::Document> doc = host::OpenDocx(touched.string());
    EXPECT_EQ(doc->unmodelled, std::vector<std::string>{"headers and footers"});
    EXPECT_NE(host::ContentText(doc->body).find("考试说明：请用2B铅笔填涂。"), std::string::npos);
    EXPECT_THROW(host::SaveDocx(*doc, (tmp.path() / "lost.docx").string()), host::SaveError);
    // The sheet itself still reads as it was made.
    EXPECT_TRUE(settings::SheetSettingsOf(*doc).has_value());
}

TEST(OfficeResave, ALogoPutIntoACellByPythonDocxOrLibreOfficeOpensEditableSavesAndStays) {
    std::string probe;
    if (RunCommand("/usr/bin/python3 -c 'import docx'", probe) != 0)
        GTEST_SKIP() << "python3-docx is not installed";
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());
    const fixture::DialogSheet sheet("A4单栏");
    ASSERT_NE(sheet.doc, nullptr);
    const fs::path in = tmp.path() / "sheet.docx", logo = tmp.path() / "logo.docx";
    host::SaveDocx(*sheet.doc, in.string());
    std::string log;
    // Into the title block, which spans the slot python-docx calls (1, 5).
    ASSERT_EQ(RunCommand("/usr/bin/python3 " +
                             Quote(std::string(VARELO_SOURCE_DIR) +
                                   "/tests/interop/logo_in_cell_with_python_docx.py") +
                             " " + Quote(in.string()) + " " + Quote(logo.string()) + " 1 5",
                         log),
              0)
        << log;
    const fs::path resavedDir = tmp.path() / "resaved";
    ASSERT_EQ(ConvertToDocx({logo}, tmp.path() / "home", resavedDir, log), 0) << log;

    std::vector<fs::path> ours;
    for (const fs::path& file : {logo, resavedDir / "logo.docx"}) {
        SCOPED_TRACE(file.string());
        const std::unique_ptr<host::Document> doc = host::OpenDocx(file.string());
        ASSERT_FALSE(doc->ReadOnly()) << host::UnmodelledMessage(*doc);
        const std::vector<PlacedPicture> pictures = GridPictures(*doc);
        ASSERT_EQ(pictures.size(), 1u);
        const host::CellRect title = doc->Tables(1).CellArea(pictures[0].row, pictures[0].column);
        EXPECT_TRUE(title.Contains(2, 6));
        EXPECT_NE(host::ContentText(doc->Tables(1).At(2, 6).content), "");  // the title stays
        const host::InlinePicture& picture = pictures[0].picture;
        EXPECT_EQ(picture.contentType, "image/png");
        EXPECT_NEAR(picture.width, 2 / 2.54 * 72, 0.1);
        EXPECT_NEAR(picture.height, 1 / 2.54 * 72, 0.1);

        // Saved by us, it reads back to the same picture in the same cell, and is stable.
        const fs::path saved = tmp.path() / ("ours-" + std::to_string(ours.size()) + ".docx");
        host::SaveDocx(*doc, saved.string());
        ours.push_back(saved);
        const std::unique_ptr<host::Document> again = host::OpenDocx(saved.string());
        EXPECT_FALSE(again->ReadOnly());
        const std::vector<PlacedPicture> back = GridPictures(*again);
        ASSERT_EQ(back.size(), 1u);
        EXPECT_EQ(back[0].row, pictures[0].row);
        EXPECT_EQ(back[0].column, pictures[0].column);
        EXPECT_EQ(back[0].picture, picture);
        EXPECT_EQ(host::DocxBytes(*again), host::DocxBytes(*doc));
    }

    // LibreOffice prints what we saved with the picture in it.
    const fs::path pdfDir = tmp.path() / "pdf";
    ASSERT_EQ(ConvertToPdf(ours, tmp.path() / "home", pdfDir, log), 0) << log;
    for (const fs::path& file : ours) {
        std::string images;
        const fs::path pdf = pdfDir / file.filename().replace_extension(".pdf");
        ASSERT_EQ(RunCommand("pdfimages -list " + Quote(pdf.string()), images), 0) << images;
        EXPECT_NE(images.find("   16     8  gray"), std::string::npos) << images;
    }
}
