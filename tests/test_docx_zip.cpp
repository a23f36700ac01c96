// The zip writer under the .docx package, checked by reading its output with libzip.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "docx_test_util.h"
#include "host/docx_crc32.h"
#include "host/docx_zip.h"

using namespace varelo::host::docx;

TEST(DocxZip, Crc32AgreesWithZlibForAnyLengthAlignmentAndSplit) {
    std::mt19937 rng(7);
    std::string data(300000, '\0');
    for (char& c : data) c = static_cast<char>(rng());
    for (int i = 0; i < 3000; ++i) {
        const size_t offset = rng() % 64;
        const size_t length = i < 2000 ? rng() % 300 : rng() % (data.size() - 64);
        const size_t split = length ? rng() % length : 0;
        const uint32_t seed = i % 3 == 0 ? 0 : static_cast<uint32_t>(rng());
        const auto* p = reinterpret_cast<const Bytef*>(data.data() + offset);
        const auto expected = static_cast<uint32_t>(crc32(seed, p, static_cast<uInt>(length)));
        // Continuing over two pieces must give the same as one.
        const uint32_t got = Crc32(Crc32(seed, p, split), p + split, length - split);
        ASSERT_EQ(got, expected) << "offset " << offset << " length " << length << " split "
                                 << split;
    }
}

TEST(DocxZip, StreamedEntriesReadBackIntact) {
    std::mt19937 rng(11);
    // Repetitive markup with random stretches, over several megabytes, fed in odd pieces.
    std::string big;
    while (big.size() < 3'000'000) {
        big += "<w:tc><w:p/></w:tc>";
        if (rng() % 7 == 0)
            for (int k = 0; k < 40; ++k) big += static_cast<char>(rng());
    }
    ZipWriter zip(3);
    zip.Add("a.xml", "<a/>");
    zip.Add("empty", "");
    zip.Begin("big/part.xml");
    for (size_t at = 0; at < big.size();) {
        const size_t n = std::min<size_t>(big.size() - at, 1 + rng() % 100000);
        zip.Write(std::string_view(big).substr(at, n));
        at += n;
    }
    zip.End();
    const auto parts = varelo::testing::Unzip(zip.Finish());
    ASSERT_EQ(parts.size(), 3u);
    EXPECT_EQ(parts.at("a.xml"), "<a/>");
    EXPECT_EQ(parts.at("empty"), "");
    EXPECT_TRUE(parts.at("big/part.xml") == big);
}
