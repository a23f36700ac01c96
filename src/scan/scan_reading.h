#pragma once

#include <opencv2/core.hpp>
#include <optional>
#include <string>

#include "codes/page_code.h"
#include "omr/omr_template.h"
#include "scan/bubble_reading.h"
#include "scan/registration.h"

namespace varelo::read {

// What one scan shows: which page of the template, where, and its bubbles.
struct ScanReading {
    std::string name;
    std::string error;  // why the scan could not be read; empty when it was
    Registration registration;
    BubbleReadings bubbles;  // those of the scan's page are read
    // Whether the template prints a code on the scan's page, so one was looked for, and what
    // it said: nothing when no page code could be read.
    bool codeSought = false;
    std::optional<codes::PageCode> code = std::nullopt;
};

// Registers a greyscale scan and reads the bubbles of the page it shows, and its page code
// when the template prints one there.
ScanReading ReadScan(const layout::OmrTemplate& t, const std::string& name, const cv::Mat& grey);

// The page code printed on a registered scan: read in its square of the template, cut out
// upright with a margin, or anywhere on the scan when it cannot be read there.
std::optional<codes::PageCode> ReadPageCode(const layout::OmrRect& square, const Registration& r,
                                            const cv::Mat& grey);

}  // namespace varelo::read
