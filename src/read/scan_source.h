#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "read/scan_limits.h"

namespace varelo::read {

// One scan to read: an image file, or one page of a PDF file.
struct ScanSource {
    std::string path;
    int pdfPage = 0;  // 1-based page of a PDF; 0 for an image file

    // "FILE" for an image, "FILE.pdf#N" for a PDF page: the name results show.
    std::string Name() const;
};

// The scans the arguments name, in the order given: image files (PNG, JPEG, TIFF, BMP), every
// page of a PDF file, the images and PDFs of a folder in natural name order ("scan2" before
// "scan10"). Throws ReadError for an argument that does not exist, is not a scan, or a PDF
// that cannot be opened.
std::vector<ScanSource> ListScans(const std::vector<std::string>& args);

// The scan as an 8-bit greyscale image; PDF pages are rasterised at pdfDpi. Throws ReadError
// when it cannot be decoded or is larger than kMaxScanPixels.
cv::Mat LoadScan(const ScanSource& scan, int pdfDpi);

// The same from an image file's bytes.
cv::Mat DecodeScan(const std::vector<uchar>& bytes);

// Natural order of names: runs of digits compare by their value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace varelo::read
