// The same .docx printed by LibreOffice and drawn by Varelo: ink on the frames of the written
// sections and none in the gaps below them, nor between a fill-in section's last line and the
// heading after it.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "docx/writer.h"
#include "office_support.h"
#include "print_ink.h"
#include "render/export.h"
#include "render/gui_app.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;
using exam::SectionKind;

namespace {

constexpr int kDpi = 100;
constexpr double kPxPerMm = kDpi / 25.4;
constexpr double kRowMm = 4.2324;  // one page-grid row

// How much of a line's span is inked: the most of any pixel line near `at` (within a
// millimetre), as a fraction of the span from `from` to `to`.
double InkAlong(const QImage& image, bool vertical, double at, double from, double to) {
    const int a = static_cast<int>(from * kPxPerMm), b = static_cast<int>(to * kPxPerMm);
    double most = 0;
    for (int p = static_cast<int>((at - 1) * kPxPerMm); p <= static_cast<int>((at + 1) * kPxPerMm);
         ++p) {
        int dark = 0, seen = 0;
        for (int q = a; q <= b; ++q) {
            const int x = vertical ? p : q, y = vertical ? q : p;
            if (x < 0 || y < 0 || x >= image.width() || y >= image.height()) continue;
            ++seen;
            dark += qGray(image.pixel(x, y)) < 192;
        }
        if (seen > 0) most = std::max(most, static_cast<double>(dark) / seen);
    }
    return most;
}

// Inked pixels in a rectangle, in millimetres.
int InkIn(const QImage& image, double x, double y, double w, double h) {
    int dark = 0;
    for (int py = static_cast<int>(y * kPxPerMm); py <= static_cast<int>((y + h) * kPxPerMm); ++py)
        for (int px = static_cast<int>(x * kPxPerMm); px <= static_cast<int>((x + w) * kPxPerMm);
             ++px)
            if (px >= 0 && py >= 0 && px < image.width() && py < image.height())
                dark += qGray(image.pixel(px, py)) < 192;
    return dark;
}

// One print of a sheet: its pages and how far they lie from the template's geometry.
struct Print {
    std::vector<QImage> pages;
    std::vector<std::pair<double, double>> shift;
    const char* name;
};

}  // namespace

TEST(LibreOffice, FramesAndGapsOfWrittenSectionsPrintAsVareloDrawsThem) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdftoppm")) GTEST_SKIP() << "poppler-utils is not installed";
    render::EnsureGuiApplication();
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    const auto fill = [](int items, int blanks) {
        return exam::WrittenSection{SectionKind::Fill, "填空题", items, blanks, 1, 0, 2};
    };
    const auto answer = [](const char* name, int items, int rows) {
        return exam::WrittenSection{SectionKind::Answer, name, items, 1, rows, 0, 6};
    };
    const auto essay = [](int chars) {
        return exam::WrittenSection{SectionKind::Essay, "作文", 1, 1, 1, chars, 50};
    };
    struct Request {
        const char* layout;
        std::vector<fixture::DialogGroup> groups;
        std::vector<exam::WrittenSection> sections;
    };
    // A 语文 sheet; a 数学 sheet whose answer boxes start the page columns of page 2, beside
    // the gutter LibreOffice once drew through the gaps; a sheet that starts with its boxes.
    const std::vector<Request> requests = {
        {"A3三栏", {{"选择题", "7", "4", "3"}}, {fill(3, 2), answer("简答题", 6, 8), essay(800)}},
        {"A3双栏",
         {{"单选题", "8", "4", "5"}, {"多选题", "4", "4", "5"}},
         {fill(8, 1), answer("解答题", 6, 24)}},
        {"8开三栏", {fixture::kExampleGroup}, {answer("解答题", 5, 20), fill(6, 2)}},
    };
    std::vector<std::unique_ptr<fixture::DialogSheet>> sheets;
    std::vector<fs::path> files;
    for (const Request& r : requests) {
        sheets.push_back(std::make_unique<fixture::DialogSheet>(
            r.layout, r.groups, [&](settings::SheetForm& f) { f.sections = r.sections; }));
        ASSERT_NE(sheets.back()->doc, nullptr) << r.layout;
        files.push_back(tmp.path() / ("frames-" + std::to_string(files.size() + 1) + ".docx"));
        host::SaveDocx(*sheets.back()->doc, files.back().string());
    }
    const fs::path pdfDir = tmp.path() / "pdf";
    std::string log;
    ASSERT_EQ(ConvertToPdf(files, tmp.path() / "home", pdfDir, log), 0) << log;

    int sides = 0, gaps = 0;
    for (size_t i = 0; i < requests.size(); ++i) {
        SCOPED_TRACE(requests[i].layout);
        const layout::OmrTemplate t = sheets[i]->Template();
        Print office{{}, {}, "LibreOffice"}, own{{}, {}, "Varelo"};
        const fs::path prefix = tmp.path() / ("office-" + std::to_string(i));
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        std::string out;
        ASSERT_EQ(RunCommand("pdftoppm -gray -png -r " + std::to_string(kDpi) + " " +
                                 Quote(pdf.string()) + " " + Quote(prefix.string()),
                             out),
                  0)
            << out;
        const std::vector<std::string> drawn = render::ExportPng(
            *sheets[i]->doc, (tmp.path() / ("own-" + std::to_string(i))).string(), kDpi);
        ASSERT_EQ(drawn.size(), 2u);
        for (int p = 0; p < 2; ++p) {
            office.pages.emplace_back(
                QString::fromStdString(prefix.string() + "-" + std::to_string(p + 1) + ".png"));
            own.pages.emplace_back(QString::fromStdString(drawn[static_cast<size_t>(p)]));
            for (Print* print : {&office, &own}) {
                ASSERT_FALSE(print->pages.back().isNull()) << print->name;
                const auto shift =
                    PageShift(print->pages.back(), t.pages[static_cast<size_t>(p)], kPxPerMm);
                ASSERT_TRUE(shift.has_value()) << print->name << ": a corner mark is missing";
                print->shift.push_back(*shift);
            }
        }

        for (const layout::OmrRegion& region : t.regions) {
            SCOPED_TRACE(region.kind + " item " + std::to_string(region.item));
            const size_t page = static_cast<size_t>(region.rect.page - 1);
            for (const Print* print : {&office, &own}) {
                SCOPED_TRACE(print->name);
                const QImage& image = print->pages[page];
                const double x = region.rect.x + print->shift[page].first,
                             y = region.rect.y + print->shift[page].second;
                const double right = x + region.rect.width, bottom = y + region.rect.height;
                if (region.kind == "填空") {
                    // The row below a line holds nothing: the next line's free row, or the
                    // empty row above the next heading.
                    EXPECT_EQ(InkIn(image, x, bottom + 0.7, region.rect.width, kRowMm - 1.4), 0);
                    ++gaps;
                    continue;
                }
                // The frame's sides, clear of the corners.
                for (const double at : {x, right}) {
                    EXPECT_GE(InkAlong(image, true, at, y + 1, bottom - 1), 0.9) << at << " mm";
                    ++sides;
                }
                for (const double at : {y, bottom}) {
                    EXPECT_GE(InkAlong(image, false, at, x + 1, right - 1), 0.9) << at << " mm";
                    ++sides;
                }
                if (region.kind != "解答") continue;
                // The box's sides stop at its foot: nothing down the spacer row below it.
                for (const double at : {x, right}) {
                    EXPECT_LE(InkAlong(image, true, at, bottom + 0.7, bottom + kRowMm - 0.7), 0.2)
                        << "a line down the gap below the box at " << at << " mm";
                    ++gaps;
                }
            }
        }
    }
    std::cout << "compared " << sides << " frame sides and " << gaps << " gaps in both prints\n";
}
