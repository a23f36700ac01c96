#pragma once

// CRC-32 of zip entries (the zlib polynomial). On x86 processors with carry-less
// multiplication it folds 64 bytes a step, several times faster than zlib's table code,
// which mattered next to deflate on a sheet's document part. Internal to the host library.

#include <cstddef>
#include <cstdint>

namespace varelo::host::docx {

// Continues crc over data, like zlib's crc32(crc, data, size).
uint32_t Crc32(uint32_t crc, const void* data, size_t size);

}  // namespace varelo::host::docx
