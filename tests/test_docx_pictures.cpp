// Pictures inline in a paragraph: written as media parts with their drawings, read back from
// our files and from other programs', and what stays beyond the surface still read-only.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "doc/table.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"
#include "docx_test_util.h"
#include "picture_bytes.h"

using namespace varelo::host;
using varelo::testing::ParseXml;
using varelo::testing::Png;
using varelo::testing::Unzip;

namespace {

const std::string kJpeg = std::string("\xff\xd8\xff\xe0", 4) + "not decoded here";

std::shared_ptr<const InlinePicture> Picture(std::string data, const char* type, double width,
                                             double height, std::string description) {
    return std::make_shared<const InlinePicture>(
        InlinePicture{std::move(data), type, width, height, std::move(description)});
}

Run PictureRun(std::shared_ptr<const InlinePicture> picture) {
    Run run;
    run.picture = std::move(picture);
    return run;
}

// A table whose cells hold: a logo; the same logo again (another copy of equal bytes) after
// text; a JPEG photo; and, in the body after the table, the logo once more.
Document WithPictures() {
    Document doc;
    Table& t = doc.AddTableAtStart(2, 2);
    const auto logo = Picture(Png(4, 2), "image/png", 36, 18, "校徽 \"logo\" & <mark>");
    t.At(1, 1).FirstParagraph().runs.push_back(PictureRun(logo));
    Paragraph& p = t.At(1, 2).FirstParagraph();
    p.Append("学校");
    p.runs.push_back(PictureRun(Picture(Png(4, 2), "image/png", 18, 9, "")));
    p.Append("考试");
    t.At(2, 1).FirstParagraph().runs.push_back(
        PictureRun(Picture(kJpeg, "image/jpeg", 100.5, 72, "photo")));
    doc.body.back().paragraph.runs.push_back(PictureRun(logo));
    return doc;
}

constexpr const char* kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

using Parts = std::map<std::string, std::string>;

std::string Package(const Parts& parts) {
    docx::ZipWriter zip(1);
    for (const auto& [name, data] : parts) zip.Add(name, data);
    return zip.Finish();
}

// A package whose body is `inner`, with the image part word/media/a.png (rId5, `image`
// bytes) and a relationship rId6 to a theme.
std::unique_ptr<Document> OpenWithImage(const std::string& inner,
                                        const std::string& image = Png(2, 2)) {
    const std::string body =
        std::string("<w:document xmlns:w=\"") + docx::kNsW + "\" xmlns:r=\"" + docx::kNsR +
        "\" xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
        "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
        "xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\" "
        "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"><w:body>" +
        inner + "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";
    return OpenDocxBytes(Package(Parts{
        {"[Content_Types].xml",
         "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"png\" ContentType=\"image/png\"/></Types>"},
        {"_rels/.rels", std::string(kRels) + "<Relationship Id=\"rId1\" Type=\"" +
                            docx::kRelOfficeDocument +
                            "\" Target=\"word/document.xml\"/></Relationships>"},
        {"word/document.xml", body},
        {"word/_rels/document.xml.rels",
         std::string(kRels) + "<Relationship Id=\"rId5\" Type=\"" + docx::kRelImage +
             "\" Target=\"media/a.png\"/><Relationship Id=\"rId6\" Type=\"" + docx::kRelImage +
             "\" Target=\"media/gone.png\"/><Relationship Id=\"rId7\" Type=\"urn:theme\" "
             "Target=\"theme.xml\"/></Relationships>"},
        {"word/media/a.png", image},
        {"word/theme.xml", "<t/>"}}));
}

// An inline picture as Word writes one (with its own extensions); `blip` and `spPr` replace
// the parts a case varies.
std::string Drawing(const std::string& blip =
                        "<a:blip r:embed=\"rId5\"><a:extLst><a:ext "
                        "uri=\"{28A0092B-C50C-407E-A947-70E740481C1C}\">"
                        "<a14:useLocalDpi xmlns:a14=\"urn:a14\" val=\"0\"/>"
                        "</a:ext></a:extLst></a:blip>",
                    const std::string& spPr =
                        "<a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext "
                        "cx=\"254000\" cy=\"127000\"/></a:xfrm><a:prstGeom "
                        "prst=\"rect\"><a:avLst/></a:prstGeom><a:noFill/>"
                        "<a:ln><a:noFill/></a:ln>",
                    const std::string& extent = "cx=\"254000\" cy=\"127000\"") {
    return "<w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
           "wp14:anchorId=\"1A2B3C4D\" xmlns:wp14=\"urn:wp14\"><wp:extent " +
           extent +
           "/><wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/><wp:docPr id=\"3\" "
           "name=\"Picture 3\" descr=\"crest\"/><wp:cNvGraphicFramePr><a:graphicFrameLocks "
           "noChangeAspect=\"1\"/></wp:cNvGraphicFramePr><a:graphic><a:graphicData "
           "uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\"><pic:pic>"
           "<pic:nvPicPr><pic:cNvPr id=\"0\" name=\"a.png\"/><pic:cNvPicPr/></pic:nvPicPr>"
           "<pic:blipFill>" +
           blip +
           "<a:srcRect/><a:stretch><a:fillRect/></a:stretch></pic:blipFill><pic:spPr "
           "bwMode=\"auto\">" +
           spPr + "</pic:spPr></pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing>";
}

}  // namespace

TEST(DocxPictures, EachDistinctImageIsOneMediaPartThatEveryDrawingOfItEmbeds) {
    const auto parts = Unzip(DocxBytes(WithPictures()));
    EXPECT_EQ(parts.at("word/media/image1.png"), Png(4, 2));
    EXPECT_EQ(parts.at("word/media/image2.jpeg"), kJpeg);
    EXPECT_FALSE(parts.count("word/media/image3.png"));  // equal bytes share a part

    const pugi::xml_document types = ParseXml(parts.at("[Content_Types].xml"));
    EXPECT_STREQ(types.child("Types")
                     .find_child_by_attribute("Default", "Extension", "png")
                     .attribute("ContentType")
                     .value(),
                 "image/png");
    EXPECT_STREQ(types.child("Types")
                     .find_child_by_attribute("Default", "Extension", "jpeg")
                     .attribute("ContentType")
                     .value(),
                 "image/jpeg");
    const pugi::xml_document rels = ParseXml(parts.at("word/_rels/document.xml.rels"));
    std::map<std::string, std::string> images;
    for (const pugi::xml_node r : rels.child("Relationships").children())
        if (std::string(r.attribute("Type").value()) == docx::kRelImage)
            images[r.attribute("Id").value()] = r.attribute("Target").value();
    EXPECT_EQ(images, (std::map<std::string, std::string>{{"rIdImage1", "media/image1.png"},
                                                          {"rIdImage2", "media/image2.jpeg"}}));

    const pugi::xml_document xml = ParseXml(parts.at("word/document.xml"));
    const pugi::xpath_node_set inlines = xml.select_nodes("//w:drawing/wp:inline");
    ASSERT_EQ(inlines.size(), 4u);
    struct Expected {
        const char *cx, *cy, *embed, *descr;
    } expected[] = {{"457200", "228600", "rIdImage1", "校徽 \"logo\" & <mark>"},
                    {"228600", "114300", "rIdImage1", ""},
                    {"1276350", "914400", "rIdImage2", "photo"},
                    {"457200", "228600", "rIdImage1", "校徽 \"logo\" & <mark>"}};
    std::vector<std::string> ids;
    for (size_t i = 0; i < inlines.size(); ++i) {
        SCOPED_TRACE(i);
        const pugi::xml_node in = inlines[i].node();
        EXPECT_STREQ(in.child("wp:extent").attribute("cx").value(), expected[i].cx);
        EXPECT_STREQ(in.child("wp:extent").attribute("cy").value(), expected[i].cy);
        EXPECT_STREQ(in.child("wp:docPr").attribute("descr").value(), expected[i].descr);
        ids.push_back(in.child("wp:docPr").attribute("id").value());
        const pugi::xml_node pic = in.child("a:graphic").child("a:graphicData").child("pic:pic");
        EXPECT_STREQ(pic.child("pic:nvPicPr").child("pic:cNvPr").attribute("descr").value(),
                     expected[i].descr);
        EXPECT_STREQ(pic.child("pic:blipFill").child("a:blip").attribute("r:embed").value(),
                     expected[i].embed);
        EXPECT_TRUE(pic.child("pic:blipFill").child("a:stretch"));
        EXPECT_STREQ(pic.child("pic:spPr").child("a:xfrm").child("a:ext").attribute("cx").value(),
                     expected[i].cx);
    }
    EXPECT_EQ(ids, (std::vector<std::string>{"1", "2", "3", "4"}));
    // The picture between the texts stands where it was.
    EXPECT_EQ(xml.select_nodes("//w:tc[2]/w:p/w:r").size(), 3u);
    EXPECT_TRUE(xml.select_node("//w:tc[2]/w:p/w:r[2]/w:drawing"));
}

TEST(DocxPictures, WhatIsWrittenReadsBackToTheSameDocumentAndFile) {
    const Document doc = WithPictures();
    const std::string saved = DocxBytes(doc);
    const std::unique_ptr<Document> back = OpenDocxBytes(saved);
    EXPECT_FALSE(back->ReadOnly()) << UnmodelledMessage(*back);
    EXPECT_TRUE(back->carriedParts.empty());  // the images are the writer's own again
    Table& t = back->Tables(1);
    ASSERT_EQ(t.At(1, 2).FirstParagraph().runs.size(), 3u);
    EXPECT_EQ(t.At(1, 2).FirstParagraph().Text(), "学校考试");
    const auto& picture = t.At(1, 1).FirstParagraph().runs.at(0).picture;
    ASSERT_TRUE(picture);
    EXPECT_EQ(*picture, *doc.Tables(1).At(1, 1).content[0].paragraph.runs[0].picture);
    // Read alike, pictures are one.
    EXPECT_EQ(picture, back->body.back().paragraph.runs.at(0).picture);
    EXPECT_TRUE(*back == doc);
    EXPECT_EQ(DocxBytes(*back), saved);
}

TEST(DocxPictures, AnotherProgramsInlinePictureIsKeptAndItsImageWrittenAsOurs) {
    const std::unique_ptr<Document> doc =
        OpenWithImage("<w:p><w:r><w:t>A</w:t>" + Drawing() + "<w:t>B</w:t></w:r></w:p>");
    ASSERT_FALSE(doc->ReadOnly()) << UnmodelledMessage(*doc);
    const std::vector<varelo::host::Run>& runs = doc->body.front().paragraph.runs;
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].text, "A");
    EXPECT_EQ(runs[2].text, "B");
    ASSERT_TRUE(runs[1].picture);
    EXPECT_EQ(*runs[1].picture, (InlinePicture{Png(2, 2), "image/png", 20, 10, "crest"}));
    // The image the picture uses is not carried beside it; the unused one and the theme are.
    std::vector<std::string> carried;
    for (const CarriedPart& p : doc->carriedParts) carried.push_back(p.name);
    EXPECT_EQ(carried, std::vector<std::string>{"word/theme.xml"});
    const auto parts = Unzip(DocxBytes(*doc));
    EXPECT_EQ(parts.at("word/media/image1.png"), Png(2, 2));
}

TEST(DocxPictures, WhatAPictureHoldsBeyondTheSurfaceKeepsTheDocumentReadOnly) {
    const std::string picture = "<w:p><w:r>" + Drawing() + "</w:r></w:p>";
    const std::string cases[] = {
        // anchored (floating) picture
        "<w:p><w:r><w:drawing><wp:anchor><wp:extent cx=\"1\" cy=\"1\"/></wp:anchor></w:drawing>"
        "</w:r></w:p>",
        // VML picture
        "<w:p><w:r><w:pict><v:shape xmlns:v=\"urn:v\"/></w:pict></w:r></w:p>",
        // a picture offered as an alternative to a shape
        "<w:p><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\">" + Drawing() +
            "</mc:Choice></mc:AlternateContent></w:r></w:p>",
        // linked, not embedded
        "<w:p><w:r>" + Drawing("<a:blip r:link=\"rId5\"/>") + "</w:r></w:p>",
        // embedded through a relationship that is missing, or whose part is missing
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId9\"/>") + "</w:r></w:p>",
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId6\"/>") + "</w:r></w:p>",
        // through a relationship that is no image's
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId7\"/>") + "</w:r></w:p>",
        // recoloured, cropped, rotated, outlined, of another shape
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId5\"><a:grayscl/></a:blip>") + "</w:r></w:p>",
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId5\"/><a:srcRect l=\"100\"/>") + "</w:r></w:p>",
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId5\"/>", "<a:xfrm rot=\"5400000\"/>") +
            "</w:r></w:p>",
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId5\"/>", "<a:ln><a:solidFill/></a:ln>") +
            "</w:r></w:p>",
        "<w:p><w:r>" + Drawing("<a:blip r:embed=\"rId5\"/>", "<a:prstGeom prst=\"ellipse\"/>") +
            "</w:r></w:p>",
        // of no size, or larger than any page
        "<w:p><w:r>" + Drawing(R"(<a:blip r:embed="rId5"/>)", "", R"(cx="0" cy="127000")") +
            "</w:r></w:p>",
        "<w:p><w:r>" + Drawing(R"(<a:blip r:embed="rId5"/>)", "", R"(cx="99999999999" cy="1")") +
            "</w:r></w:p>",
    };
    for (const std::string& c : cases) {
        SCOPED_TRACE(c);
        const std::unique_ptr<Document> doc = OpenWithImage(c);
        EXPECT_EQ(doc->unmodelled, std::vector<std::string>{"pictures or text boxes"});
    }
    // An image part whose bytes are neither PNG nor JPEG is no picture either.
    EXPECT_TRUE(OpenWithImage(picture, "GIF89a")->ReadOnly());
    EXPECT_FALSE(OpenWithImage(picture)->ReadOnly());
}

TEST(DocxPictures, PicturesPastTheReadersLimitsAreRefused) {
    std::string many;
    for (long i = 0; i <= kMaxDocxPictures; ++i) many += "<w:p><w:r>" + Drawing() + "</w:r></w:p>";
    EXPECT_THROW(OpenWithImage(many), OpenError);
}
