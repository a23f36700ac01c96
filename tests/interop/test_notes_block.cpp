// The notes to candidates fill their cell exactly, one text line per grid row, so a line
// broken otherwise than the word processor breaks it, or text set elsewhere in its line,
// shows as ink on the cell's rules. Checked for every layout: Varelo's lines against
// LibreOffice's print of the same .docx, and Varelo's own picture of the cell.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "doc/page_layout.h"
#include "docx/writer.h"
#include "office_support.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"
#include "render/text_layout.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

constexpr const char* kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

using Sheet = fixture::DialogSheet;

struct NotesCell {
    const host::Table* table = nullptr;
    int row = 0, column = 0;
    host::PageRect rect;

    const host::Cell& Cell() const { return table->At(row, column); }
    double TextWidth() const { return rect.width - table->leftPadding - table->rightPadding; }
};

NotesCell FindNotes(const host::Document& doc) {
    for (const host::PlacedTable& pt : host::LayOutPages(doc).tables)
        for (int r = 1; r <= pt.table->Rows(); ++r)
            for (int c = 1; c <= pt.table->Columns(); ++c)
                if (pt.table->IsAnchor(r, c) && pt.table->At(r, c).Text().rfind("1.答题前", 0) == 0)
                    return {pt.table, r, c, *pt.CellRect(r, c)};
    return {};
}

std::vector<std::string> Paragraphs(const host::Cell& cell) {
    std::vector<std::string> texts;
    for (const host::Block& b : cell.content)
        if (!b.IsTable() && !b.paragraph.Text().empty()) texts.push_back(b.paragraph.Text());
    return texts;
}

// The lines of text poppler finds inside a rectangle of a PDF page, top to bottom.
std::vector<std::string> PdfLinesIn(const fs::path& pdf, const host::PageRect& rect) {
    std::string xhtml;
    const std::string page = std::to_string(rect.page + 1);
    RunCommand("pdftotext -bbox -f " + page + " -l " + page + " " + Quote(pdf.string()) + " -",
               xhtml);
    const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re");
    std::map<long, std::map<double, std::string>> lines;  // baseline band -> x -> text
    for (std::sregex_iterator it(xhtml.begin(), xhtml.end(), word), end; it != end; ++it) {
        const double x = (std::stod((*it)[1]) + std::stod((*it)[3])) / 2,
                     y = (std::stod((*it)[2]) + std::stod((*it)[4])) / 2;
        if (x < rect.x || x > rect.x + rect.width || y < rect.y || y > rect.y + rect.height)
            continue;
        lines[std::lround(std::stod((*it)[4]) * 2)][std::stod((*it)[1])] += (*it)[5];
    }
    std::vector<std::string> out;
    for (const auto& [band, words] : lines) {
        std::string text;
        for (const auto& [x, w] : words) text += w;
        out.push_back(text);
    }
    return out;
}

// How many of the lines each paragraph takes, reading the lines in order.
std::vector<size_t> LinesPerParagraph(const std::vector<std::string>& paragraphs,
                                      const std::vector<std::string>& lines) {
    std::vector<size_t> counts;
    size_t next = 0;
    for (const std::string& p : paragraphs) {
        std::string seen;
        size_t count = 0;
        while (next < lines.size() && seen.size() < p.size()) {
            seen += lines[next++];
            ++count;
        }
        counts.push_back(seen == p ? count : 0);  // 0: the text did not match
    }
    return counts;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines) s += "\n  " + l;
    return s;
}

}  // namespace

TEST(NotesBlock, EveryParagraphBreaksIntoLibreOfficesLines) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdftotext")) GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    render::EnsureGuiApplication();
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    std::vector<std::unique_ptr<Sheet>> sheets;
    std::vector<fs::path> files;
    for (const char* layout : kLayouts) {
        sheets.push_back(std::make_unique<Sheet>(layout));
        ASSERT_NE(sheets.back()->doc, nullptr) << layout;
        files.push_back(tmp.path() / (std::to_string(files.size() + 1) + ".docx"));
        host::SaveDocx(*sheets.back()->doc, files.back().string());
    }
    std::string log;
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", tmp.path() / "pdf", log), 0) << log;

    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(kLayouts[i]);
        const host::Document& doc = *sheets[i]->doc;
        const NotesCell notes = FindNotes(doc);
        ASSERT_NE(notes.table, nullptr);
        const std::vector<std::string> paragraphs = Paragraphs(notes.Cell());
        ASSERT_EQ(paragraphs.size(), 4u);

        std::vector<size_t> ours;
        std::vector<std::string> ourLines;
        for (const host::Block& b : notes.Cell().content) {
            if (b.IsTable() || b.paragraph.Text().empty()) continue;
            const render::ParagraphLayout l =
                render::LayoutParagraph(doc, b.paragraph, notes.TextWidth());
            ours.push_back(l.lines.size());
            for (const render::TextLine& line : l.lines) {
                std::string text;
                for (const render::TextPiece& piece : line.pieces) text += piece.text.toStdString();
                ourLines.push_back(text);
            }
        }
        const fs::path pdf = tmp.path() / "pdf" / files[i].filename().replace_extension(".pdf");
        const std::vector<std::string> theirLines = PdfLinesIn(pdf, notes.rect);
        EXPECT_EQ(ours, LinesPerParagraph(paragraphs, theirLines))
            << "Varelo:" << Joined(ourLines) << "\nLibreOffice:" << Joined(theirLines);
    }
}

// Drawn at 300 dpi with and without the notes, the difference is the notes' ink: none of it
// may lie on the cell's rules.
TEST(NotesBlock, InkStaysOffTheCellsRules) {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    render::EnsureGuiApplication();
    constexpr double kScale = 300 / 72.0;
    for (const char* layout : kLayouts) {
        SCOPED_TRACE(layout);
        const Sheet sheet(layout);
        ASSERT_NE(sheet.doc, nullptr);
        host::Document blank = *sheet.doc;
        const NotesCell notes = FindNotes(*sheet.doc);
        ASSERT_NE(notes.table, nullptr);
        const NotesCell emptied = FindNotes(blank);
        const_cast<host::Table*>(emptied.table)->At(emptied.row, emptied.column).content = {
            host::Block{}};

        auto draw = [&](const host::Document& doc) {
            QImage image(qRound(doc.pageSetup.pageWidth * kScale),
                         qRound(doc.pageSetup.pageHeight * kScale), QImage::Format_Grayscale8);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.scale(kScale, kScale);
            render::PageRenderer(doc).Draw(painter, notes.rect.page);
            return image;
        };
        const QImage with = draw(*sheet.doc), without = draw(blank);

        // Above and below, where line breaking and the baseline decide, ink may neither lie on
        // the 0.5 pt rule nor on the pixel next to it. Beside the text the cell has no padding,
        // so glyphs at a line's start come within a pixel of the rule (in LibreOffice too):
        // there the ink must only stay off the rule itself.
        const double band = 0.25 * kScale + 1, onRule = 0.25 * kScale;
        const double left = notes.rect.x * kScale,
                     right = (notes.rect.x + notes.rect.width) * kScale,
                     top = notes.rect.y * kScale,
                     bottom = (notes.rect.y + notes.rect.height) * kScale;
        int inkPixels = 0;
        std::map<std::string, int> onRules;  // by side
        for (int y = 0; y < with.height(); ++y)
            for (int x = 0; x < with.width(); ++x) {
                if (std::abs(with.constScanLine(y)[x] - without.constScanLine(y)[x]) < 32) continue;
                ++inkPixels;
                const double px = x + 0.5, py = y + 0.5;
                if (px < left + onRule) ++onRules["left"];
                if (px > right - onRule) ++onRules["right"];
                if (py < top + band) ++onRules["top"];
                if (py > bottom - band) ++onRules["bottom"];
            }
        EXPECT_GT(inkPixels, 1000);
        EXPECT_EQ(onRules, (std::map<std::string, int>{})) << "ink pixels on each rule";
    }
}
