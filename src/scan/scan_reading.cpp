#include "scan/scan_reading.h"

namespace varelo::read {

ScanReading ReadScan(const layout::OmrTemplate& t, const std::string& name, const cv::Mat& grey) {
    ScanReading out{name, {}, RegisterScan(t, grey), BubbleReadings(t)};
    if (!out.registration.ok) {
        out.error = out.registration.reason;
        return out;
    }
    ReadBubbles(t, out.registration, grey, out.bubbles);
    return out;
}

}  // namespace varelo::read
