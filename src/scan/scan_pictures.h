#pragma once

#include <opencv2/core.hpp>

#include "omr/omr_template.h"
#include "scan/scan_reading.h"

namespace varelo::read {

// The picture a teacher checks: the scan reduced to at most maxSide pixels, every bubble of
// its page outlined by decision (filled green, blank blue, doubtful red, thicker), the marks
// found circled in magenta, and the scan's status written at the top.
cv::Mat ReviewPicture(const layout::OmrTemplate& t, const ScanReading& scan, const cv::Mat& grey,
                      const std::string& status, int maxSide = 1600);

// The scan registered onto its template page at dpi: the page as a perfect scan would show it,
// for readers that need the bubbles exactly where a template puts them. Throws ReadError for a
// picture above 300 million pixels.
cv::Mat AlignedPage(const layout::OmrTemplate& t, const ScanReading& scan, const cv::Mat& grey,
                    int dpi);

// A written answer's region cut from the scan of its page, registered as AlignedPage does: what
// an on-screen marking system shows the marker.
cv::Mat RegionPicture(const layout::OmrRegion& region, const ScanReading& scan, const cv::Mat& grey,
                      int dpi);

}  // namespace varelo::read
