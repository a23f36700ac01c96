#include "scan/animated_png.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <opencv2/imgcodecs.hpp>
#include <string_view>
#include <vector>

#include "base/read_error.h"
#include "scan/scan_limits.h"

namespace varelo::read {

namespace {

constexpr std::string_view kSignature("\x89PNG\r\n\x1a\n", 8);

uint32_t Be32(std::string_view bytes, size_t at) {
    const auto b = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + i]));
    };
    return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

void PutBe32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 0xff);
}

void PutChunk(std::string& out, std::string_view type, std::string_view data) {
    PutBe32(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out += type;
    out += data;
    const auto* crcFrom = reinterpret_cast<const Bytef*>(out.data() + start);
    PutBe32(out, static_cast<uint32_t>(crc32(0, crcFrom, static_cast<uInt>(out.size() - start))));
}

[[noreturn]] void Damaged() {
    throw ReadError("cannot decode the image: the animated PNG is damaged");
}

struct Frame {
    uint32_t width = 0, height = 0, x = 0, y = 0;
    uint8_t dispose = 0;  // 0 none, 1 to the background, 2 to the previous picture
    std::string data;     // the zlib stream of its pixels
};

struct Animation {
    std::string header;                   // IHDR's data
    std::vector<std::string_view> extra;  // chunks before the image (palette, transparency)
    std::vector<Frame> frames;
};

Animation Parse(std::string_view bytes) {
    if (bytes.substr(0, 8) != kSignature) Damaged();
    Animation a;
    bool imageSeen = false;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const uint32_t length = Be32(bytes, at);
        if (length > bytes.size() - at - 12) Damaged();
        const std::string_view type = bytes.substr(at + 4, 4);
        const std::string_view data = bytes.substr(at + 8, length);
        const std::string_view whole = bytes.substr(at, length + 12);
        at += length + 12;
        if (type == "IHDR") {
            if (length != 13) Damaged();
            a.header = data;
        } else if (type == "fcTL") {
            if (length != 26) Damaged();
            a.frames.push_back({Be32(data, 4),
                                Be32(data, 8),
                                Be32(data, 12),
                                Be32(data, 16),
                                static_cast<uint8_t>(data[24]),
                                {}});
        } else if (type == "IDAT") {
            imageSeen = true;
            // The first image is a frame only when a frame control came before it.
            if (!a.frames.empty()) a.frames.back().data += data;
        } else if (type == "fdAT") {
            if (length < 4 || a.frames.empty()) Damaged();
            a.frames.back().data += data.substr(4);
        } else if (type == "IEND") {
            break;
        } else if (!imageSeen && type != "acTL") {
            a.extra.push_back(whole);
        }
    }
    if (a.header.empty()) Damaged();
    return a;
}

}  // namespace

int AnimatedPngFrames(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char head[8];
    if (!in.read(head, 8) || std::string_view(head, 8) != kSignature) return 1;
    for (char chunk[8]; in.read(chunk, 8);) {
        const std::string_view c(chunk, 8);
        const uint32_t length = Be32(c, 0);
        const std::string_view type = c.substr(4);
        if (type == "IDAT" || type == "IEND") return 1;
        if (type == "acTL") {
            char data[4];
            if (!in.read(data, 4)) return 1;
            return static_cast<int>(
                std::clamp<uint32_t>(Be32(std::string_view(data, 4), 0), 1, 1 << 20));
        }
        in.seekg(length + 4, std::ios::cur);
    }
    return 1;
}

cv::Mat AnimatedPngFrame(const std::string& path, int n) {
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const Animation a = Parse(bytes);
    if (n < 1 || static_cast<size_t>(n) > a.frames.size()) Damaged();
    const uint32_t width = Be32(a.header, 0), height = Be32(a.header, 4);
    if (static_cast<double>(width) * height > kMaxScanPixels)
        throw ReadError("the image is larger than " +
                        std::to_string(static_cast<long>(kMaxScanPixels / 1e6)) +
                        " million pixels");
    const auto covers = [&](const Frame& f) {
        return f.x == 0 && f.y == 0 && f.width == width && f.height == height;
    };
    size_t first = static_cast<size_t>(n) - 1;
    while (first > 0 && !covers(a.frames[first])) --first;
    cv::Mat canvas(static_cast<int>(height), static_cast<int>(width), CV_8UC1, cv::Scalar(255));
    for (size_t i = first; i < static_cast<size_t>(n); ++i) {
        const Frame& f = a.frames[i];
        if (f.width == 0 || f.height == 0 || f.x > width || f.y > height || f.width > width - f.x ||
            f.height > height - f.y)
            Damaged();
        std::string png(kSignature);
        std::string header;  // the first image's, at the frame's size
        PutBe32(header, f.width);
        PutBe32(header, f.height);
        PutChunk(png, "IHDR", header + a.header.substr(8));
        for (const std::string_view chunk : a.extra) png += chunk;
        PutChunk(png, "IDAT", f.data);
        PutChunk(png, "IEND", {});
        const cv::Mat grey =
            cv::imdecode(std::vector<uchar>(png.begin(), png.end()), cv::IMREAD_GRAYSCALE);
        if (grey.cols != static_cast<int>(f.width) || grey.rows != static_cast<int>(f.height))
            Damaged();
        const cv::Rect where(static_cast<int>(f.x), static_cast<int>(f.y), grey.cols, grey.rows);
        // A frame before the one asked for stays drawn, is cleared to the paper, or is undone.
        if (i + 1 == static_cast<size_t>(n) || f.dispose == 0)
            grey.copyTo(canvas(where));
        else if (f.dispose == 1)
            canvas(where).setTo(255);
    }
    return canvas;
}

}  // namespace varelo::read
