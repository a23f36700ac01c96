#pragma once

#include <opencv2/core.hpp>
#include <vector>

#include "omr/omr_template.h"
#include "scan/registration.h"

namespace varelo::read {

enum class Decision { Blank, Filled, Doubtful };

// "blank", "filled", "doubtful".
const char* DecisionName(Decision d);

struct BubbleReading {
    bool read = false;      // the bubble's page was read
    double darkness = 0;    // ink in the middle of the bubble: 0 paper .. 1 black
    double score = 0;       // darkness above an empty printed bubble's, 0 .. 1
    double confidence = 0;  // 0 on the edge of a decision .. 1 well clear of it
    Decision decision = Decision::Blank;
    cv::Point2d centre;  // scan pixels
};

// The readings of a sheet's bubbles, shaped as the template: per candidate-number column the
// digits 0 to 9, per item its options.
struct BubbleReadings {
    std::vector<std::vector<BubbleReading>> candidate, items;
    std::vector<std::vector<BubbleReading>> marks;  // per field of layout::MarkFields

    explicit BubbleReadings(const layout::OmrTemplate& t);
    BubbleReadings() = default;
};

// Reads every bubble of the registered page into readings: the darkness of its middle against
// the scan's paper level, judged against the empty printed bubbles of the same page (most
// bubbles of a page are empty), so grey or yellowish paper and light or heavy toner read alike.
void ReadBubbles(const layout::OmrTemplate& t, const Registration& page, const cv::Mat& grey,
                 BubbleReadings& readings);

}  // namespace varelo::read
