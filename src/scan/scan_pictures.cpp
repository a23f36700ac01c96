#include "scan/scan_pictures.h"

#include <algorithm>
#include <cmath>
#include <opencv2/imgproc.hpp>

#include "base/read_error.h"
#include "base/units.h"

namespace varelo::read {

namespace {

cv::Scalar Colour(Decision d) {
    switch (d) {
        case Decision::Filled:
            return {40, 160, 0};  // BGR: green
        case Decision::Doubtful:
            return {0, 0, 230};  // red
        case Decision::Blank:
            break;
    }
    return {220, 120, 0};  // blue
}

void Outline(cv::Mat& picture, const layout::OmrRect& rect, const BubbleReading& b,
             const Registration& r, double scale) {
    const double halfW = rect.width / 2 * r.PixelsPerMmX() * scale + 2;
    const double halfH = rect.height / 2 * r.PixelsPerMmY() * scale + 2;
    const cv::Point2d c = b.centre * scale;
    const int thickness = b.decision == Decision::Doubtful ? 3 : 1;
    cv::rectangle(picture, cv::Point(cvRound(c.x - halfW), cvRound(c.y - halfH)),
                  cv::Point(cvRound(c.x + halfW), cvRound(c.y + halfH)), Colour(b.decision),
                  thickness, cv::LINE_AA);
}

}  // namespace

cv::Mat ReviewPicture(const layout::OmrTemplate& t, const ScanReading& scan, const cv::Mat& grey,
                      const std::string& status, int maxSide) {
    const double scale =
        std::min(1.0, static_cast<double>(maxSide) / std::max(grey.cols, grey.rows));
    cv::Mat small, picture;
    // At least a pixel along the short side of a sliver of a scan.
    cv::resize(
        grey, small,
        cv::Size(std::max(1, cvRound(grey.cols * scale)), std::max(1, cvRound(grey.rows * scale))),
        0, 0, cv::INTER_AREA);
    cv::cvtColor(small, picture, cv::COLOR_GRAY2BGR);
    const Registration& r = scan.registration;
    if (r.ok) {
        for (size_t c = 0; c < t.candidateColumns.size(); ++c)
            for (size_t d = 0; d < t.candidateColumns[c].size(); ++d)
                if (scan.bubbles.candidate[c][d].read)
                    Outline(picture, t.candidateColumns[c][d].rect, scan.bubbles.candidate[c][d], r,
                            scale);
        for (size_t i = 0; i < t.items.size(); ++i)
            for (size_t o = 0; o < t.items[i].options.size(); ++o)
                if (scan.bubbles.items[i][o].read)
                    Outline(picture, t.items[i].options[o].rect, scan.bubbles.items[i][o], r,
                            scale);
        const std::vector<const std::vector<layout::OmrBubble>*> marks = layout::MarkFields(t);
        for (size_t m = 0; m < marks.size(); ++m)
            for (size_t b = 0; b < marks[m]->size(); ++b)
                if (scan.bubbles.marks[m][b].read)
                    Outline(picture, (*marks[m])[b].rect, scan.bubbles.marks[m][b], r, scale);
        const double radius = 3 * r.PixelsPerMmX() * scale;
        for (const FoundMark& m : r.marks)
            cv::circle(picture, m.centre * scale, cvRound(radius), {200, 0, 200}, 2, cv::LINE_AA);
    }
    const std::string text = status + (scan.error.empty() ? "" : ": " + scan.error);
    cv::putText(picture, text, {12, 32}, cv::FONT_HERSHEY_SIMPLEX, 0.8, {255, 255, 255}, 5,
                cv::LINE_AA);
    cv::putText(picture, text, {12, 32}, cv::FONT_HERSHEY_SIMPLEX, 0.8,
                status == "ok" || status == "absent" || status.rfind("page", 0) == 0
                    ? cv::Scalar(40, 160, 0)
                    : cv::Scalar(0, 0, 230),
                2, cv::LINE_AA);
    return picture;
}

namespace {

// An A3 page at the highest --dpi, 1200, has 280 million pixels.
constexpr double kMaxPicturePixels = 300e6;

// The area of the scan's page from (x, y) mm, width by height mm, registered onto the template
// page at dpi: every output pixel's centre taken through the page's affine map into the scan.
cv::Mat RegisteredArea(const Registration& r, const cv::Mat& grey, double x, double y, double width,
                       double height, int dpi) {
    const double mmPerPixel = host::MillimetresPerPixel(dpi);
    const cv::Matx33d toMm(mmPerPixel, 0, x + mmPerPixel / 2, 0, mmPerPixel, y + mmPerPixel / 2, 0,
                           0, 1);
    const cv::Matx33d toScan(r.toScan(0, 0), r.toScan(0, 1), r.toScan(0, 2), r.toScan(1, 0),
                             r.toScan(1, 1), r.toScan(1, 2), 0, 0, 1);
    const cv::Matx33d m = toScan * toMm;
    const cv::Matx23d map(m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2));
    const double columns = std::max(1.0, std::round(width / mmPerPixel));
    const double rows = std::max(1.0, std::round(height / mmPerPixel));
    if (columns * rows > kMaxPicturePixels)
        throw ReadError("the picture at " + std::to_string(dpi) + " dpi would be larger than " +
                        std::to_string(std::lround(kMaxPicturePixels / 1e6)) +
                        " million pixels; choose a lower --dpi");
    cv::Mat out;
    cv::warpAffine(grey, out, map, cv::Size(static_cast<int>(columns), static_cast<int>(rows)),
                   cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                   cv::Scalar(r.paper));
    return out;
}

}  // namespace

cv::Mat AlignedPage(const layout::OmrTemplate& t, const ScanReading& scan, const cv::Mat& grey,
                    int dpi) {
    const Registration& r = scan.registration;
    const layout::OmrPage& page = t.pages[static_cast<size_t>(r.page - 1)];
    return RegisteredArea(r, grey, 0, 0, page.width, page.height, dpi);
}

cv::Mat RegionPicture(const layout::OmrRegion& region, const ScanReading& scan, const cv::Mat& grey,
                      int dpi) {
    const layout::OmrRect& a = region.rect;
    return RegisteredArea(scan.registration, grey, a.x, a.y, a.width, a.height, dpi);
}

}  // namespace varelo::read
