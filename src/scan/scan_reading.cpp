#include "scan/scan_reading.h"

#include <cmath>
#include <opencv2/imgproc.hpp>

#include "codes/qr_code.h"

namespace varelo::read {

namespace {

// Around the code's square: room for the registration's error and a sheet printed a little
// off, while the cut-out stays small to decode.
constexpr double kCodeMarginMm = 4;
// Fewer pixels than this per millimetre leave a 0.43 mm module barely two: the cut-out is
// enlarged to it.
constexpr double kCodePixelsPerMm = 8;

std::optional<codes::PageCode> FirstPageCode(const cv::Mat& grey) {
    for (const codes::FoundCode& found : codes::ReadQrCodes(grey))
        if (auto code = codes::ParsePageCode(found.text)) return code;
    return std::nullopt;
}

}  // namespace

std::optional<codes::PageCode> ReadPageCode(const layout::OmrRect& square, const Registration& r,
                                            const cv::Mat& grey) {
    // The square and its margin as the template page shows it, so a scan turned or upside
    // down gives the code upright.
    const double ppm = std::max({r.PixelsPerMmX(), r.PixelsPerMmY(), kCodePixelsPerMm});
    const double x = square.x - kCodeMarginMm, y = square.y - kCodeMarginMm;
    const cv::Size size(static_cast<int>(std::ceil((square.width + 2 * kCodeMarginMm) * ppm)),
                        static_cast<int>(std::ceil((square.height + 2 * kCodeMarginMm) * ppm)));
    const cv::Matx33d toMm(1 / ppm, 0, x, 0, 1 / ppm, y, 0, 0, 1);
    const cv::Matx33d toScan(r.toScan(0, 0), r.toScan(0, 1), r.toScan(0, 2), r.toScan(1, 0),
                             r.toScan(1, 1), r.toScan(1, 2), 0, 0, 1);
    const cv::Matx33d m = toScan * toMm;
    cv::Mat cut;
    cv::warpAffine(grey, cut, cv::Matx23d(m(0, 0), m(0, 1), m(0, 2), m(1, 0), m(1, 1), m(1, 2)),
                   size, cv::INTER_LINEAR | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT,
                   cv::Scalar(r.paper));
    if (auto code = FirstPageCode(cut)) return code;
    // A sheet printed shifted or scaled by another program may put the code elsewhere: slow,
    // but only for the pages whose square shows none.
    return FirstPageCode(grey);
}

ScanReading ReadScan(const layout::OmrTemplate& t, const std::string& name, const cv::Mat& grey) {
    ScanReading out{name, {}, RegisterScan(t, grey), BubbleReadings(t)};
    if (!out.registration.ok) {
        out.error = out.registration.reason;
        return out;
    }
    ReadBubbles(t, out.registration, grey, out.bubbles);
    if (const layout::OmrRect* square = layout::PageCodeOf(t, out.registration.page)) {
        out.codeSought = true;
        out.code = ReadPageCode(*square, out.registration, grey);
    }
    return out;
}

}  // namespace varelo::read
