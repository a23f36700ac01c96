#include "codes/qr_code.h"

// Results give their text as UTF-8 (the library's coming default).
#define ZX_USE_UTF8

#include <ZXing/ReadBarcode.h>

#include <stdexcept>

namespace varelo::codes {

std::vector<FoundCode> ReadQrCodes(const cv::Mat& grey) {
    CV_Assert(grey.type() == CV_8UC1);
    ZXing::ImageView view(grey.data, grey.cols, grey.rows, ZXing::ImageFormat::Lum,
                          static_cast<int>(grey.step[0]));
    ZXing::DecodeHints hints;
    hints.setFormats(ZXing::BarcodeFormat::QRCode).setTryHarder(true).setTryRotate(true);
    std::vector<FoundCode> found;
    for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
        if (!r.isValid()) continue;
        FoundCode code{r.text(), {}};
        for (const ZXing::PointI& p : r.position())
            code.corners.emplace_back(static_cast<float>(p.x), static_cast<float>(p.y));
        found.push_back(std::move(code));
    }
    return found;
}

}  // namespace varelo::codes
