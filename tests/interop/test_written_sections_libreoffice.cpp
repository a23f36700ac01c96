// Sheets with written-answer sections as LibreOffice prints them: two pages, and the frames
// and underlines where the scanner template's regions say.
#include <gtest/gtest.h>

#include <QImage>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "docx/writer.h"
#include "office_support.h"
#include "print_ink.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;
using exam::SectionKind;

namespace {

struct SheetRequest {
    const char* layout;
    std::vector<exam::WrittenSection> sections;
};

constexpr int kDpi = 200;
constexpr double kPxPerMm = kDpi / 25.4;

// Where a printed line crosses a window: the mean position of the pixel lines (columns for a
// vertical line, rows for a horizontal one) that are dark over most of the span.
std::optional<double> LineNear(const QImage& image, bool vertical, double at, double from,
                               double to, double windowMm = 1.5) {
    const int window = static_cast<int>(windowMm * kPxPerMm);
    const int centre = static_cast<int>(std::lround(at * kPxPerMm));
    const int a = static_cast<int>(from * kPxPerMm), b = static_cast<int>(to * kPxPerMm);
    double sum = 0;
    int count = 0;
    for (int p = centre - window; p <= centre + window; ++p) {
        int dark = 0, seen = 0;
        for (int q = a; q <= b; ++q) {
            const int x = vertical ? p : q, y = vertical ? q : p;
            if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) continue;
            ++seen;
            dark += qGray(image.pixel(x, y)) < 128;
        }
        if (seen > 0 && dark >= 0.8 * seen) {
            sum += p + 0.5;
            ++count;
        }
    }
    if (count == 0) return std::nullopt;
    return sum / count / kPxPerMm;
}

}  // namespace

TEST(LibreOffice, WrittenSectionsPrintOnTwoPagesWhereTheirRegionsSay) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfinfo") || !OnPath("pdftoppm")) GTEST_SKIP() << "poppler-utils is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    const auto fill = [](int items, int blanks) {
        return exam::WrittenSection{SectionKind::Fill, "填空题", items, blanks, 1, 0, 2};
    };
    const auto answer = [](int items, int rows) {
        return exam::WrittenSection{SectionKind::Answer, "解答题", items, 1, rows, 0, 10};
    };
    const auto essay = [](int chars) {
        return exam::WrittenSection{SectionKind::Essay, "作文", 1, 1, 1, chars, 50};
    };
    // The exam of the docs picture; a portrait sheet whose composition runs onto page 2; the
    // layout whose later page columns are narrower.
    const std::vector<SheetRequest> requests = {
        {"A3三栏", {fill(10, 1), answer(4, 20), essay(600)}},
        {"A4单栏", {fill(3, 5), answer(2, 12), essay(400)}},
        {"8开三栏", {answer(4, 20), fill(6, 2), essay(600)}},
    };
    std::vector<layout::OmrTemplate> templates;
    std::vector<fs::path> files;
    for (size_t i = 0; i < requests.size(); ++i) {
        const fixture::DialogSheet sheet(
            requests[i].layout, {fixture::kExampleGroup},
            [&](settings::SheetForm& f) { f.sections = requests[i].sections; });
        ASSERT_NE(sheet.doc, nullptr) << requests[i].layout;
        templates.push_back(sheet.Template());
        files.push_back(tmp.path() / ("written-" + std::to_string(i + 1) + ".docx"));
        host::SaveDocx(*sheet.doc, files.back().string());
    }
    const fs::path pdfDir = tmp.path() / "pdf";
    std::string log;
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", pdfDir, log), 0) << log;

    const std::regex pagesLine(R"(Pages:\s+(\d+))");
    double worst = 0, worstShift = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(requests[i].layout);
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quote(pdf.string()), info), 0) << info;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, pagesLine)) << info;
        EXPECT_EQ(std::stoi(m[1]), 2);
        const fs::path prefix = tmp.path() / ("page-" + std::to_string(i));
        std::string out;
        ASSERT_EQ(RunCommand("pdftoppm -gray -png -r " + std::to_string(kDpi) + " " +
                                 Quote(pdf.string()) + " " + Quote(prefix.string()),
                             out),
                  0)
            << out;
        std::vector<QImage> pages;
        for (int p = 1; p <= 2; ++p) {
            pages.emplace_back(
                QString::fromStdString(prefix.string() + "-" + std::to_string(p) + ".png"));
            ASSERT_FALSE(pages.back().isNull());
        }

        // A scan is read against the template through the page's corner marks, so the regions
        // are compared with the print as those marks place it: LibreOffice sets the whole grid
        // a little lower than the template's geometry (up to half a millimetre on A4).
        std::vector<std::pair<double, double>> shift;
        for (size_t p = 0; p < 2; ++p) {
            double dx = 0, dy = 0;
            int n = 0;
            for (const layout::OmrMark& mark : templates[i].pages[p].marks) {
                if (!mark.corner) continue;
                const auto centre = MarkCentre(pages[p], mark.rect, kPxPerMm);
                ASSERT_TRUE(centre.has_value()) << "no corner mark printed on page " << p + 1;
                dx += centre->first - mark.rect.CenterX();
                dy += centre->second - mark.rect.CenterY();
                ++n;
            }
            ASSERT_EQ(n, 3);
            shift.emplace_back(dx / n, dy / n);
            worstShift = std::max({worstShift, std::abs(dx / n), std::abs(dy / n)});
        }

        ASSERT_FALSE(templates[i].regions.empty());
        for (const layout::OmrRegion& region : templates[i].regions) {
            SCOPED_TRACE(region.kind + " item " + std::to_string(region.item) + " part " +
                         std::to_string(region.part));
            const QImage& image = pages[static_cast<size_t>(region.rect.page - 1)];
            const auto [dx, dy] = shift[static_cast<size_t>(region.rect.page - 1)];
            layout::OmrRect r = region.rect;
            r.x += dx;
            r.y += dy;
            const double right = r.x + r.width, bottom = r.y + r.height;
            // (expected position, where LibreOffice printed it)
            std::vector<std::pair<double, std::optional<double>>> edges;
            if (region.kind == "填空") {
                // The underline of its last line, from the first blank on.
                edges.emplace_back(bottom, LineNear(image, false, bottom, r.x + 0.13 * r.width,
                                                    r.x + 0.19 * r.width));
            } else {
                // The frame's four sides, clear of the corners and of a box's label.
                edges.emplace_back(r.x, LineNear(image, true, r.x, r.y + 8, bottom - 2));
                edges.emplace_back(right, LineNear(image, true, right, r.y + 8, bottom - 2));
                edges.emplace_back(r.y, LineNear(image, false, r.y, r.x + 2, right - 2));
                edges.emplace_back(bottom, LineNear(image, false, bottom, r.x + 2, right - 2));
            }
            for (const auto& [expected, printed] : edges) {
                ASSERT_TRUE(printed.has_value()) << "no line printed near " << expected << " mm";
                EXPECT_NEAR(*printed, expected, 0.5);
                worst = std::max(worst, std::abs(*printed - expected));
            }
        }
    }
    std::cout << "LibreOffice's print: corner marks off the template by up to " << worstShift
              << " mm; region edges, the marks' offset taken out, by up to " << worst << " mm\n";
}
