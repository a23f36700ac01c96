// A sheet printed on a machine that lacks the bubble font: LibreOffice must take "Block HX"
// from the .docx itself, so the PDF carries the font and the page shows bubbles and solid
// marks where the scanner template expects them, not plain letters.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "docx/writer.h"
#include "office_support.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

constexpr int kDpi = 200;
constexpr double kPixelsPerMm = kDpi / 25.4;
// LibreOffice places lines a fraction of a millimetre from where the renderer does.
constexpr int kSlack = 8;  // pixels, 1 mm

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

struct Box {
    int x, y, w, h;
};

Box Pixels(const layout::OmrRect& r) {
    return {static_cast<int>(std::lround(r.x * kPixelsPerMm)),
            static_cast<int>(std::lround(r.y * kPixelsPerMm)),
            static_cast<int>(std::lround(r.width * kPixelsPerMm)),
            static_cast<int>(std::lround(r.height * kPixelsPerMm))};
}

// A grey page image; "dark" is ink at least half black.
class Page {
  public:
    explicit Page(const QImage& image) : image_(image.convertToFormat(QImage::Format_Grayscale8)) {}
    bool Valid() const { return !image_.isNull(); }
    int Width() const { return image_.width(); }

    bool Dark(int x, int y) const {
        if (x < 0 || y < 0 || x >= image_.width() || y >= image_.height()) return false;
        return image_.constScanLine(y)[x] < 128;
    }
    // Dark pixels in the columns [x0, x1) and rows [y0, y1).
    int DarkIn(int x0, int x1, int y0, int y1) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += Dark(x, y);
        return n;
    }
    double DarkFraction(int x0, int x1, int y0, int y1) const {
        const int area = std::max(1, (x1 - x0) * (y1 - y0));
        return static_cast<double>(DarkIn(x0, x1, y0, y1)) / area;
    }
    // Dark pixels on the box's outline, two pixels deep.
    int DarkOnOutline(const Box& b) const {
        return DarkIn(b.x, b.x + b.w, b.y, b.y + 2) +
               DarkIn(b.x, b.x + b.w, b.y + b.h - 2, b.y + b.h) +
               DarkIn(b.x, b.x + 2, b.y + 2, b.y + b.h - 2) +
               DarkIn(b.x + b.w - 2, b.x + b.w, b.y + 2, b.y + b.h - 2);
    }

    // The box moved, within the slack, to where the score is highest.
    Box Align(Box b, const std::function<int(const Box&)>& score) const {
        Box best = b;
        int bestScore = -1;
        for (int dy = -kSlack; dy <= kSlack; ++dy)
            for (int dx = -kSlack; dx <= kSlack; ++dx) {
                const Box moved{b.x + dx, b.y + dy, b.w, b.h};
                if (const int s = score(moved); s > bestScore) {
                    bestScore = s;
                    best = moved;
                }
            }
        return best;
    }

  private:
    QImage image_;
};

std::string Where(const layout::OmrRect& r) {
    char buf[64];
    std::snprintf(buf, sizeof buf, " at (%.1f, %.1f) mm", r.x, r.y);
    return buf;
}

// The empty bubble of the font: an outline along the box with only its label inside. A
// horizontal line through the middle crosses ink at both ends and white between the outline
// and the label, which a plain digit in another font does not do. Returns what is wrong.
std::string BubbleFault(const Page& page, const layout::OmrBubble& bubble) {
    const Box b =
        page.Align(Pixels(bubble.rect), [&](const Box& m) { return page.DarkOnOutline(m); });
    auto atX = [&](double u) { return b.x + static_cast<int>(std::lround(u * b.w)); };
    auto atY = [&](double v) { return b.y + static_cast<int>(std::lround(v * b.h)); };
    const std::string where = "bubble " + bubble.value + Where(bubble.rect);
    for (int y = atY(0.4); y <= atY(0.6); ++y)
        if (page.DarkIn(b.x - 1, atX(0.1), y, y + 1) == 0 ||
            page.DarkIn(atX(0.9), b.x + b.w + 1, y, y + 1) == 0)
            return where + ": no outline at both ends of the middle line";
    const int cx = atX(0.5);
    if (page.DarkIn(cx - 2, cx + 3, b.y - 1, atY(0.12)) == 0 ||
        page.DarkIn(cx - 2, cx + 3, atY(0.88), b.y + b.h + 1) == 0)
        return where + ": no outline above and below the middle";
    // Between the outline and the label (which spans the middle third) the bubble is empty.
    if (page.DarkFraction(atX(0.12), atX(0.3), atY(0.25), atY(0.75)) > 0.05 ||
        page.DarkFraction(atX(0.7), atX(0.88), atY(0.25), atY(0.75)) > 0.05)
        return where + ": ink between the outline and the label";
    return {};
}

// A positioning mark is a solid bar the size of a bubble; "!" in another font is a thin stroke.
std::string MarkFault(const Page& page, const layout::OmrMark& mark) {
    const Box b = page.Align(Pixels(mark.rect), [&](const Box& m) {
        return page.DarkIn(m.x, m.x + m.w, m.y, m.y + m.h);
    });
    const double dark = page.DarkFraction(b.x, b.x + b.w, b.y, b.y + b.h);
    return dark > 0.6 ? std::string()
                      : "mark" + Where(mark.rect) + ": only " +
                            std::to_string(static_cast<int>(dark * 100)) + "% dark";
}

}  // namespace

TEST(EmbeddedFont, LibreOfficePrintsTheSheetWithTheFontItCarries) {
    for (const char* program : {"soffice", "pdffonts", "pdftoppm", "fc-list"})
        if (!OnPath(program))
            GTEST_SKIP() << program
                         << " is not installed (libreoffice-writer-nogui, poppler-utils, "
                            "fontconfig)";
    {
        std::string fonts;
        RunCommand("fc-list", fonts);
        if (Lower(fonts).find("block hx") != std::string::npos)
            GTEST_SKIP() << "\"Block HX\" is installed here: the sheet's own copy cannot be told "
                            "from it";
    }
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    const fixture::DialogSheet made("A3三栏");
    ASSERT_NE(made.doc, nullptr);
    const layout::OmrTemplate sheet = made.Template();
    const fs::path docx = tmp.path() / "sheet.docx";
    host::SaveDocx(*made.doc, docx.string());

    // A fresh HOME gives the office program a fresh profile, with no font left from earlier.
    std::string log;
    ASSERT_EQ(ConvertToPdf({docx}, tmp.path() / "home", tmp.path(), log), 0) << log;
    const fs::path pdf = tmp.path() / "sheet.pdf";
    ASSERT_TRUE(fs::exists(pdf)) << log;

    std::string fonts;
    ASSERT_EQ(RunCommand("pdffonts " + Quote(pdf.string()), fonts), 0) << fonts;
    // The columns after the name: ... emb sub uni object generation.
    const std::regex flags(R"(\s(yes|no)\s+(yes|no)\s+(yes|no)\s+\d+\s+\d+\s*$)");
    bool embedded = false;
    std::istringstream lines(fonts);
    for (std::string line; std::getline(lines, line);) {
        const std::string name = Lower(line.substr(0, line.find(' ')));
        std::smatch m;
        if ((Lower(line).find("block hx") != std::string::npos ||
             name.find("blockhx") != std::string::npos) &&
            std::regex_search(line, m, flags))
            embedded = embedded || m[1] == "yes";
    }
    EXPECT_TRUE(embedded) << fonts;

    std::string out;
    const fs::path png = tmp.path() / "page1";
    ASSERT_EQ(RunCommand("pdftoppm -r " + std::to_string(kDpi) + " -png -f 1 -l 1 -singlefile " +
                             Quote(pdf.string()) + " " + Quote(png.string()),
                         out),
              0)
        << out;
    const Page page(QImage(QString::fromStdString(png.string() + ".png")));
    ASSERT_TRUE(page.Valid());
    ASSERT_FALSE(sheet.pages.empty());
    EXPECT_NEAR(page.Width(), sheet.pages[0].width * kPixelsPerMm, 2);

    ASSERT_FALSE(sheet.candidateColumns.empty());
    std::vector<std::string> faults;
    size_t checked = 0;
    for (const auto& column : sheet.candidateColumns)
        for (const layout::OmrBubble& bubble : column)
            if (bubble.rect.page == 1) {
                ++checked;
                if (std::string f = BubbleFault(page, bubble); !f.empty()) faults.push_back(f);
            }
    for (const layout::OmrMark& mark : sheet.pages[0].marks) {
        ++checked;
        if (std::string f = MarkFault(page, mark); !f.empty()) faults.push_back(f);
    }
    EXPECT_GT(checked, 10u * sheet.candidateColumns.size());
    std::string report;
    for (size_t i = 0; i < std::min<size_t>(faults.size(), 8); ++i) report += faults[i] + "\n";
    EXPECT_TRUE(faults.empty()) << faults.size() << " of " << checked << " wrong, e.g.:\n"
                                << report;
}
