// The scanner template against the printed sheet: pages rendered to PNG at 200 dpi, bubbles
// filled inside the template's rectangles, everything read back through the template alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "compose/template_reading.h"
#include "dialog_sheet.h"
#include "render/export.h"
#include "render/render_support.h"

using namespace varelo;
namespace fs = std::filesystem;

namespace {

constexpr int kDpi = 200;
constexpr double kPixelsPerMm = kDpi / 25.4;
// How far printed ink may lie from where the template puts it.
constexpr double kToleranceMm = 0.2;

QRectF Pixels(const layout::OmrRect& r) {
    return {r.x * kPixelsPerMm, r.y * kPixelsPerMm, r.width * kPixelsPerMm,
            r.height * kPixelsPerMm};
}

// Mean darkness (0 white .. 1 black) of the middle of a bubble, where a fill shows and the
// empty bubble has only its thin label.
double Darkness(const QImage& image, const layout::OmrRect& rect) {
    const QRectF r = Pixels(rect);
    const QRect inner =
        r.adjusted(r.width() * 0.2, r.height() * 0.2, -r.width() * 0.2, -r.height() * 0.2)
            .toAlignedRect() &
        image.rect();
    double sum = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y)
        for (int x = inner.left(); x <= inner.right(); ++x)
            sum += 1.0 - qGray(image.pixel(x, y)) / 255.0;
    return inner.isEmpty() ? 0 : sum / (inner.width() * inner.height());
}

// A fill covers the middle; an empty bubble's densest label darkens it to about a third.
bool Filled(const QImage& image, const layout::OmrBubble& b) {
    return Darkness(image, b.rect) > 0.65;
}

// The printed ink around a template rectangle: the dark pixels connected to those inside the
// rectangle, within the rectangle grown by margin millimetres. Bounding box and centroid in
// millimetres.
struct Ink {
    QRectF box;
    QPointF centre;
    int pixels = 0;
};
Ink InkAround(const QImage& image, const layout::OmrRect& rect, double marginMm) {
    const QRect window = Pixels({rect.page, rect.x - marginMm, rect.y - marginMm,
                                 rect.width + 2 * marginMm, rect.height + 2 * marginMm})
                             .toAlignedRect() &
                         image.rect();
    std::vector<char> seen(static_cast<size_t>(window.width() * window.height()), 0);
    const auto index = [&](int x, int y) {
        return static_cast<size_t>((y - window.top()) * window.width() + x - window.left());
    };
    std::vector<QPoint> stack;
    // Start from every dark pixel of the rectangle itself: a bubble's ring does not cover its
    // centre.
    const QRect seeds = Pixels(rect).toAlignedRect() & window;
    for (int y = seeds.top(); y <= seeds.bottom(); ++y)
        for (int x = seeds.left(); x <= seeds.right(); ++x)
            if (rendertest::Dark(image.pixel(x, y))) stack.emplace_back(x, y);
    Ink ink;
    int minX = window.right(), minY = window.bottom(), maxX = window.left(), maxY = window.top();
    double sx = 0, sy = 0;
    while (!stack.empty()) {
        const QPoint p = stack.back();
        stack.pop_back();
        if (!window.contains(p) || seen[index(p.x(), p.y())] || !rendertest::Dark(image.pixel(p)))
            continue;
        seen[index(p.x(), p.y())] = 1;
        ++ink.pixels;
        sx += p.x() + 0.5;
        sy += p.y() + 0.5;
        minX = std::min(minX, p.x()), maxX = std::max(maxX, p.x());
        minY = std::min(minY, p.y()), maxY = std::max(maxY, p.y());
        for (const QPoint d : {QPoint(1, 0), QPoint(-1, 0), QPoint(0, 1), QPoint(0, -1)})
            stack.push_back(p + d);
    }
    if (ink.pixels == 0) return ink;
    ink.centre = QPointF(sx / ink.pixels, sy / ink.pixels) / kPixelsPerMm;
    ink.box =
        QRectF(QPointF(minX, minY) / kPixelsPerMm, QPointF(maxX + 1, maxY + 1) / kPixelsPerMm);
    return ink;
}

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

class OmrRoundTrip : public ::testing::TestWithParam<const char*> {
  protected:
    static void SetUpTestSuite() { rendertest::StartOffscreen(); }

    void SetUp() override {
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        std::replace(name.begin(), name.end(), '/', '_');
        dir = fs::temp_directory_path() / ("varelo_omr_" + std::to_string(::getpid()) + "_" + name);
        fs::remove_all(dir);
        fs::create_directories(dir);

        // The example sheet: default texts, nine digits, one default group of 30 items
        // with 4 options at 1 point, in the layout under test.
        doc = fixture::MakeSheet(app, form, GetParam());
        ASSERT_NE(doc, nullptr);
        ASSERT_TRUE(app.messages.empty()) << app.messages.front();
        const settings::ValidExam made = settings::ExamOfSettings(settings::DraftOf(form));
        sheet = layout::BuildOmrTemplate(*doc, made.exam, made.plan);

        for (const std::string& path : render::ExportPng(*doc, (dir / "page").string(), kDpi)) {
            pages.emplace_back(QString::fromStdString(path));
            ASSERT_FALSE(pages.back().isNull()) << path;
        }
        ASSERT_EQ(pages.size(), sheet.pages.size());
    }
    void TearDown() override { fs::remove_all(dir); }

    QImage& Page(const layout::OmrRect& r) { return pages.at(static_cast<size_t>(r.page - 1)); }

    template <class Fn>
    void ForEachBubble(Fn&& fn) {
        for (const auto& column : sheet.candidateColumns)
            for (const layout::OmrBubble& b : column) fn(b);
        for (const layout::OmrItem& item : sheet.items)
            for (const layout::OmrBubble& b : item.options) fn(b);
    }

    void Paint(const layout::OmrBubble& b) {
        QPainter painter(&Page(b.rect));
        painter.fillRect(Pixels(b.rect), Qt::black);
    }

    fs::path dir;
    host::Application app;
    settings::SheetForm form;
    host::Document* doc = nullptr;
    layout::OmrTemplate sheet;
    std::vector<QImage> pages;
};

// The centre of every mark's printed ink lies on its rectangle's centre.
TEST_P(OmrRoundTrip, MarksLieWhereTheTemplatePutsThem) {
    size_t marks = 0;
    for (size_t p = 0; p < sheet.pages.size(); ++p)
        for (const layout::OmrMark& m : sheet.pages[p].marks) {
            ++marks;
            const Ink ink = InkAround(pages[p], m.rect, 0.5);
            EXPECT_LE(
                std::hypot(ink.centre.x() - m.rect.CenterX(), ink.centre.y() - m.rect.CenterY()),
                kToleranceMm)
                << "page " << p + 1 << " mark at (" << m.rect.x << ", " << m.rect.y << ")";
        }
    EXPECT_EQ(marks, 3u * 2 + 10 + 8);
}

// Every empty bubble prints its outline along its rectangle and reads as empty.
TEST_P(OmrRoundTrip, EmptyBubblesPrintAlongTheirRectangles) {
    size_t bubbles = 0;
    ForEachBubble([&](const layout::OmrBubble& b) {
        ++bubbles;
        const Ink ink = InkAround(Page(b.rect), b.rect, 0.5);
        const QRectF want(b.rect.x, b.rect.y, b.rect.width, b.rect.height);
        EXPECT_NEAR(ink.box.left(), want.left(), kToleranceMm) << b.value << " at y " << want.top();
        EXPECT_NEAR(ink.box.right(), want.right(), kToleranceMm)
            << b.value << " at y " << want.top();
        EXPECT_NEAR(ink.box.top(), want.top(), kToleranceMm) << b.value << " at y " << want.top();
        EXPECT_NEAR(ink.box.bottom(), want.bottom(), kToleranceMm)
            << b.value << " at y " << want.top();
        EXPECT_LT(Darkness(Page(b.rect), b.rect), 0.5) << b.value << " at y " << want.top();
    });
    EXPECT_EQ(bubbles, 9u * 10 + 30u * 4);
}

TEST_P(OmrRoundTrip, FilledAnswersAndCandidateNumberReadBack) {
    const std::string number = "907153284";
    ASSERT_EQ(sheet.candidateColumns.size(), number.size());
    for (size_t c = 0; c < number.size(); ++c)
        Paint(sheet.candidateColumns[c][static_cast<size_t>(number[c] - '0')]);

    // One answer for most items, two for every seventh, none for every eleventh.
    std::vector<std::set<std::string>> answers;
    for (const layout::OmrItem& item : sheet.items) {
        std::set<std::string> chosen;
        const size_t n = item.options.size();
        if (item.number % 11 != 0)
            chosen.insert(item.options[static_cast<size_t>(item.number * 3) % n].value);
        if (item.number % 7 == 0)
            chosen.insert(item.options[static_cast<size_t>(item.number + 1) % n].value);
        for (const layout::OmrBubble& b : item.options)
            if (chosen.count(b.value)) Paint(b);
        answers.push_back(chosen);
    }

    std::string read;
    for (const auto& column : sheet.candidateColumns) {
        std::string digits;
        for (const layout::OmrBubble& b : column)
            if (Filled(Page(b.rect), b)) digits += b.value;
        EXPECT_EQ(digits.size(), 1u)
            << "column " << read.size() + 1 << " reads \"" << digits << "\"";
        read += digits;
    }
    EXPECT_EQ(read, number);

    ASSERT_EQ(sheet.items.size(), 30u);
    for (size_t i = 0; i < sheet.items.size(); ++i) {
        std::set<std::string> got;
        for (const layout::OmrBubble& b : sheet.items[i].options)
            if (Filled(Page(b.rect), b)) got.insert(b.value);
        EXPECT_EQ(got, answers[i]) << "item " << sheet.items[i].number;
    }
}

INSTANTIATE_TEST_SUITE_P(EveryLayout, OmrRoundTrip, ::testing::ValuesIn(kLayouts),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                             return "Layout" + std::to_string(info.index + 1);
                         });

}  // namespace
