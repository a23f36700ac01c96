// Text larger than the sheet's exact 12 pt lines, as a teacher sets it in merged cells: a
// heading in one row, a note over two, more lines than the merge holds. Line by line, the ink
// Varelo draws must lie where LibreOffice prints it: a paragraph that fits draws whole, past the
// cell's top and foot if its glyphs are larger than their lines; one that does not fit is cut
// to its lines and to the cell, and its lines below the foot are not drawn.
#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "doc/page_layout.h"
#include "docx/writer.h"
#include "office_support.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

constexpr double kDpi = 300, kScale = kDpi / 72;
// Glyphs are rasterised by two programs: their edges differ by a pixel or two.
constexpr double kTolerancePt = 0.75;

struct Case {
    const char* what;
    int rows;
    std::vector<std::string> paragraphs;  // alternately set left and right
    double size;
    bool bold = false;
    double line = 12;  // exact pitch
};

// Only Chinese text, in the one font both programs draw with the same outlines.
const std::vector<Case> kCases = {
    {"a heading in a one-row merge", 1, {"期末考试数学"}, 15, true},
    {"a two-line note", 2, {"注意：请用黑色", "超出答题区域"}, 14},
    {"a large heading", 1, {"期末考试"}, 20},
    {"a third line below the foot", 2, {"第一行", "第二行", "第三行"}, 14},
    {"one paragraph of three lines in two rows",
     2,
     {"一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十一二三四五六七八九十"},
     14},
    {"a pitch taller than the row", 1, {"答题卡"}, 10.5, false, 16},
    {"small text", 2, {"第一行", "第二行"}, 9},
};

bool Blank(const host::Table& t, const host::CellRect& r) {
    if (r.bottom > t.Rows() || r.right > t.Columns()) return false;
    for (int row = r.top; row <= r.bottom; ++row)
        for (int c = r.left; c <= r.right; ++c) {
            const host::CellRect a = t.CellArea(row, c);
            if (a.top != a.bottom || a.left != a.right || !t.At(row, c).Text().empty())
                return false;
        }
    return true;
}

// The next blank block of the grid, left to right, then down, from `row` on.
host::CellRect NextBlank(const host::Table& t, int& row, int rows, int columns) {
    for (; row + rows - 1 <= t.Rows(); ++row)
        for (int left = 1; left + columns - 1 <= t.Columns(); ++left) {
            const host::CellRect r{row, left, row + rows - 1, left + columns - 1};
            if (Blank(t, r)) return r;
        }
    return {};
}

struct Ink {
    double top, bottom;  // points from the cell's top
};

// The bands of rows holding ink between columns x0 and x1 of a picture whose row 0 lies
// `above` points over the cell's top.
std::vector<Ink> InkBands(const QImage& image, int x0, int x1, double above) {
    std::vector<Ink> bands;
    int start = -1;
    for (int y = 0; y <= image.height(); ++y) {
        bool ink = false;
        for (int x = x0; y < image.height() && x < x1 && !ink; ++x)
            ink = qGray(image.pixel(x, y)) < 128;
        if (ink && start < 0) start = y;
        if (!ink && start >= 0) {
            bands.push_back({start / kScale - above, y / kScale - above});
            start = -1;
        }
    }
    return bands;
}

std::string Describe(const std::vector<Ink>& bands) {
    std::string s;
    for (const Ink& b : bands)
        s += " [" + std::to_string(b.top).substr(0, 5) + ", " +
             std::to_string(b.bottom).substr(0, 5) + "]";
    return s.empty() ? " none" : s;
}

}  // namespace

TEST(ExactLines, InkLiesLineByLineWhereLibreOfficePrintsIt) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdftoppm")) GTEST_SKIP() << "pdftoppm (poppler-utils) is not installed";
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    render::EnsureGuiApplication();
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    fixture::DialogSheet sheet("A3三栏");
    ASSERT_NE(sheet.doc, nullptr);
    host::Table& grid = sheet.Grid();
    std::vector<host::CellRect> merges;
    int row = 1;
    for (const Case& c : kCases) {
        const host::CellRect r = NextBlank(grid, row, c.rows, 15);
        ASSERT_GT(r.top, 0) << c.what;
        grid.Merge(r);
        host::Cell& cell = grid.At(r.top, r.left);
        for (size_t i = 0; i < c.paragraphs.size(); ++i) {
            if (i) cell.InsertParagraphAfter();
            cell.InsertAfter(c.paragraphs[i]);
        }
        cell.ApplyCharFormat({host::kFontHei, c.size, c.bold});
        cell.SetLineSpacing(host::LineSpacingRule::Exactly, c.line);
        for (size_t i = 0; i < cell.content.size(); ++i)
            cell.content[i].paragraph.format.alignment =
                i % 2 ? host::Alignment::Right : host::Alignment::Left;
        merges.push_back(r);
        row = r.bottom + 3;  // room for ink past the cell's top and foot
    }
    const fs::path docx = tmp.path() / "sheet.docx";
    host::SaveDocx(*sheet.doc, docx.string());
    std::string log;
    ASSERT_EQ(ConvertToPdf({docx}, tmp.path() / "home", tmp.path(), log), 0) << log;

    const host::PageLayout pages = host::LayOutPages(*sheet.doc);
    const render::PageRenderer renderer(*sheet.doc);
    constexpr double kAround = 12;  // points shown above and below each cell
    for (size_t i = 0; i < kCases.size(); ++i) {
        SCOPED_TRACE(kCases[i].what);
        const host::PageRect cell = *pages.tables.front().CellRect(merges[i].top, merges[i].left);
        const QRect crop(qRound(cell.x * kScale), qRound((cell.y - kAround) * kScale),
                         qRound(cell.width * kScale), qRound((cell.height + 2 * kAround) * kScale));

        QImage page(qRound(sheet.doc->pageSetup.pageWidth * kScale),
                    qRound(sheet.doc->pageSetup.pageHeight * kScale), QImage::Format_Grayscale8);
        page.fill(Qt::white);
        {
            QPainter painter(&page);
            painter.scale(kScale, kScale);
            renderer.Draw(painter, cell.page);
        }
        const QImage ours = page.copy(crop);

        const std::string pageNo = std::to_string(cell.page + 1);
        const fs::path theirsFile = tmp.path() / ("lo" + std::to_string(i));
        std::string out;
        ASSERT_EQ(
            RunCommand(
                "pdftoppm -gray -r 300 -singlefile -png -f " + pageNo + " -l " + pageNo + " -x " +
                    std::to_string(crop.x()) + " -y " + std::to_string(crop.y()) + " -W " +
                    std::to_string(crop.width()) + " -H " + std::to_string(crop.height()) + " " +
                    Quote((tmp.path() / "sheet.pdf").string()) + " " + Quote(theirsFile.string()),
                out),
            0)
            << out;
        const QImage theirs(QString::fromStdString(theirsFile.string() + ".png"));
        ASSERT_EQ(theirs.size(), ours.size());

        // Left-set paragraphs in the cell's first third, right-set ones in its last.
        const int third = ours.width() / 3;
        for (const auto& [x0, x1] : {std::pair{2, third}, std::pair{2 * third, ours.width() - 2}}) {
            const std::vector<Ink> mine = InkBands(ours, x0, x1, kAround),
                                   lo = InkBands(theirs, x0, x1, kAround);
            bool same = mine.size() == lo.size();
            for (size_t k = 0; same && k < mine.size(); ++k) {
                // Glyphs of a later line reaching up into the line before: LibreOffice draws
                // them whole in some rows and cuts them down to the line's own pitch in others.
                const double pitchTop =
                    kCases[i].line * std::floor(mine[k].bottom / kCases[i].line);
                const bool overhang = pitchTop > 0 && lo[k].top >= mine[k].top - kTolerancePt &&
                                      lo[k].top <= pitchTop + 1;
                same = (std::abs(mine[k].top - lo[k].top) <= kTolerancePt || overhang) &&
                       std::abs(mine[k].bottom - lo[k].bottom) <= kTolerancePt;
            }
            EXPECT_TRUE(same) << (x0 == 2 ? "left" : "right")
                              << " lines, points from the cell's top"
                              << "\n  Varelo:     " << Describe(mine)
                              << "\n  LibreOffice:" << Describe(lo);
        }
    }
}
