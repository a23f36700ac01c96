// The writing half of the QR pictures, kept apart from OpenCV: the command line links it to put
// codes on sheets, and OpenCV loaded at start would take its image-size limit from the
// environment before `varelo read` has set it.
#define ZX_USE_UTF8

#include "codes/qr_png.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace varelo::codes {

namespace {

constexpr int kQuietModules = 4;
constexpr int kMinSymbolModules = 29;  // version 3

void PutBig32(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(v >> shift));
}

void PutChunk(std::string& out, const char* type, const std::string& data) {
    PutBig32(out, static_cast<uint32_t>(data.size()));
    const std::string body = std::string(type, 4) + data;
    out += body;
    PutBig32(out, static_cast<uint32_t>(
                      crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// A 1-bit greyscale PNG of the rows (true: black).
std::string BilevelPng(const std::vector<std::vector<bool>>& rows) {
    const uint32_t side = static_cast<uint32_t>(rows.size());
    std::string raw;
    for (const std::vector<bool>& row : rows) {
        raw.push_back(0);  // no filter
        for (size_t x = 0; x < row.size(); x += 8) {
            unsigned char byte = 0;
            for (size_t b = 0; b < 8; ++b)
                if (x + b >= row.size() || !row[x + b])
                    byte |= static_cast<unsigned char>(0x80 >> b);
            raw.push_back(static_cast<char>(byte));
        }
    }
    uLongf size = compressBound(raw.size());
    std::string packed(size, '\0');
    if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                  reinterpret_cast<const Bytef*>(raw.data()), raw.size(), 9) != Z_OK)
        throw std::runtime_error("the QR code's picture could not be compressed");
    packed.resize(size);

    std::string png("\x89PNG\r\n\x1a\n", 8);
    std::string header;
    PutBig32(header, side);
    PutBig32(header, side);
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1 bit, greyscale, deflate, no interlace
    PutChunk(png, "IHDR", header);
    PutChunk(png, "IDAT", packed);
    PutChunk(png, "IEND", {});
    return png;
}

}  // namespace

std::string QrCodePng(std::string_view payload, int modulePixels) {
    if (modulePixels < 1) throw std::runtime_error("a QR module needs at least one pixel");
    ZXing::MultiFormatWriter writer(ZXing::BarcodeFormat::QRCode);
    // Level M (4 of 8): a smudge or a fold costs no more than 15 % of the code.
    writer.setEccLevel(4).setMargin(0);
    ZXing::BitMatrix symbol = writer.encode(std::string(payload), 0, 0);
    const int modules = std::max(symbol.width(), kMinSymbolModules);
    const int offset = kQuietModules + (modules - symbol.width()) / 2;
    const int side = (modules + 2 * kQuietModules) * modulePixels;
    std::vector<std::vector<bool>> rows(static_cast<size_t>(side),
                                        std::vector<bool>(static_cast<size_t>(side)));
    for (int y = 0; y < symbol.height(); ++y)
        for (int x = 0; x < symbol.width(); ++x)
            if (symbol.get(x, y))
                for (int dy = 0; dy < modulePixels; ++dy)
                    for (int dx = 0; dx < modulePixels; ++dx)
                        rows[static_cast<size_t>((offset + y) * modulePixels + dy)]
                            [static_cast<size_t>((offset + x) * modulePixels + dx)] = true;
    return BilevelPng(rows);
}

}  // namespace varelo::codes
