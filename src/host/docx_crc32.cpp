#include "host/docx_crc32.h"

#include <zlib.h>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define VARELO_CRC_FOLD 1
#endif

namespace varelo::host::docx {

namespace {

uint32_t ZlibCrc(uint32_t crc, const unsigned char* p, size_t size) {
    while (size > 0) {
        const size_t n = size < (1u << 30) ? size : (1u << 30);
        crc = static_cast<uint32_t>(crc32(crc, p, static_cast<uInt>(n)));
        p += n;
        size -= n;
    }
    return crc;
}

#ifdef VARELO_CRC_FOLD

#define VARELO_CLMUL __attribute__((target("pclmul,sse4.1")))

VARELO_CLMUL inline __m128i Load(const unsigned char* q) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
}

// One fold: x times k, high and low halves apart, plus the next data.
VARELO_CLMUL inline __m128i FoldStep(__m128i x, __m128i k, __m128i next) {
    const __m128i lo = _mm_clmulepi64_si128(x, k, 0x00);
    const __m128i hi = _mm_clmulepi64_si128(x, k, 0x11);
    return _mm_xor_si128(_mm_xor_si128(hi, lo), next);
}

// Folding by carry-less multiplication (Gopal et al., "Fast CRC Computation for Generic
// Polynomials Using PCLMULQDQ Instruction", Intel 2009), with that paper's constants for
// the reflected polynomial 0x04C11DB7. size is at least 64 and a multiple of 16; crc is
// the register value, not the inverted one zlib's interface exchanges.
VARELO_CLMUL uint32_t Fold(const unsigned char* p, size_t size, uint32_t crc) {
    alignas(16) static const uint64_t k1k2[2] = {0x0154442bd4, 0x01c6e41596};
    alignas(16) static const uint64_t k3k4[2] = {0x01751997d0, 0x00ccaa009e};
    alignas(16) static const uint64_t k5k0[2] = {0x0163cd6124, 0x0000000000};
    alignas(16) static const uint64_t poly[2] = {0x01db710641, 0x01f7011641};
    __m128i x1 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i x2 = Load(p + 16), x3 = Load(p + 32), x4 = Load(p + 48);
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
    p += 64;
    size -= 64;
    while (size >= 64) {
        x1 = FoldStep(x1, k, Load(p));
        x2 = FoldStep(x2, k, Load(p + 16));
        x3 = FoldStep(x3, k, Load(p + 32));
        x4 = FoldStep(x4, k, Load(p + 48));
        p += 64;
        size -= 64;
    }
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
    x1 = FoldStep(x1, k, x2);
    x1 = FoldStep(x1, k, x3);
    x1 = FoldStep(x1, k, x4);
    for (; size >= 16; p += 16, size -= 16) x1 = FoldStep(x1, k, Load(p));

    // 128 bits to 64, then a Barrett reduction to 32.
    const __m128i mask = _mm_setr_epi32(~0, 0, ~0, 0);
    x2 = _mm_clmulepi64_si128(x1, k, 0x10);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), x2);
    k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
    x2 = _mm_srli_si128(x1, 4);
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask), k, 0x00), x2);
    k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x1, mask), k, 0x10);
    x2 = _mm_clmulepi64_si128(_mm_and_si128(x2, mask), k, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, x2), 1));
}

bool CanFold() {
    static const bool can = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return can;
}

#endif

}  // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size) {
    auto p = static_cast<const unsigned char*>(data);
#ifdef VARELO_CRC_FOLD
    if (size >= 64 && CanFold()) {
        const size_t whole = size & ~static_cast<size_t>(15);
        crc = ~Fold(p, whole, ~crc);
        p += whole;
        size -= whole;
    }
#endif
    return ZlibCrc(crc, p, size);
}

}  // namespace varelo::host::docx
