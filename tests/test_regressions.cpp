// Faults found by fuzzing and sanitizers, each named after what it found. Inputs that found a
// fault are also kept under tests/regressions/<fuzz target>/ and run through that target.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "base/numbers.h"
#include "doc/document.h"
#include "doc/table.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx/zip.h"
#include "docx_test_util.h"

using namespace varelo;

// Leading zeros of an exponent used up the digits kept for it, so "1e0000001" read as 1
// and a number far past the double range was accepted as a small one.
TEST(Regressions, ExponentLeadingZerosKeepTheExponentsValue) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"1e0000001", 10},    {"2E+0000003", 2000}, {"5e-00000001", 0.5},
        {"1E+000010010", {}}, {"1e000000000", 1},   {"0e0000000000000400", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(host::ParseNumber(c.text), c.value);
        EXPECT_EQ(host::LeadingValue(std::string(c.text) + "x"), c.value.value_or(0));
    }
    EXPECT_EQ(host::ToInt16("1e00002"), 100);
}

namespace {

// The package with every occurrence of `from` in its XML parts replaced by `to`.
std::string Patched(const std::string& docx, const std::string& from, const std::string& to) {
    host::docx::ZipWriter zip(1);
    for (auto [name, data] : varelo::testing::Unzip(docx)) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".xml") == 0)
            for (size_t at = data.find(from); at != std::string::npos; at = data.find(from, at))
                data.replace(at, from.size(), to), at += to.size();
        zip.Add(name, data);
    }
    return zip.Finish();
}

}  // namespace

// Names and text of nothing but bytes that are not UTF-8 were read as they stood; the writer
// drops such bytes, so a read sheet saved an empty font name, and saving what that read back
// gave a different file.
TEST(Regressions, InvalidUtf8InFontStyleNamesAndTextIsDroppedOnReading) {
    host::Document doc;
    host::Cell& cell = doc.AddTableAtStart(1, 2).At(1, 1);
    cell.ApplyCharFormat({host::kFontBubble, 12, {}});
    cell.InsertAfter("A");
    const std::string bad = "\xff\xfe";
    std::string file = Patched(host::DocxBytes(doc), "\"Block HX\"", "\"" + bad + "\"");
    file = Patched(file, "\"黑体\"", "\"" + bad + "\"");  // the second heading's font
    file = Patched(file, "\"heading 2\"", "\"" + bad + "\"");
    file = Patched(file, ">A<", ">A" + bad + "<");

    const std::unique_ptr<host::Document> read = host::OpenDocxBytes(file);
    const host::Run& run = read->Tables(1).At(1, 1).FirstParagraph().runs.at(0);
    EXPECT_EQ(run.text, "A");
    EXPECT_FALSE(run.format.font.has_value());
    const host::Style& heading = read->GetStyle(host::StyleId::Heading2);
    EXPECT_EQ(heading.font, doc.GetStyle(host::StyleId::Heading2).font);
    EXPECT_EQ(heading.name, "heading 2");

    const std::string saved = host::DocxBytes(*read);
    // No part names an empty font or style.
    for (const auto& [name, xml] : varelo::testing::Unzip(saved))
        if (name.find(".xml") != std::string::npos) {
            EXPECT_EQ(xml.find("=\"\""), std::string::npos) << name;
        }
    EXPECT_EQ(host::DocxBytes(*host::OpenDocxBytes(saved)), saved);
}
