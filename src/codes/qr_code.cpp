#include "codes/qr_code.h"

// Results give their text as UTF-8 (the library's coming default).
#define ZX_USE_UTF8

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <ZXing/ReadBarcode.h>

#include <opencv2/imgcodecs.hpp>
#include <stdexcept>

namespace varelo::codes {

namespace {

constexpr int kQuietModules = 4;
constexpr int kMinSymbolModules = 29;  // version 3

}  // namespace

std::string QrCodePng(std::string_view payload, int modulePixels) {
    if (modulePixels < 1) throw std::runtime_error("a QR module needs at least one pixel");
    ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
    // Level M (4 of 8): a smudge or a fold costs no more than 15 % of the code.
    writer.setEccLevel(4).setMargin(0);
    ZXing::BitMatrix symbol = writer.encode(std::string(payload), 0, 0);
    int modules = std::max(symbol.width(), kMinSymbolModules);
    int offset = kQuietModules + (modules - symbol.width()) / 2;
    int side = (modules + 2 * kQuietModules) * modulePixels;
    cv::Mat image(side, side, CV_8UC1, cv::Scalar(255));
    for (int y = 0; y < symbol.height(); ++y)
        for (int x = 0; x < symbol.width(); ++x)
            if (symbol.get(x, y))
                image(cv::Rect((offset + x) * modulePixels, (offset + y) * modulePixels,
                               modulePixels, modulePixels))
                    .setTo(0);
    std::vector<uchar> png;
    cv::imencode(".png", image, png, {cv::IMWRITE_PNG_BILEVEL, 1});
    return std::string(png.begin(), png.end());
}

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
