// Page codes: their text read back exactly, and their QR pictures read off pages as a school's
// scanner leaves them.
#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <random>

#include "codes/page_code.h"
#include "codes/qr_code.h"

using varelo::codes::PageCode;

namespace {

// The page a code is printed on, scanned at dpi and saved as a JPEG of that quality.
cv::Mat ScannedCode(const std::string& png, double sizeMm, int dpi, int quality, double angle) {
    cv::Mat code = cv::imdecode(std::vector<uchar>(png.begin(), png.end()), cv::IMREAD_GRAYSCALE);
    const int side = static_cast<int>(sizeMm / 25.4 * dpi);
    cv::Mat scaled;
    cv::resize(code, scaled, {side, side}, 0, 0, cv::INTER_AREA);
    cv::Mat page(side * 3, side * 3, CV_8UC1, cv::Scalar(235));
    scaled.copyTo(page(cv::Rect(side, side, side, side)));
    cv::Mat turned;
    cv::warpAffine(page, turned,
                   cv::getRotationMatrix2D({page.cols / 2.f, page.rows / 2.f}, angle, 1),
                   page.size(), cv::INTER_LINEAR, cv::BORDER_CONSTANT, cv::Scalar(235));
    std::vector<uchar> jpeg;
    cv::imencode(".jpg", turned, jpeg, {cv::IMWRITE_JPEG_QUALITY, quality});
    return cv::imdecode(jpeg, cv::IMREAD_GRAYSCALE);
}

}  // namespace

TEST(PageCode, EveryKindOfCodeReadsBackAsWritten) {
    std::mt19937 rng(7);
    for (int i = 0; i < 200; ++i) {
        PageCode code{varelo::codes::NewExamId(), 1 + static_cast<int>(rng() % 2), {}, {}};
        if (i % 3 == 1) code.serial = 1 + static_cast<long>(rng() % 99'999'999);
        if (i % 3 == 2)
            code.candidate = std::string(1 + rng() % 12, '0') + std::to_string(rng() % 10);
        const std::string payload = varelo::codes::PageCodePayload(code);
        ASSERT_EQ(varelo::codes::ParsePageCode(payload), code) << payload;
    }
    EXPECT_EQ(varelo::codes::PageCodePayload({"00000000000000AB", 2, 17, ""}),
              "VRL1|00000000000000ab|2|S17");
}

TEST(PageCode, TextThatIsNoPageCodeIsRefused) {
    for (const char* text :
         {"", "VRL1", "VRL1|0123456789abcdef", "VRL2|0123456789abcdef|1", "VRL1|0123456789abcdeg|1",
          "VRL1|0123456789abcde|1", "VRL1|0123456789abcdef|0", "VRL1|0123456789abcdef|x",
          "VRL1|0123456789abcdef|1|S0", "VRL1|0123456789abcdef|1|S", "VRL1|0123456789abcdef|1|C12a",
          "VRL1|0123456789abcdef|1|X1", "VRL1|0123456789abcdef|1|S1|C2", "https://example.com"})
        EXPECT_FALSE(varelo::codes::ParsePageCode(text)) << text;
}

TEST(PageCode, QrCodeReadsOffAPoorScan) {
    const std::string payload =
        varelo::codes::PageCodePayload({"fedcba9876543210", 2, std::nullopt, "000000012345"});
    const std::string png = varelo::codes::QrCodePng(payload, 8);
    // A small PNG: the sheet carries one per page.
    EXPECT_LT(png.size(), 4000u);
    // 16 mm at 150 dpi, JPEG 60, turned a little as a sheet fed askew.
    for (double angle : {0.0, 2.5, 180.0}) {
        cv::Mat scan = ScannedCode(png, 16, 150, 60, angle);
        std::vector<varelo::codes::FoundCode> found = varelo::codes::ReadQrCodes(scan);
        ASSERT_EQ(found.size(), 1u) << angle;
        EXPECT_EQ(found[0].text, payload);
        EXPECT_EQ(found[0].corners.size(), 4u);
    }
    EXPECT_TRUE(varelo::codes::ReadQrCodes(cv::Mat(300, 300, CV_8UC1, cv::Scalar(255))).empty());
}
