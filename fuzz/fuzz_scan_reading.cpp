// The scan reader fed what a school's office may give it: a scanner template, an answer key and
// a scan, each of them damaged or made up. Input: one byte of how to make the scan, then the
// template text, a zero byte, the key text, a zero byte and the scan's bytes. The scan is the
// bytes decoded as an image file, the bytes taken as raw grey pixels, or the template's pages
// drawn with the bubbles the bytes fill, so registration and bubble reading are reached, not
// only the decoders. Everything then runs through to the results and the pictures. A refusal
// (ReadError) is a correct answer; any other exception, crash or sanitizer report is a fault.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "base/read_error.h"
#include "omr/template_file.h"
#include "scan/scan_pictures.h"
#include "scan/scan_reading.h"
#include "scan/scan_source.h"
#include "scan/sheet_results.h"
#include "scores/answer_key.h"

namespace {

using namespace varelo;

// Images made here stay this small, so one input runs in well under a second under the
// sanitizers; the decoders are held to the same by OpenCV's limit, set before it loads.
constexpr double kMaxFuzzPixels = 2e6;
constexpr const char* kDecodeLimit = "2000000";

enum class ScanKind { Decoded, RawPixels, DrawnPages, DrawnUpsideDown };

std::string_view NextPart(std::string_view& rest) {
    const size_t end = rest.find('\0');
    const std::string_view part = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    return part;
}

// The bytes as rows of grey pixels, the first two giving the width: slivers and noise.
cv::Mat RawPixels(std::string_view bytes) {
    if (bytes.size() < 3) return {};
    const int width = 1 + (static_cast<uint8_t>(bytes[0]) | static_cast<uint8_t>(bytes[1]) << 8);
    bytes.remove_prefix(2);
    const int rows = static_cast<int>(bytes.size() / static_cast<size_t>(width));
    if (rows == 0) return {};
    cv::Mat grey(rows, width, CV_8UC1);
    std::copy_n(bytes.begin(), static_cast<size_t>(rows) * static_cast<size_t>(width), grey.data);
    return grey;
}

// Page p of the template printed at a resolution the bytes choose: marks black, bubbles
// outlined, the bubbles whose bits are set filled, and some pixels of noise.
cv::Mat DrawnPage(const layout::OmrTemplate& t, int p, std::string_view bytes, bool upsideDown) {
    const layout::OmrPage& page = t.pages[static_cast<size_t>(p - 1)];
    const double wanted = bytes.empty() ? 2 : 1 + static_cast<uint8_t>(bytes[0]) % 8;
    const double perMm = std::min(wanted, std::sqrt(kMaxFuzzPixels / (page.width * page.height)));
    cv::Mat grey(std::max(1, cvRound(page.height * perMm)),
                 std::max(1, cvRound(page.width * perMm)), CV_8UC1, cv::Scalar(235));
    const auto box = [&](const layout::OmrRect& r) {
        return cv::Rect(
            cv::Point(cvRound(r.x * perMm), cvRound(r.y * perMm)),
            cv::Point(cvRound((r.x + r.width) * perMm), cvRound((r.y + r.height) * perMm)));
    };
    for (const layout::OmrMark& m : page.marks) cv::rectangle(grey, box(m.rect), 20, cv::FILLED);
    size_t bit = 0;
    const auto bubble = [&](const layout::OmrBubble& b) {
        if (b.rect.page != p) return;
        const size_t at = 1 + bit / 8;
        const bool filled = at < bytes.size() && (static_cast<uint8_t>(bytes[at]) >> (bit % 8) & 1);
        ++bit;
        const cv::Rect r = box(b.rect);
        const cv::RotatedRect ellipse(
            cv::Point2f(static_cast<float>(r.x + r.width / 2.0),
                        static_cast<float>(r.y + r.height / 2.0)),
            cv::Size2f(static_cast<float>(r.width), static_cast<float>(r.height)), 0);
        cv::ellipse(grey, ellipse, filled ? 40 : 90, filled ? cv::FILLED : 1);
    };
    for (const auto& column : t.candidateColumns)
        for (const layout::OmrBubble& b : column) bubble(b);
    for (const layout::OmrItem& item : t.items)
        for (const layout::OmrBubble& b : item.options) bubble(b);
    // Specks where the bytes past the bubbles' bits say.
    const size_t noise = 1 + (bit + 7) / 8;
    for (size_t i = noise; i + 2 < bytes.size(); i += 3) {
        const int x = (static_cast<uint8_t>(bytes[i]) * grey.cols) / 256;
        const int y = (static_cast<uint8_t>(bytes[i + 1]) * grey.rows) / 256;
        grey.at<uchar>(y, x) = static_cast<uchar>(bytes[i + 2]);
    }
    if (upsideDown) cv::rotate(grey, grey, cv::ROTATE_180);
    return grey;
}

std::vector<cv::Mat> Scans(ScanKind kind, const layout::OmrTemplate& t, std::string_view bytes) {
    std::vector<cv::Mat> out;
    switch (kind) {
        case ScanKind::Decoded:
            try {
                out.push_back(read::DecodeScan(std::vector<uchar>(bytes.begin(), bytes.end())));
            } catch (const read::ReadError&) {
            }
            break;
        case ScanKind::RawPixels:
            if (cv::Mat grey = RawPixels(bytes); !grey.empty()) out.push_back(grey);
            break;
        case ScanKind::DrawnPages:
        case ScanKind::DrawnUpsideDown:
            for (int p = 1; p <= static_cast<int>(std::min<size_t>(t.pages.size(), 2)); ++p)
                out.push_back(DrawnPage(t, p, bytes, kind == ScanKind::DrawnUpsideDown));
            break;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char*** argv) {
    // OpenCV reads its decoding limit once, when it is loaded: start again with it set.
    if (getenv("OPENCV_IO_MAX_IMAGE_PIXELS") == nullptr) {
        setenv("OPENCV_IO_MAX_IMAGE_PIXELS", kDecodeLimit, 1);
        execv("/proc/self/exe", *argv);
        std::abort();
    }
    cv::setNumThreads(0);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto kind = static_cast<ScanKind>(data[0] % 4);
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string_view templateText = NextPart(rest);
    const std::string_view keyText = NextPart(rest);

    layout::OmrTemplate t;
    try {
        t = read::ParseTemplate(std::string(templateText));
    } catch (const read::ReadError&) {
        return 0;
    }
    read::AnswerKey key;
    bool withKey = true;
    try {
        key = read::ParseAnswerKey(std::string(keyText), t, {.allowPartialKey = true});
    } catch (const read::ReadError&) {
        withKey = false;
    }

    const std::vector<cv::Mat> images = Scans(kind, t, rest);
    std::vector<read::ScanReading> scans;
    for (const cv::Mat& grey : images)
        scans.push_back(read::ReadScan(t, "scan" + std::to_string(scans.size() + 1), grey));
    const std::vector<read::SheetResult> sheets =
        read::AssembleSheets(t, scans, withKey ? &key : nullptr);
    read::ResultsCsv(t, scans, sheets, withKey);
    read::ResultsJson(t, scans, sheets);

    for (size_t i = 0; i < scans.size(); ++i) {
        read::ReviewPicture(t, scans[i], images[i], "review", 200);
        if (!scans[i].error.empty()) continue;
        try {
            read::AlignedPage(t, scans[i], images[i], 10);
            for (const layout::OmrRegion& region : t.regions)
                if (region.rect.page == scans[i].registration.page)
                    read::RegionPicture(region, scans[i], images[i], 10);
        } catch (const read::ReadError&) {
        }
    }
    return 0;
}
