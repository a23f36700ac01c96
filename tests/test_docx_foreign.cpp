// Documents other programs wrote: read through the markup's defaults and inheritance, what the
// surface cannot keep listed (and the document read-only), other parts carried through a save.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "docx/reader.h"
#include "docx/sliver_columns.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"
#include "docx_test_util.h"

using namespace varelo::host;

namespace {

std::string Package(const std::map<std::string, std::string>& parts) {
    docx::ZipWriter zip(1);
    for (const auto& [name, data] : parts) zip.Add(name, data);
    return zip.Finish();
}

std::string Body(const std::string& inner, const std::string& section = "") {
    return std::string("<w:document xmlns:w=\"") + docx::kNsW + "\" xmlns:r=\"" + docx::kNsR +
           "\"><w:body>" + inner + "<w:sectPr>" + section +
           "<w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";
}

constexpr const char* kRels =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

// Styles as an office program writes them: defaults, a chain of paragraph styles under ids
// of its own choosing, a character style and a table style with borders and margins.
const std::string kStyles =
    std::string("<w:styles xmlns:w=\"") + docx::kNsW +
    "\"><w:docDefaults><w:rPrDefault><w:rPr><w:rFonts w:ascii=\"Arial\" w:eastAsia=\"宋体\"/>"
    "<w:sz w:val=\"22\"/></w:rPr></w:rPrDefault><w:pPrDefault><w:pPr><w:spacing "
    "w:after=\"160\" w:line=\"259\" w:lineRule=\"auto\"/></w:pPr></w:pPrDefault></w:docDefaults>"
    "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"a\"><w:name w:val=\"Normal\"/>"
    "<w:pPr><w:jc w:val=\"both\"/></w:pPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"1\"><w:name w:val=\"heading 1\"/>"
    "<w:basedOn w:val=\"a\"/><w:rPr><w:b/><w:sz w:val=\"44\"/></w:rPr></w:style>"
    "<w:style w:type=\"paragraph\" w:styleId=\"Quote\"><w:name w:val=\"Quote\"/>"
    "<w:basedOn w:val=\"1\"/><w:pPr><w:jc w:val=\"center\"/></w:pPr>"
    "<w:rPr><w:b w:val=\"0\"/><w:rFonts w:eastAsia=\"黑体\"/></w:rPr></w:style>"
    "<w:style w:type=\"character\" w:styleId=\"Strong\"><w:name w:val=\"Strong\"/>"
    "<w:rPr><w:b/></w:rPr></w:style>"
    "<w:style w:type=\"table\" w:default=\"1\" w:styleId=\"TableNormal\"><w:name "
    "w:val=\"Normal Table\"/><w:tblPr><w:tblCellMar><w:left w:w=\"108\" w:type=\"dxa\"/>"
    "<w:right w:w=\"108\" w:type=\"dxa\"/></w:tblCellMar></w:tblPr></w:style>"
    "<w:style w:type=\"table\" w:styleId=\"Grid\"><w:name w:val=\"Table Grid\"/>"
    "<w:basedOn w:val=\"TableNormal\"/><w:tblPr><w:tblBorders>"
    "<w:top w:val=\"single\" w:sz=\"4\" w:color=\"auto\"/><w:start w:val=\"single\" w:sz=\"4\"/>"
    "<w:bottom w:val=\"single\" w:sz=\"4\"/><w:end w:val=\"single\" w:sz=\"4\"/>"
    "<w:insideH w:val=\"single\" w:sz=\"4\"/><w:insideV w:val=\"single\" w:sz=\"4\"/>"
    "</w:tblBorders></w:tblPr></w:style></w:styles>";

std::unique_ptr<Document> OpenBody(const std::string& inner, const std::string& section = "") {
    return OpenDocxBytes(
        Package({{"_rels/.rels", std::string(kRels) + "<Relationship Id=\"x\" Type=\"" +
                                     docx::kRelOfficeDocument +
                                     "\" Target=\"/doc/main.xml\"/></Relationships>"},
                 {"doc/main.xml", Body(inner, section)},
                 {"doc/_rels/main.xml.rels", std::string(kRels) + "<Relationship Id=\"s\" Type=\"" +
                                                 docx::kRelStyles +
                                                 "\" Target=\"look.xml\"/></Relationships>"},
                 {"doc/look.xml", kStyles}}));
}

}  // namespace

TEST(DocxForeign, FormattingComesFromDefaultsAndStylesThroughTheirRelationships) {
    const std::unique_ptr<Document> doc = OpenBody(
        "<w:p><w:r><w:t>plain</w:t></w:r></w:p>"
        "<w:p><w:pPr><w:pStyle w:val=\"1\"/></w:pPr><w:r><w:t>head</w:t></w:r></w:p>"
        "<w:p><w:pPr><w:pStyle w:val=\"Quote\"/><w:jc w:val=\"end\"/></w:pPr>"
        "<w:r><w:rPr><w:rStyle w:val=\"Strong\"/></w:rPr><w:t>q</w:t></w:r></w:p>"
        "<w:tbl><w:tblPr><w:tblStyle w:val=\"Grid\"/><w:tblW w:w=\"0\" w:type=\"auto\"/></w:tblPr>"
        "<w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid>"
        "<w:tr><w:tc><w:tcPr><w:tcBorders><w:end "
        "w:val=\"nil\"/></w:tcBorders></w:tcPr><w:p/></w:tc>"
        "<w:tc><w:p/></w:tc></w:tr><w:tr><w:trPr><w:gridBefore w:val=\"1\"/></w:trPr>"
        "<w:tc><w:p><w:r><w:t>b</w:t></w:r></w:p></w:tc></w:tr></w:tbl><w:p/>");
    ASSERT_TRUE(doc->unmodelled.empty()) << doc->unmodelled.front();

    const Style& normal = doc->GetStyle(StyleId::Normal);
    EXPECT_EQ(normal.font, "宋体");  // the East Asian face is the one the surface keeps
    EXPECT_EQ(normal.size, 11);
    EXPECT_EQ(normal.paragraph.alignment, Alignment::Justify);
    EXPECT_EQ(normal.paragraph.spaceAfter, 8);
    EXPECT_EQ(normal.paragraph.lineSpacingRule, LineSpacingRule::Multiple);
    const Style& h1 = doc->GetStyle(StyleId::Heading1);
    EXPECT_TRUE(h1.bold);
    EXPECT_EQ(h1.size, 22);
    EXPECT_EQ(h1.paragraph.spaceAfter, 8);  // inherited through Normal from the defaults

    const Content& body = doc->body;
    ASSERT_EQ(body.size(), 5u);
    EXPECT_EQ(body[0].paragraph.style, StyleId::Normal);
    EXPECT_EQ(body[1].paragraph.style, StyleId::Heading1);
    // A style the surface does not have becomes direct formatting over Normal.
    const Paragraph& quote = body[2].paragraph;
    EXPECT_EQ(quote.style, StyleId::Normal);
    EXPECT_EQ(quote.format.alignment, Alignment::Right);
    EXPECT_EQ(quote.runs[0].format, (CharFormat{std::string("黑体"), 22.0, true}));
    EXPECT_EQ(quote.markFormat, (CharFormat{std::string("黑体"), 22.0, false}));

    const Table& t = *body[3].table;
    EXPECT_EQ(t.leftPadding, 5.4);  // the default table style's margins
    EXPECT_TRUE(t.HorizontalEdge(1, 1).Visible());
    EXPECT_TRUE(t.HorizontalEdge(2, 2).Visible());  // insideH
    EXPECT_FALSE(t.VerticalEdge(1, 2).Visible());   // the cell's "nil" wins over insideV
    EXPECT_TRUE(t.VerticalEdge(2, 2).Visible());
    EXPECT_EQ(t.At(2, 2).Text(), "b");  // after the slot the row skips
    EXPECT_TRUE(t.At(2, 1).Empty());

    // What was opened saves, and the saved file reopens to the same file.
    const std::string saved = DocxBytes(*doc);
    EXPECT_EQ(DocxBytes(*OpenDocxBytes(saved)), saved);
}

TEST(DocxForeign, WhatTheSurfaceCannotKeepIsListedAndBlocksSaving) {
    const struct {
        std::string body, section;
        std::vector<std::string> lost;
    } cases[] = {
        {"<w:p><w:r><w:drawing/></w:r><w:hyperlink><w:r><w:t>x</w:t></w:r></w:hyperlink></w:p>",
         "",
         {"pictures or text boxes", "hyperlinks"}},
        {"<w:p><w:pPr><w:numPr/></w:pPr><w:r><w:fldChar/><w:t>1</w:t></w:r></w:p>"
         "<w:p><w:ins><w:r><w:t>new</w:t></w:r></w:ins><w:commentRangeStart/></w:p>",
         "<w:headerReference r:id=\"h\"/>",
         {"list numbering", "fields", "tracked changes", "comments", "headers and footers"}},
        {"<w:sdt/><w:p><w:r><w:rPr><w:i/></w:rPr><w:t>x</w:t><w:br w:type=\"page\"/></w:r></w:p>",
         "",
         {"content controls", "italic, underlined, struck-through, hidden or coloured text",
          "page and column breaks"}},
        // Markers that hold nothing are no loss.
        {"<w:bookmarkStart/><w:p><w:proofErr/><w:r><w:lastRenderedPageBreak/><w:t>x</w:t></w:r>"
         "<w:bookmarkEnd/></w:p>",
         "",
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        const std::unique_ptr<Document> doc = OpenBody(c.body, c.section);
        EXPECT_EQ(doc->unmodelled, c.lost);
        EXPECT_EQ(doc->ReadOnly(), !c.lost.empty());
    }
    const std::unique_ptr<Document> doc = OpenBody("<w:p><w:r><w:drawing/></w:r></w:p>");
    EXPECT_EQ(UnmodelledMessage(*doc),
              "The document holds what Varelo cannot keep (pictures or text boxes); it is "
              "read-only, as saving would lose it.");
    try {
        SaveDocx(*doc, "/nonexistent/never-written.docx");
        ADD_FAILURE() << "saved";
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find(UnmodelledMessage(*doc)), std::string::npos);
    }
}

TEST(DocxForeign, PartsOutsideTheSurfaceAreCarriedThroughASave) {
    const std::string core =
        "<cp:coreProperties xmlns:cp=\"urn:core\"><t>卷</t></cp:coreProperties>";
    const std::string theme = "<a:theme xmlns:a=\"urn:theme\"/>";
    const std::string bytes = Package(
        {{"[Content_Types].xml",
          "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
          "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
          "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/core+xml\"/>"
          "</Types>"},
         {"_rels/.rels", std::string(kRels) + "<Relationship Id=\"rId1\" Type=\"" +
                             docx::kRelOfficeDocument +
                             "\" Target=\"word/document.xml\"/><Relationship Id=\"rId2\" "
                             "Type=\"urn:core-rel\" Target=\"docProps/core.xml\"/>"
                             "</Relationships>"},
         {"word/_rels/document.xml.rels",
          std::string(kRels) +
              "<Relationship Id=\"rId9\" Type=\"urn:theme-rel\" Target=\"theme/theme1.xml\"/>"
              "</Relationships>"},
         {"word/document.xml", Body("<w:p/>")},
         {"docProps/core.xml", core},
         {"word/theme/theme1.xml", theme}});
    const std::unique_ptr<Document> doc = OpenDocxBytes(bytes);
    EXPECT_FALSE(doc->ReadOnly());
    ASSERT_EQ(doc->carriedParts.size(), 2u);

    const std::string saved = DocxBytes(*doc);
    const auto parts = varelo::testing::Unzip(saved);
    EXPECT_EQ(parts.at("docProps/core.xml"), core);
    EXPECT_EQ(parts.at("word/theme/theme1.xml"), theme);
    EXPECT_NE(parts.at("[Content_Types].xml")
                  .find("<Override PartName=\"/docProps/core.xml\" "
                        "ContentType=\"application/core+xml\"/>"),
              std::string::npos);
    EXPECT_NE(parts.at("_rels/.rels").find("Type=\"urn:core-rel\" Target=\"/docProps/core.xml\""),
              std::string::npos);
    EXPECT_TRUE(*OpenDocxBytes(saved) == *doc);
}

namespace {

// A table of the given grid widths (twips) whose rows hold cells of the given grid spans,
// each cell's text its row and position ("1a", "1b", ...).
std::string GridTable(const std::vector<int>& grid, const std::vector<std::vector<int>>& rows,
                      const std::string& tblPr = "") {
    std::string xml = "<w:tbl><w:tblPr>" + tblPr + "</w:tblPr><w:tblGrid>";
    for (const int w : grid) xml += "<w:gridCol w:w=\"" + std::to_string(w) + "\"/>";
    xml += "</w:tblGrid>";
    for (size_t r = 0; r < rows.size(); ++r) {
        xml += "<w:tr>";
        for (size_t c = 0; c < rows[r].size(); ++c)
            xml += "<w:tc><w:tcPr><w:gridSpan w:val=\"" + std::to_string(rows[r][c]) +
                   "\"/></w:tcPr><w:p><w:r><w:t>" + std::to_string(r + 1) +
                   static_cast<char>('a' + c) + "</w:t></w:r></w:p></w:tc>";
        xml += "</w:tr>";
    }
    return xml + "</w:tbl><w:p/>";
}

}  // namespace

TEST(DocxForeign, RoundingSliversInAGridFoldIntoTheirNeighbours) {
    // 36 columns of 300 twips split by 35 slivers, the cells' edges on either side of them.
    std::vector<int> split(1, 300), left(35, 2), right(1, 1);
    for (int c = 0; c < 35; ++c) split.insert(split.end(), {c % 3, 300});
    left.push_back(1);
    right.insert(right.end(), 35, 2);
    std::vector<int> wide(64, 300), wideSelf(62, 300);
    wideSelf.insert(wideSelf.begin() + 10, 2);
    wideSelf.insert(wideSelf.begin() + 20, 2);
    const struct {
        std::string what, table;
        int columns;                             // 0: refused
        std::vector<std::pair<int, int>> cells;  // where "1b", "2a", "2b" end up
    } cases[] = {
        {"a sliver between two cells",
         GridTable({2000, 2, 2000}, {{2, 1}, {1, 2}}),
         2,
         {{1, 2}, {2, 1}, {2, 2}}},
        {"more slivers than the table holds columns",
         GridTable(split, {left, right}),
         36,
         {{1, 2}, {2, 1}, {2, 2}}},
        {"a sliver that is a cell of its own stays",
         GridTable({2000, 0, 2000}, {{1, 1, 1}}),
         3,
         {{1, 2}}},
        {"64 columns", GridTable(wide, {std::vector<int>(64, 1)}), 0, {}},
        {"64 columns, two slivers cells of their own",
         GridTable(wideSelf, {std::vector<int>(64, 1)}),
         0,
         {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.columns == 0) {
            EXPECT_THROW(
                try { OpenBody(c.table); } catch (const OpenError& e) {
                    EXPECT_NE(std::string(e.what()).find("more than 63 columns"),
                              std::string::npos);
                    throw;
                },
                OpenError);
            continue;
        }
        const std::unique_ptr<Document> doc = OpenBody(c.table);
        const Table& t = *doc->body[0].table;
        EXPECT_EQ(t.Columns(), c.columns);
        EXPECT_EQ(t.At(1, 1).Text(), "1a");
        const char* names[] = {"1b", "2a", "2b"};
        for (size_t i = 0; i < c.cells.size(); ++i)
            EXPECT_EQ(t.At(c.cells[i].first, c.cells[i].second).Text(), names[i]);
        const std::string saved = DocxBytes(*doc);
        EXPECT_EQ(DocxBytes(*OpenDocxBytes(saved)), saved);
    }
}

// The reader takes a grid in which HasSliverColumn finds nothing as it stands, without
// looking at its cells: folding must leave every such grid alone.
TEST(DocxForeign, AGridWithoutASliverIsOneFoldingLeavesAlone) {
    const std::optional<long> unknown;
    const struct {
        std::vector<std::optional<long>> widths;
        bool sliver, folds;
    } cases[] = {
        {{300, 300, 300}, false, false},
        {{300, 2, 300}, true, true},
        {{0, 300}, true, true},
        {{300, 4}, true, true},
        {{5, 300}, false, false},
        {{300, unknown, 2, 300}, false, false},
        {{2}, true, false},  // a grid of one column keeps both its edges
    };
    for (const auto& c : cases) {
        const int n = static_cast<int>(c.widths.size());
        std::vector<int> identity(c.widths.size() + 1);
        std::iota(identity.begin(), identity.end(), 0);
        EXPECT_EQ(docx::HasSliverColumn(c.widths), c.sliver) << n;
        EXPECT_EQ(docx::FoldSliverColumns(c.widths, {{0, n}}) != identity, c.folds) << n;
    }
}

TEST(DocxForeign, AFixedTableOfStatedShareFillsItWhenItsColumnsNearlyDo) {
    // Half the text width, stated; the columns fall short of it by 0.2 % and then by 5 %.
    const auto columns = [](double share) {
        const std::unique_ptr<Document> page = OpenBody("<w:p/>");
        const long half = std::lround(page->pageSetup.TextWidth() * 20 / 2 * share);
        return OpenBody(
            "<w:tbl><w:tblPr><w:tblW w:w=\"2500\" w:type=\"pct\"/><w:tblLayout "
            "w:type=\"fixed\"/></w:tblPr><w:tblGrid><w:gridCol/><w:gridCol/>"
            "</w:tblGrid><w:tr><w:tc><w:tcPr><w:tcW w:w=\"" +
            std::to_string(half / 4) +
            "\" w:type=\"dxa\"/></w:tcPr><w:p/></w:tc>"
            "<w:tc><w:tcPr><w:tcW w:w=\"" +
            std::to_string(half - half / 4) +
            "\" w:type=\"dxa\"/></w:tcPr><w:p/></w:tc></w:tr></w:tbl><w:p/>");
    };
    for (const auto& [share, fills] : {std::pair{0.998, true}, std::pair{0.95, false}}) {
        const std::unique_ptr<Document> doc = columns(share);
        const Table& t = *doc->body[0].table;
        const double sum = t.ColumnWidth(1).value + t.ColumnWidth(2).value;
        EXPECT_EQ(std::abs(sum - doc->pageSetup.TextWidth() / 2) < 1e-9, fills) << share;
        EXPECT_NEAR(t.ColumnWidth(2).value / t.ColumnWidth(1).value, 3, 0.01);
    }
}
