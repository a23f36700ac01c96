#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <string_view>
#include <vector>

// QR codes written as pictures for the sheet and read back off scans (zxing-cpp).
namespace varelo::codes {

// Modules across a page code's symbol with its quiet zone: the sheet reserves a square for it
// whatever the payload, so the largest page-code payload must fit (version 3, level M).
inline constexpr int kPageCodeModules = 29 + 2 * 4;

// A QR code of the payload as a 1-bit PNG file, modulePixels pixels to a module, with a quiet
// zone of 4 modules; the symbol is version 3 (29 modules) or larger if the payload needs it.
// Throws std::runtime_error when the payload cannot be encoded.
std::string QrCodePng(std::string_view payload, int modulePixels);

// A decoded code and where it lies on the image (its corners, in pixels).
struct FoundCode {
    std::string text;
    std::vector<cv::Point2f> corners;
};

// The QR codes on a greyscale image (8-bit, one channel), in the order found.
std::vector<FoundCode> ReadQrCodes(const cv::Mat& grey);

}  // namespace varelo::codes
