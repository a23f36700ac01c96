#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "codes/qr_png.h"

// QR codes read back off scans (zxing-cpp); written by codes/qr_png.h.
namespace varelo::codes {

// A decoded code and where it lies on the image (its corners, in pixels).
struct FoundCode {
    std::string text;
    std::vector<cv::Point2f> corners;
};

// The QR codes on a greyscale image (8-bit, one channel), in the order found.
std::vector<FoundCode> ReadQrCodes(const cv::Mat& grey);

}  // namespace varelo::codes
