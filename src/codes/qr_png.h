#pragma once

#include <string>
#include <string_view>

// QR codes written as pictures for the sheet (zxing-cpp), with no OpenCV.
namespace varelo::codes {

// Modules across a page code's symbol with its quiet zone: the sheet reserves a square for it
// whatever the payload, so the largest page-code payload must fit (version 3, level M).
inline constexpr int kPageCodeModules = 29 + 2 * 4;

// A QR code of the payload as a 1-bit PNG file, modulePixels pixels to a module, with a quiet
// zone of 4 modules; the symbol is version 3 (29 modules) or larger if the payload needs it.
// Throws std::runtime_error when the payload cannot be encoded.
std::string QrCodePng(std::string_view payload, int modulePixels);

}  // namespace varelo::codes
