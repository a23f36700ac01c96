#pragma once

// Small image files for the picture tests, made without an image library.
#include <zlib.h>

#include <cstdint>
#include <string>

namespace varelo::testing {

// A width x height greyscale PNG whose pixels are all `grey`.
inline std::string Png(uint32_t width, uint32_t height, unsigned char grey = 0) {
    auto be32 = [](std::string& s, uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) s += static_cast<char>(v >> shift & 0xFF);
    };
    auto chunk = [&](std::string& png, const char* type, const std::string& data) {
        be32(png, static_cast<uint32_t>(data.size()));
        const std::string body = type + data;
        png += body;
        be32(png, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()),
                                              static_cast<uInt>(body.size()))));
    };
    std::string png = "\x89PNG\r\n\x1a\n";
    std::string header;
    be32(header, width);
    be32(header, height);
    header += std::string("\x08\x00\x00\x00\x00", 5);  // 8-bit grey, no interlace
    chunk(png, "IHDR", header);
    std::string raw;
    for (uint32_t y = 0; y < height; ++y) raw += '\0' + std::string(width, static_cast<char>(grey));
    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::string packed(size, '\0');
    compress(reinterpret_cast<Bytef*>(packed.data()), &size,
             reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()));
    packed.resize(size);
    chunk(png, "IDAT", packed);
    chunk(png, "IEND", "");
    return png;
}

}  // namespace varelo::testing
