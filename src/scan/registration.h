#pragma once

#include <opencv2/core.hpp>
#include <string>
#include <vector>

#include "omr/omr_template.h"

namespace varelo::read {

// A positioning mark of the template found on the scan.
struct FoundMark {
    size_t index = 0;        // in the template page's marks
    cv::Point2d centre;      // scan pixels
    cv::Point2d correction;  // for row marks: the row's shift along the page's vertical
};

// Where a scan stands against the template: which page it is, and the map from the page's
// millimetres to the scan's pixels, corrected row by row by the row marks.
struct Registration {
    bool ok = false;
    std::string reason;  // why not, when !ok
    // Why the page may be another than the one its marks say, when ok: a person must look.
    std::string doubt;
    int page = 0;  // 1-based page of the template
    bool upsideDown = false;
    double paper = 255;            // the scan's paper level, 0..255
    cv::Matx23d toScan;            // template mm -> scan px, one affine map for the page
    std::vector<FoundMark> marks;  // the page's marks that were found

    // The scan pixel of a template point on this page, with its row's correction.
    cv::Point2d Locate(double xMm, double yMm) const;
    // Scan pixels per template millimetre along the page's x and y axes.
    double PixelsPerMmX() const;
    double PixelsPerMmY() const;

    // Row corrections by the template y (mm) of the row's centre.
    std::vector<std::pair<double, cv::Point2d>> rows;
};

// Finds the corner marks on a greyscale scan (the empty corner tells an upside-down scan),
// recognises the template page whose marks the scan shows and maps the page onto it. A blank
// page, another document or a page whose marks are missing comes back !ok with the reason.
Registration RegisterScan(const layout::OmrTemplate& t, const cv::Mat& grey);

}  // namespace varelo::read
