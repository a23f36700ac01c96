#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "scan/scan_limits.h"

namespace varelo::read {

// One scan to read: an image file, one page of a PDF file, or one page of a multi-page image
// (the pages of a TIFF, the frames of an animated PNG).
struct ScanSource {
    std::string path;
    // 1-based page of a PDF or of a multi-page image; 0 for the whole file: an image of one
    // page, or a PDF that cannot be opened or has no pages (loading it says why).
    int page = 0;

    // "FILE" for the whole file, "FILE#N" for a page: the name results show.
    std::string Name() const;
};

// The scans the arguments name, in the order given: image files (PNG, JPEG, TIFF, BMP), every
// page of a PDF or a multi-page image, the images and PDFs of a folder in natural name order
// ("scan2" before "scan10"). What a folder holds that cannot be read as a file (a symlink loop,
// a pipe, a device, a symlink to nothing) but is named as a scan is skipped, said in skipped.
// Throws ReadError for an argument that does not exist, is not a scan or is such a thing, and
// when the arguments hold no scan at all.
std::vector<ScanSource> ListScans(const std::vector<std::string>& args,
                                  std::vector<std::string>* skipped = nullptr);

// The scan as an 8-bit greyscale image; PDF pages are rasterised at pdfDpi. A PDF stays open in
// the calling thread for its next page. Throws ReadError when it cannot be opened, decoded or
// held in memory, or is larger than kMaxScanPixels.
cv::Mat LoadScan(const ScanSource& scan, int pdfDpi);

// The same from an image file's bytes.
cv::Mat DecodeScan(const std::vector<uchar>& bytes);

// Natural order of names: runs of digits compare by their value.
bool NaturalLess(const std::string& a, const std::string& b);

}  // namespace varelo::read
