#include "compose/page_setup.h"

#include <array>

#include "base/units.h"

namespace varelo::settings {

namespace {

using host::CentimetersToPoints;
using host::Orientation;

struct PaperLayout {
    Orientation orientation;
    double widthCm, heightCm, topMarginCm;
    int linesPage;
};

// Indexed by layout code - 1.
constexpr std::array<PaperLayout, exam::kLayoutCount> kPapers = {{
    {Orientation::Landscape, 42, 29.7, 1, 48},     // A3三栏
    {Orientation::Landscape, 42, 29.7, 1, 48},     // A3双栏
    {Orientation::Landscape, 38.8, 26.8, 1, 45},   // 8开三栏
    {Orientation::Landscape, 38.8, 26.8, 1, 45},   // 8开双栏
    {Orientation::Portrait, 21, 29.7, 1.8, 48},    // A4单栏
    {Orientation::Portrait, 18.2, 25.7, 1.8, 42},  // B5单栏
}};

}  // namespace

void SetUpPage(host::PageSetup& page, std::optional<exam::Layout> layout) {
    page.bottomMargin = CentimetersToPoints(1);
    page.leftMargin = CentimetersToPoints(1);
    page.rightMargin = CentimetersToPoints(1);
    page.gutter = 0;
    page.gutterPos = host::kGutterPosLeft;
    page.paperSize = host::kPaperCustom;
    page.layoutMode = host::kLayoutModeLineGrid;
    if (layout) {
        const PaperLayout& p = kPapers[exam::Index(*layout)];
        page.orientation = p.orientation;
        page.topMargin = CentimetersToPoints(p.topMarginCm);
        page.pageHeight = CentimetersToPoints(p.heightCm);
        page.pageWidth = CentimetersToPoints(p.widthCm);
        page.linesPage = p.linesPage;
    }
    page.sectionStart = host::kSectionNewPage;
    page.differentFirstPageHeaderFooter = false;
    page.headerDistance = 0;
    page.footerDistance = 0;
    page.verticalAlignment = host::kAlignVerticalTop;
    page.textColumns = 1;
}

double TextWidth(exam::Layout layout) {
    host::PageSetup page;
    SetUpPage(page, layout);
    return page.TextWidth();
}

}  // namespace varelo::settings
