// The zip writer under the .docx package, checked by reading its output with libzip.
#include <gtest/gtest.h>
#include <zip.h>
#include <zlib.h>

#include <map>
#include <random>
#include <string>

#include "docx/zip.h"
#include "docx_test_util.h"

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

// Small parts are stored, larger ones deflated; either way the local header and the central
// directory agree (libzip checks them against each other) and the bytes come back.
TEST(DocxZip, SmallEntriesAreStoredLargerOnesDeflated) {
    const struct {
        size_t size;
        bool stored;
    } cases[] = {{1, true},
                 {ZipWriter::kStoreBelow - 1, true},
                 {ZipWriter::kStoreBelow, false},
                 {5 * ZipWriter::kStoreBelow, false}};
    ZipWriter zip(3);
    std::map<std::string, std::string> written;
    for (const auto& c : cases) {
        std::string data;
        while (data.size() < c.size) data += "<w:p/>" + std::to_string(data.size());
        data.resize(c.size);
        const std::string name = "part" + std::to_string(c.size) + ".xml";
        zip.Add(name, data);
        written[name] = data;
    }
    const std::string bytes = zip.Finish();
    EXPECT_EQ(varelo::testing::Unzip(bytes), written);
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    zip_t* archive = zip_open_from_source(src, ZIP_RDONLY | ZIP_CHECKCONS, &error);
    ASSERT_NE(archive, nullptr);
    for (const auto& c : cases) {
        zip_stat_t st;
        ASSERT_EQ(zip_stat(archive, ("part" + std::to_string(c.size) + ".xml").c_str(), 0, &st), 0);
        EXPECT_EQ(st.comp_method, c.stored ? ZIP_CM_STORE : ZIP_CM_DEFLATE) << c.size;
        if (!c.stored) {
            EXPECT_LT(st.comp_size, st.size) << c.size;
        }
    }
    zip_close(archive);
}

// Writers share their thread's deflate stream: one begun while another is mid-entry, one at
// another level, and one after a writer dropped mid-entry must each still write their own parts.
TEST(DocxZip, WritersOnOneThreadKeepTheirEntriesApart) {
    std::string a, b;
    for (int i = 0; a.size() < 200'000; ++i) a += "<w:tc>" + std::to_string(i) + "</w:tc>";
    for (int i = 0; b.size() < 100'000; ++i) b += "<w:tr w:n=\"" + std::to_string(i * 7) + "\"/>";
    {  // dropped mid-entry
        ZipWriter dropped(9);
        dropped.Begin("x.xml");
        dropped.Write(b);
    }
    ZipWriter outer(3);
    outer.Begin("a.xml");
    outer.Write(std::string_view(a).substr(0, 70'000));
    std::string innerBytes;
    {
        ZipWriter inner(3);
        inner.Add("b.xml", b);
        innerBytes = inner.Finish();
        ZipWriter otherLevel(9);
        otherLevel.Add("a.xml", a);
        EXPECT_EQ(varelo::testing::Unzip(otherLevel.Finish()).at("a.xml"), a);
    }
    outer.Write(std::string_view(a).substr(70'000));
    outer.End();
    EXPECT_EQ(varelo::testing::Unzip(outer.Finish()).at("a.xml"), a);
    EXPECT_EQ(varelo::testing::Unzip(innerBytes).at("b.xml"), b);
}
