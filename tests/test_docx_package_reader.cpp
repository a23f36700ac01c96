// Parts parsed where they were inflated read exactly as pugixml's own copying parse reads
// them, malformed ones included: same tree, same error, same byte.
#include <gtest/gtest.h>

#include <pugixml.hpp>
#include <string>
#include <vector>

#include "docx/package_reader.h"
#include "docx/reader.h"
#include "docx/xml.h"

using namespace varelo::host;

namespace {

constexpr unsigned kOptions = pugi::parse_default | pugi::parse_ws_pcdata;

std::string AsCopyReadsIt(const std::string& xml) {
    pugi::xml_document doc;
    const pugi::xml_parse_result r = doc.load_buffer(xml.data(), xml.size(), kOptions);
    if (!r) return std::string(r.description()) + " at byte " + std::to_string(r.offset);
    return docx::ToXmlString(doc);
}

std::string AsTheReaderReadsIt(const std::string& xml) {
    try {
        const pugi::xml_document doc = docx::ParsePart(xml, "p.xml");
        return docx::ToXmlString(doc);
    } catch (const OpenError& e) {
        const std::string message = e.what();
        const size_t open = message.find(" (") + 2;
        return message.substr(open, message.size() - open - 2);
    }
}

}  // namespace

TEST(DocxPackageReader, PartsParseInPlaceAsFromACopy) {
    const std::string part =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<w:document xmlns:w=\"x\"><w:body><w:p>"
        "<w:r><w:t xml:space=\"preserve\"> a&amp;b </w:t></w:r></w:p><!-- c --><w:p/>"
        "</w:body></w:document>";
    std::vector<std::string> inputs;
    // Cut anywhere, the end of the part falls in every kind of markup.
    for (size_t n = 0; n <= part.size(); ++n) {
        inputs.push_back(part.substr(0, n));
        inputs.push_back(part.substr(0, n) + "<");
    }
    // Encodings pugixml converts rather than reading in place, and their look-alikes.
    for (const std::string& other : {
             std::string("\xff\xfe<\0a\0/\0>\0", 10),
             std::string("\xff\xfe<\0a\0/\0>", 9),
             std::string("<\0a\0/\0>\0", 8),
             std::string("\xef\xbb\xbf<a>\xc3\xa9</a>"),
             std::string("<?xml version='1.0' encoding='latin1'?><a>\xe9</a>"),
             std::string("<?xml version='1.0' encoding='ISO-8859-1'?><a>\xe9</a"),
             std::string("<?xml version='1.0' encoding='utf-8'?><a>\xc3\xa9</a>"),
             std::string("<?xml version='1.0'"),
         })
        inputs.push_back(other);
    for (const std::string& xml : inputs) {
        SCOPED_TRACE(::testing::PrintToString(xml));
        EXPECT_EQ(AsTheReaderReadsIt(xml), AsCopyReadsIt(xml));
    }
}
