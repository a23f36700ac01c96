#pragma once

#include <opencv2/core.hpp>
#include <string>

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
};

// Registers a greyscale scan and reads the bubbles of the page it shows.
ScanReading ReadScan(const layout::OmrTemplate& t, const std::string& name, const cv::Mat& grey);

}  // namespace varelo::read
