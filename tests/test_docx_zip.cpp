// The zip writer under the .docx package, checked by reading its output with libzip.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>

#include "docx_test_util.h"
#include "host/docx/zip.h"

using namespace varelo::host::docx;

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
