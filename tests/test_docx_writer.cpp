// The package the .docx writer makes, read back with libzip and pugixml.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <numeric>
#include <optional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/units.h"
#include "compose/page_setup.h"
#include "dialog_sheet.h"
#include "doc/application.h"
#include "doc/block_hx_font.h"
#include "doc/border_pass.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx_grid.h"
#include "docx_test_util.h"

using namespace varelo::host;
using varelo::testing::Fragment;
using varelo::testing::ParseXml;
using varelo::testing::StyledParagraphProperty;
using varelo::testing::Unzip;

namespace {

// The page the driver sets up for "A3三栏".
void SetUpA3(Document& doc) {
    varelo::settings::SetUpPage(doc.pageSetup, varelo::exam::Layout::A3Three);
}

std::string DocumentPart(const Document& doc) {
    return Unzip(DocxBytes(doc)).at("word/document.xml");
}

std::vector<long> Attributes(const pugi::xpath_node_set& nodes, const char* name) {
    std::vector<long> out;
    for (const pugi::xpath_node& n : nodes) out.push_back(n.node().attribute(name).as_int());
    return out;
}

}  // namespace

TEST(DocxWriter, PackageHoldsEveryPartItsContentTypesNameAndIsDeterministic) {
    Document doc;
    const std::string bytes = DocxBytes(doc);
    const auto parts = Unzip(bytes);
    for (const char* name : {"[Content_Types].xml", "_rels/.rels", "docProps/app.xml",
                             "word/document.xml", "word/_rels/document.xml.rels", "word/styles.xml",
                             "word/settings.xml", "word/fontTable.xml"}) {
        ASSERT_TRUE(parts.count(name)) << name;
        ParseXml(parts.at(name));
    }
    pugi::xml_document types = ParseXml(parts.at("[Content_Types].xml"));
    for (pugi::xml_node o : types.child("Types").children("Override"))
        EXPECT_TRUE(parts.count(std::string(o.attribute("PartName").value()).substr(1)))
            << o.attribute("PartName").value();
    EXPECT_NE(parts.at("docProps/app.xml").find("<Application>Varelo</Application>"),
              std::string::npos);
    EXPECT_EQ(DocxBytes(doc), bytes);
}

TEST(DocxWriter, SectionCarriesTheA3LandscapePageAndItsLineGrid) {
    Document doc;
    SetUpA3(doc);
    EXPECT_EQ(Fragment(DocumentPart(doc), "w:sectPr"),
              "<w:sectPr><w:type w:val=\"nextPage\"/>"
              "<w:pgSz w:w=\"23811\" w:h=\"16838\" w:orient=\"landscape\"/>"
              "<w:pgMar w:top=\"567\" w:right=\"567\" w:bottom=\"567\" w:left=\"567\" "
              "w:header=\"0\" w:footer=\"0\" w:gutter=\"0\"/>"
              "<w:cols w:num=\"1\" w:space=\"425\"/><w:vAlign w:val=\"top\"/>"
              // 27.7 cm of text height over 48 lines.
              "<w:docGrid w:type=\"lines\" w:linePitch=\"327\"/></w:sectPr>");

    // The pitch rounds down so that every line of the page fits: 26.9 cm over 48 lines.
    Document portrait;
    SetUpA3(portrait);
    portrait.pageSetup.orientation = Orientation::Portrait;
    portrait.pageSetup.pageWidth = CentimetersToPoints(21);
    portrait.pageSetup.topMargin = CentimetersToPoints(1.8);
    EXPECT_NE(DocumentPart(portrait).find("<w:docGrid w:type=\"lines\" w:linePitch=\"317\"/>"),
              std::string::npos);

    // A known paper size keeps its code; no line grid writes no grid type.
    Document a4;
    a4.pageSetup.layoutMode = kLayoutModeDefault;
    const std::string sect = Fragment(DocumentPart(a4), "w:sectPr");
    EXPECT_NE(sect.find("w:code=\"9\""), std::string::npos);
    EXPECT_EQ(sect.find("orient"), std::string::npos);
    EXPECT_EQ(sect.find("w:type=\"lines\""), std::string::npos);
}

TEST(DocxWriter, GridColumnsAddUpToTheTableAndRowsKeepTheirHeightRule) {
    Document doc;
    SetUpA3(doc);
    Table& t = doc.AddTableAtStart(4, 63);
    t.preferredWidth = {PreferredWidthType::Percent, 98};
    t.ColumnWidth(1) = {PreferredWidthType::Percent, 2};
    t.ColumnWidth(2) = {PreferredWidthType::Percent, 1.2};
    t.ColumnWidth(63) = {PreferredWidthType::Percent, 2.5};
    t.SetAllRows(RowHeightRule::Exactly, CentimetersToPoints(0.42324));
    t.Row(3) = {20, RowHeightRule::AtLeast};
    t.Row(4) = {0, RowHeightRule::Auto};

    pugi::xml_document xml = ParseXml(DocumentPart(doc));
    const std::vector<long> grid = Attributes(xml.select_nodes("//w:tblGrid/w:gridCol"), "w:w");
    ASSERT_EQ(grid.size(), 63u);
    // The text width as the file states it: the page and margins in whole twips.
    const double tableTwips = (23811 - 2 * 567) * 0.98;
    EXPECT_EQ(std::accumulate(grid.begin(), grid.end(), 0L), std::lround(tableTwips));
    EXPECT_EQ(grid[0], std::lround(tableTwips * 0.02));
    EXPECT_EQ(xml.select_node("//w:tblPr/w:tblW").node().attribute("w:w").as_int(), 4900);
    EXPECT_STREQ(xml.select_node("//w:tblLayout").node().attribute("w:type").value(), "fixed");
    // Listed columns carry their share of the table in fiftieths of a percent.
    EXPECT_EQ(Attributes(xml.select_nodes("//w:tr[1]/w:tc/w:tcPr/w:tcW"), "w:w")[1], 60);

    const pugi::xpath_node_set rows = xml.select_nodes("//w:tr");
    ASSERT_EQ(rows.size(), 4u);
    auto height = [&](size_t i) { return rows[i].node().child("w:trPr").child("w:trHeight"); };
    EXPECT_EQ(height(0).attribute("w:val").as_int(), 240);
    EXPECT_STREQ(height(0).attribute("w:hRule").value(), "exact");
    EXPECT_EQ(height(2).attribute("w:val").as_int(), 400);
    EXPECT_STREQ(height(2).attribute("w:hRule").value(), "atLeast");
    EXPECT_FALSE(height(3));
}

TEST(DocxWriter, MergedRectangleBecomesGridSpanWithRestartAndContinuation) {
    Document doc;
    Table& t = doc.AddTableAtStart(4, 5);
    t.Merge({2, 2, 4, 4});
    t.At(2, 2).InsertAfter("merged");
    const std::string xml = DocumentPart(doc);
    pugi::xml_document d = ParseXml(xml);
    const pugi::xpath_node_set rows = d.select_nodes("//w:tr");
    ASSERT_EQ(rows.size(), 4u);
    for (size_t r = 0; r < 4; ++r) {
        int columns = 0;
        for (pugi::xml_node tc : rows[r].node().children("w:tc"))
            columns +=
                std::max(1, tc.child("w:tcPr").child("w:gridSpan").attribute("w:val").as_int());
        EXPECT_EQ(columns, 5) << "row " << r + 1;
    }
    EXPECT_NE(xml.find("<w:gridSpan w:val=\"3\"/><w:vMerge w:val=\"restart\"/>"),
              std::string::npos);
    // Both continuation rows repeat the span, with a bare vMerge.
    size_t continuations = 0;
    for (size_t at = 0;
         (at = xml.find("<w:gridSpan w:val=\"3\"/><w:vMerge/>", at)) != std::string::npos; ++at)
        ++continuations;
    EXPECT_EQ(continuations, 2u);
    EXPECT_EQ(d.select_nodes("//w:t").size(), 1u);
}

TEST(DocxWriter, CellBordersComeFromSharedEdgesSoNeighboursAgree) {
    Application app;
    Document doc;
    Table& t = doc.AddTableAtStart(5, 5);
    t.Merge({2, 2, 2, 4});
    BorderPass(app, t, {2, 2, 4, 4}, BorderSet::Outline());
    t.At(5, 5).diagonalDown = kSolidBorder;

    pugi::xml_document d = ParseXml(DocumentPart(doc));
    auto side = [](pugi::xml_node tc, const char* name) {
        return std::string(
            tc.child("w:tcPr").child("w:tcBorders").child(name).attribute("w:val").value());
    };
    const pugi::xpath_node_set rows = d.select_nodes("//w:tr");
    for (size_t r = 0; r < rows.size(); ++r) {
        std::vector<pugi::xml_node> cells;
        for (pugi::xml_node tc : rows[r].node().children("w:tc")) cells.push_back(tc);
        for (size_t c = 0; c + 1 < cells.size(); ++c)
            EXPECT_EQ(side(cells[c], "w:right"), side(cells[c + 1], "w:left")) << r << "," << c;
        if (r + 1 < rows.size() && cells.size() == 5) {
            std::vector<pugi::xml_node> below;
            for (pugi::xml_node tc : rows[r + 1].node().children("w:tc")) below.push_back(tc);
            if (below.size() == 5) {
                for (size_t c = 0; c < 5; ++c)
                    EXPECT_EQ(side(cells[c], "w:bottom"), side(below[c], "w:top")) << r << "," << c;
            }
        }
    }
    // Above the box, the cells of row 1 close it with their bottoms.
    std::vector<std::string> bottoms;
    for (pugi::xml_node tc : rows[0].node().children("w:tc"))
        bottoms.push_back(side(tc, "w:bottom"));
    EXPECT_EQ(bottoms, (std::vector<std::string>{"", "single", "single", "single", ""}));
    // The box: row 2 is one merged cell with top, left and right; the inside has no rules.
    pugi::xml_node merged = rows[1].node().child("w:tc").next_sibling("w:tc");
    EXPECT_EQ(side(merged, "w:top"), "single");
    EXPECT_EQ(side(merged, "w:left"), "single");
    EXPECT_EQ(side(merged, "w:right"), "single");
    EXPECT_EQ(side(merged, "w:bottom"), "");
    pugi::xml_node edge = merged.child("w:tcPr").child("w:tcBorders").child("w:top");
    EXPECT_EQ(edge.attribute("w:sz").as_int(), 4);
    EXPECT_STREQ(edge.attribute("w:color").value(), "auto");
    pugi::xml_node inner = rows[2].node().child("w:tc").next_sibling("w:tc").next_sibling("w:tc");
    EXPECT_FALSE(inner.child("w:tcPr").child("w:tcBorders"));
    pugi::xml_node corner = rows[4].node().last_child();
    EXPECT_EQ(side(corner, "w:tl2br"), "single");
}

TEST(DocxWriter, MergedCellOverAPartlyRuledEdgeLeavesTheRuleToTheCellsAcross) {
    // A wide title cell above a narrower ruled block: the rule must not run the full width.
    Application app;
    Document doc;
    Table& t = doc.AddTableAtStart(3, 6);
    t.Merge({1, 1, 1, 6});
    BorderPass(app, t, {2, 4, 3, 6}, BorderSet::All());
    pugi::xml_document d = ParseXml(DocumentPart(doc));
    const pugi::xpath_node_set rows = d.select_nodes("//w:tr");
    EXPECT_FALSE(
        rows[0].node().child("w:tc").child("w:tcPr").child("w:tcBorders").child("w:bottom"));
    std::vector<bool> tops;
    for (pugi::xml_node tc : rows[1].node().children("w:tc"))
        tops.push_back(tc.child("w:tcPr").child("w:tcBorders").child("w:top"));
    EXPECT_EQ(tops, (std::vector<bool>{false, false, false, true, true, true}));
}

TEST(DocxWriter, AnyTextStaysWellFormedAndLosesOnlyWhatXmlForbids) {
    Document doc;
    Table& t = doc.AddTableAtStart(1, 1);
    t.At(1, 1).InsertAfter("<&>\"' a\x01z\tb\r\nc\nd\xff\xfe e中\xe4\xb8");
    const std::string xml = DocumentPart(doc);
    pugi::xml_document d = ParseXml(xml);
    std::string text;
    for (pugi::xpath_node n : d.select_nodes("//w:r/*")) {
        const std::string name = n.node().name();
        text += name == "w:t" ? std::string(n.node().text().get()) : name == "w:tab" ? "\t" : "|";
    }
    EXPECT_EQ(text, "<&>\"' az\tb|c|d e中");
    EXPECT_NE(xml.find("<w:t xml:space=\"preserve\">"), std::string::npos);

    // A run of nothing but forbidden characters leaves no run behind.
    Document control;
    control.body.front().paragraph.Append("\x02\x03");
    EXPECT_EQ(ParseXml(DocumentPart(control)).select_nodes("//w:r").size(), 0u);
}

TEST(DocxWriter, RunsAndParagraphMarksCarryFontsSizesAndLineSpacing) {
    Document doc;
    Table& t = doc.AddTableAtStart(1, 2);
    Cell& notes = t.At(1, 1);
    notes.SetLineSpacing(LineSpacingRule::Exactly, 12);
    notes.SetAlignment(Alignment::Left);
    notes.ApplyCharFormat({std::string(kFontKai), 7.5, std::nullopt});
    notes.InsertAfter("x");
    // Formatting on an empty cell is kept on its paragraph mark.
    t.At(1, 2).ApplyCharFormat({std::string(kFontBubble), 10.5, true});

    const auto parts = Unzip(DocxBytes(doc));
    const std::string& xml = parts.at("word/document.xml");
    EXPECT_NE(
        xml.find("<w:r><w:rPr><w:rFonts w:ascii=\"楷体_GB2312\" w:eastAsia=\"楷体_GB2312\" "
                 "w:hAnsi=\"楷体_GB2312\"/><w:sz w:val=\"15\"/><w:szCs w:val=\"15\"/></w:rPr>"),
        std::string::npos);
    EXPECT_NE(xml.find("<w:rPr><w:rFonts w:ascii=\"Block HX\" w:eastAsia=\"Block HX\" "
                       "w:hAnsi=\"Block HX\"/><w:b/><w:sz w:val=\"21\"/><w:szCs w:val=\"21\"/>"
                       "</w:rPr></w:pPr></w:p>"),
              std::string::npos);
    // Line spacing and alignment as they take effect, through the paragraphs' styles.
    const pugi::xml_document d = ParseXml(xml), styles = ParseXml(parts.at("word/styles.xml"));
    const pugi::xpath_node_set paragraphs = d.select_nodes("//w:tc/w:p");
    ASSERT_EQ(paragraphs.size(), 2u);
    const struct {
        const char *line, *rule, *jc;
    } looks[] = {{"240", "exact", "left"}, {"240", "auto", "both"}};
    for (size_t i = 0; i < 2; ++i) {
        const pugi::xml_node p = paragraphs[i].node();
        auto property = [&](const char* child, const char* attr) {
            return StyledParagraphProperty(styles.child("w:styles"), p, child, attr);
        };
        EXPECT_EQ(property("w:spacing", "w:line"), looks[i].line) << i;
        EXPECT_EQ(property("w:spacing", "w:lineRule"), looks[i].rule) << i;
        EXPECT_EQ(property("w:jc", "w:val"), looks[i].jc) << i;
        EXPECT_EQ(property("w:snapToGrid", "w:val"), "0") << i;
    }
    const std::string& fonts = parts.at("word/fontTable.xml");
    for (const char* f : {kFontSong, kFontKai, kFontBubble})
        EXPECT_NE(fonts.find(std::string("w:name=\"") + f + "\""), std::string::npos) << f;
}

TEST(DocxWriter, BodyEndsWithATinyParagraphAfterTheGridAndCellsEndWithAParagraph) {
    Document doc;
    Table& t = doc.AddTableAtStart(2, 2);
    // A nested table as the cell's last block: the file still closes the cell with a w:p.
    t.At(1, 1).content.emplace_back(std::make_unique<Table>(2, 2, TableBehavior::Word9));
    pugi::xml_document d = ParseXml(DocumentPart(doc));

    pugi::xml_node body = d.child("w:document").child("w:body");
    pugi::xml_node trailing = body.child("w:sectPr").previous_sibling();
    ASSERT_STREQ(trailing.name(), "w:p");
    ASSERT_STREQ(trailing.previous_sibling().name(), "w:tbl");
    pugi::xml_node pPr = trailing.child("w:pPr");
    EXPECT_STREQ(pPr.child("w:snapToGrid").attribute("w:val").value(), "0");
    // Under a point: LibreOffice leaves only 18 twips below a B5 grid.
    EXPECT_LE(pPr.child("w:spacing").attribute("w:line").as_int(), 18);
    EXPECT_STREQ(pPr.child("w:spacing").attribute("w:lineRule").value(), "exact");
    EXPECT_EQ(pPr.child("w:spacing").attribute("w:before").as_int(), 0);
    EXPECT_EQ(pPr.child("w:spacing").attribute("w:after").as_int(), 0);
    EXPECT_EQ(pPr.child("w:rPr").child("w:sz").attribute("w:val").as_int(), 2);

    for (pugi::xpath_node tc : d.select_nodes("//w:tc"))
        EXPECT_STREQ(tc.node().last_child().name(), "w:p");
    pugi::xml_node nested = d.select_node("//w:tc/w:tbl").node();
    ASSERT_TRUE(nested);
    // The nested table fills its cell inside the outer table's padding (5.4 pt each side).
    const long cell = d.select_node("//w:tbl/w:tblGrid/w:gridCol").node().attribute("w:w").as_int();
    const std::vector<long> inner = Attributes(nested.select_nodes("w:tblGrid/w:gridCol"), "w:w");
    EXPECT_EQ(std::accumulate(inner.begin(), inner.end(), 0L), cell - 2 * 108);
}

TEST(DocxWriter, CellsTakeTheDefaultCellStyleAndSayOnlyHowTheyDiffer) {
    Document doc;
    Table& t = doc.AddTableAtStart(3, 3);
    for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 3; ++c) t.At(r, c).SetLineSpacing(LineSpacingRule::Exactly, 12);
    t.At(2, 2).SetAlignment(Alignment::Center);
    t.At(3, 3).content.front().paragraph.style = StyleId::Heading1;
    const auto parts = Unzip(DocxBytes(doc));
    const std::string& xml = parts.at("word/document.xml");

    // The format most cells share is the cell style's, based on Normal, with snapping off;
    // it is the default paragraph style, Normal is not.
    const std::string& styles = parts.at("word/styles.xml");
    EXPECT_NE(styles.find("<w:style w:type=\"paragraph\" w:styleId=\"Normal\">"),
              std::string::npos);
    EXPECT_NE(styles.find("<w:style w:type=\"paragraph\" w:default=\"1\" w:customStyle=\"1\" "
                          "w:styleId=\"Cell\">"
                          "<w:name w:val=\"Cell\"/><w:basedOn w:val=\"Normal\"/><w:pPr>"
                          "<w:snapToGrid w:val=\"0\"/><w:spacing w:before=\"0\" w:after=\"0\" "
                          "w:line=\"240\" w:lineRule=\"exact\"/><w:jc w:val=\"both\"/></w:pPr>"
                          "</w:style>"),
              std::string::npos);
    const pugi::xml_document d = ParseXml(xml);
    const struct {
        int cell;  // in reading order
        const char* tc;
    } cases[] = {
        {0, "<w:tc><w:p/></w:tc>"},
        {4, "<w:tc><w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr></w:p></w:tc>"},
        // Another style states what it does not share with the cells, snapping included.
        {8,
         "<w:tc><w:p><w:pPr><w:pStyle w:val=\"Heading1\"/><w:snapToGrid w:val=\"0\"/>"
         "<w:spacing w:before=\"0\" w:after=\"0\" w:line=\"240\" w:lineRule=\"exact\"/>"
         "</w:pPr></w:p></w:tc>"},
    };
    const pugi::xpath_node_set cells = d.select_nodes("//w:tc");
    ASSERT_EQ(cells.size(), 9u);
    for (const auto& c : cases) {
        std::ostringstream tc;
        cells[static_cast<size_t>(c.cell)].node().print(tc, "", pugi::format_raw);
        EXPECT_EQ(tc.str(), c.tc);
    }
    // The body's paragraph is in Normal's format: it names Normal and has nothing else to say.
    EXPECT_NE(xml.find("</w:tbl><w:p><w:pPr><w:pStyle w:val=\"Normal\"/>"), std::string::npos);

    const std::unique_ptr<Document> back = OpenDocxBytes(DocxBytes(doc));
    EXPECT_EQ(back->body[0].table->At(2, 2).content, t.At(2, 2).content);
    EXPECT_EQ(back->body[0].table->At(3, 3).content, t.At(3, 3).content);
    EXPECT_EQ(DocxBytes(*back), DocxBytes(doc));
}

TEST(DocxWriter, StylesAndSettingsFollowTheDocument) {
    Document doc;
    Style& h2 = doc.GetStyle(StyleId::Heading2);
    h2.font = kFontSong;
    h2.size = 17;
    h2.bold = false;
    h2.paragraph.alignment = Alignment::Center;
    h2.paragraph.lineSpacingRule = LineSpacingRule::Single;
    h2.paragraph.spaceBefore = h2.paragraph.spaceAfter = 0;
    doc.embedTrueTypeFonts = true;
    doc.doNotEmbedSystemFonts = true;
    doc.body.front().paragraph.style = StyleId::Heading2;

    auto parts = Unzip(DocxBytes(doc));
    pugi::xml_document styles = ParseXml(parts.at("word/styles.xml"));
    pugi::xml_node s = styles.select_node("//w:style[@w:styleId='Heading2']").node();
    EXPECT_STREQ(s.child("w:name").attribute("w:val").value(), "heading 2");
    EXPECT_STREQ(s.child("w:rPr").child("w:rFonts").attribute("w:eastAsia").value(), kFontSong);
    EXPECT_STREQ(s.child("w:rPr").child("w:rFonts").attribute("w:ascii").value(), kFontSong);
    EXPECT_EQ(s.child("w:rPr").child("w:sz").attribute("w:val").as_int(), 34);
    EXPECT_STREQ(s.child("w:rPr").child("w:b").attribute("w:val").value(), "0");
    EXPECT_STREQ(s.child("w:pPr").child("w:jc").attribute("w:val").value(), "center");
    EXPECT_EQ(s.child("w:pPr").child("w:spacing").attribute("w:line").as_int(), 240);
    EXPECT_STREQ(s.child("w:pPr").child("w:spacing").attribute("w:lineRule").value(), "auto");
    EXPECT_NE(parts.at("word/document.xml").find("<w:pStyle w:val=\"Heading2\"/>"),
              std::string::npos);

    pugi::xml_document settings = ParseXml(parts.at("word/settings.xml"));
    pugi::xml_node root = settings.child("w:settings");
    EXPECT_TRUE(root.child("w:embedTrueTypeFonts"));
    EXPECT_FALSE(root.child("w:embedSystemFonts"));
    EXPECT_FALSE(root.child("w:compat").child("w:adjustLineHeightInTable"));

    doc.embedTrueTypeFonts = false;
    doc.doNotEmbedSystemFonts = false;
    // The parsed document must outlive the node taken from it.
    const pugi::xml_document plain = ParseXml(Unzip(DocxBytes(doc)).at("word/settings.xml"));
    root = plain.child("w:settings");
    EXPECT_FALSE(root.child("w:embedTrueTypeFonts"));
    EXPECT_TRUE(root.child("w:embedSystemFonts"));
}

namespace {

// The font as the format says to recover it: the key's 16 bytes, read from its hex digits
// and reversed, XOR-ed over the first 32 bytes.
std::string Deobfuscate(std::string part, const std::string& fontKey) {
    std::string hex;
    for (char c : fontKey)
        if (std::isxdigit(static_cast<unsigned char>(c))) hex += c;
    if (hex.size() != 32) throw std::runtime_error("bad key " + fontKey);
    unsigned char reversed[16];
    for (int i = 0; i < 16; ++i)
        reversed[15 - i] = static_cast<unsigned char>(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
    for (size_t i = 0; i < 32 && i < part.size(); ++i)
        part[i] = static_cast<char>(part[i] ^ reversed[i % 16]);
    return part;
}

Document DocumentWithBubbles() {
    Document doc;
    doc.embedTrueTypeFonts = true;
    Table& t = doc.AddTableAtStart(2, 2);
    t.At(1, 1).ApplyCharFormat({std::string(kFontSong), 10.5, std::nullopt});
    t.At(1, 1).InsertAfter("姓名");
    t.At(2, 2).ApplyCharFormat({std::string(kFontBubble), 12.0, std::nullopt});
    t.At(2, 2).InsertAfter("!");
    return doc;
}

}  // namespace

TEST(DocxWriter, BubbleFontTravelsObfuscatedWithItsKeyAndRelationship) {
    const std::string bytes = DocxBytes(DocumentWithBubbles());
    const auto parts = Unzip(bytes);
    ASSERT_TRUE(parts.count("word/fonts/font1.odttf"));
    ASSERT_TRUE(parts.count("word/_rels/fontTable.xml.rels"));

    pugi::xml_document table = ParseXml(parts.at("word/fontTable.xml"));
    pugi::xml_node fonts = table.child("w:fonts");
    EXPECT_STREQ(fonts.attribute("xmlns:r").value(),
                 "http://schemas.openxmlformats.org/officeDocument/2006/relationships");
    pugi::xml_node bubble = fonts.find_child_by_attribute("w:font", "w:name", kFontBubble);
    ASSERT_TRUE(bubble);
    // The schema puts the embedding after every descriptive child.
    pugi::xml_node embed = bubble.last_child();
    ASSERT_STREQ(embed.name(), "w:embedRegular");
    const std::string key = embed.attribute("w:fontKey").value();
    EXPECT_TRUE(std::regex_match(
        key, std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\})")))
        << key;
    // System fonts stay out of the package.
    EXPECT_EQ(table.select_nodes("//w:embedRegular").size(), 1u);
    EXPECT_TRUE(fonts.find_child_by_attribute("w:font", "w:name", kFontSong));

    pugi::xml_document rels = ParseXml(parts.at("word/_rels/fontTable.xml.rels"));
    pugi::xml_node rel =
        rels.child("Relationships")
            .find_child_by_attribute("Relationship", "Id", embed.attribute("r:id").value());
    ASSERT_TRUE(rel);
    EXPECT_STREQ(rel.attribute("Type").value(),
                 "http://schemas.openxmlformats.org/officeDocument/2006/relationships/font");
    EXPECT_STREQ(rel.attribute("Target").value(), "fonts/font1.odttf");

    pugi::xml_document types = ParseXml(parts.at("[Content_Types].xml"));
    EXPECT_STREQ(types.child("Types")
                     .find_child_by_attribute("Default", "Extension", "odttf")
                     .attribute("ContentType")
                     .value(),
                 "application/vnd.openxmlformats-officedocument.obfuscatedFont");

    const std::string& part = parts.at("word/fonts/font1.odttf");
    EXPECT_NE(part.substr(0, 32), BlockHxFontBytes().substr(0, 32));
    EXPECT_TRUE(Deobfuscate(part, key) == BlockHxFontBytes());

    // Equal documents, equal files: the key does not change from one save to the next.
    EXPECT_EQ(DocxBytes(DocumentWithBubbles()), bytes);
}

TEST(DocxWriter, FontIsEmbeddedOnlyWhenAskedForAndUsed) {
    struct Case {
        const char* what;
        bool embed;
        std::optional<std::string> styleFont, cellFont;
        bool expected;
    };
    const Case cases[] = {
        {"asked for, bubble in a cell", true, std::nullopt, kFontBubble, true},
        {"asked for, bubble as a style's font", true, kFontBubble, std::nullopt, true},
        {"asked for, system fonts only", true, std::nullopt, kFontSong, false},
        {"not asked for", false, std::nullopt, kFontBubble, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Document doc;
        doc.embedTrueTypeFonts = c.embed;
        if (c.styleFont) doc.GetStyle(StyleId::Heading1).font = *c.styleFont;
        Table& outer = doc.AddTableAtStart(1, 1);
        // Deep in a nested table, behind a run in another font.
        auto inner = std::make_unique<Table>(2, 2, TableBehavior::Word9);
        inner->At(2, 2).InsertAfter("x");
        if (c.cellFont) inner->At(2, 2).ApplyCharFormat({*c.cellFont, 12.0, std::nullopt});
        outer.At(1, 1).content.insert(outer.At(1, 1).content.begin(), Block{std::move(inner)});

        const auto parts = Unzip(DocxBytes(doc));
        EXPECT_EQ(parts.count("word/fonts/font1.odttf"), c.expected ? 1u : 0u);
        EXPECT_EQ(parts.count("word/_rels/fontTable.xml.rels"), c.expected ? 1u : 0u);
        EXPECT_EQ(parts.at("[Content_Types].xml").find("odttf") != std::string::npos, c.expected);
        EXPECT_EQ(parts.at("word/fontTable.xml").find("embedRegular") != std::string::npos,
                  c.expected);
    }
}

TEST(DocxWriter, EmbeddingGrowsTheSheetByLessThanTheFont) {
    varelo::fixture::DialogSheet made("A3三栏");
    Document* sheet = made.doc;
    ASSERT_NE(sheet, nullptr);
    ASSERT_TRUE(sheet->embedTrueTypeFonts);
    const size_t with = DocxBytes(*sheet).size();
    sheet->embedTrueTypeFonts = false;
    const size_t without = DocxBytes(*sheet).size();
    EXPECT_GT(with, without);
    EXPECT_LE(with - without, BlockHxFontBytes().size() + 300);
}
