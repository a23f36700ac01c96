// Reading back sheets that Varelo wrote, and refusing what is damaged or absurd.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "base/units.h"
#include "dialog_sheet.h"
#include "doc/application.h"
#include "doc/border_pass.h"
#include "docx/parts.h"
#include "docx/read_body.h"
#include "docx/reader.h"
#include "docx/style_sheet.h"
#include "docx/writer.h"
#include "docx/xml.h"
#include "docx/zip.h"
#include "docx_test_util.h"

namespace fs = std::filesystem;
using namespace varelo::host;

namespace {

// A document that uses everything the writer knows: page setup, styles, flags, merges,
// borders, diagonals, a nested table, row rules, column widths, paddings, runs and marks.
Document RichDocument() {
    Application app;
    Document doc;
    PageSetup& ps = doc.pageSetup;
    ps.orientation = Orientation::Landscape;
    ps.pageWidth = CentimetersToPoints(42);
    ps.pageHeight = CentimetersToPoints(29.7);
    ps.topMargin = ps.bottomMargin = ps.leftMargin = ps.rightMargin = CentimetersToPoints(1);
    ps.headerDistance = ps.footerDistance = 0;
    ps.paperSize = kPaperCustom;
    ps.layoutMode = kLayoutModeLineGrid;
    ps.linesPage = 48;
    doc.embedTrueTypeFonts = true;
    Style& h2 = doc.GetStyle(StyleId::Heading2);
    h2.font = kFontSong;
    h2.size = 17;
    h2.bold = false;
    h2.paragraph.alignment = Alignment::Center;
    h2.paragraph.lineSpacingRule = LineSpacingRule::Single;
    h2.paragraph.lineSpacing = 12;

    Table& t = doc.AddTableAtStart(12, 9);
    t.preferredWidth = {PreferredWidthType::Percent, 98};
    t.ColumnWidth(1) = {PreferredWidthType::Percent, 2};
    t.ColumnWidth(2) = {PreferredWidthType::Percent, 1.2};
    t.ColumnWidth(9) = {PreferredWidthType::Points, 30};
    t.rowAlignment = RowAlignment::Center;
    t.leftPadding = t.rightPadding = 0;
    t.SetAllRows(RowHeightRule::Exactly, CentimetersToPoints(0.42324));
    t.Row(11) = {20, RowHeightRule::AtLeast};
    t.Row(12) = {};
    t.Merge({1, 2, 12, 2});
    t.Merge({2, 3, 4, 6});
    Cell& title = t.At(2, 3);
    title.InsertAfter("中考试卷 <&>");
    title.InsertParagraphAfter();
    title.InsertAfter("英语（答题卡）");
    for (Block& b : title.content) ApplyStyle(doc, b.paragraph, StyleId::Heading2);
    title.content[1].paragraph.ApplyCharFormat({std::string(kFontHei), 20.0, std::nullopt});
    title.verticalAlignment = CellVAlign::Center;
    BorderPass(app, t, {6, 3, 8, 8}, BorderSet::All());
    t.At(9, 9).diagonalUp = kSolidBorder;
    Cell& notes = t.At(6, 4);
    notes.SetAlignment(Alignment::Left);
    notes.ApplyCharFormat({std::nullopt, 7.5, true});
    notes.InsertAfter("1.答题前\r\n2.选择题\tA");
    t.At(7, 7).ApplyCharFormat({std::string(kFontBubble), 12.0, std::nullopt});
    t.At(7, 7).verticalAlignment = CellVAlign::Bottom;

    // A composition grid nested in a merged cell, followed by its paragraph.
    t.Merge({9, 3, 12, 8});
    auto grid = std::make_unique<Table>(5, 4, TableBehavior::Word9);
    grid->preferredWidth = {PreferredWidthType::Points, CentimetersToPoints(3.2)};
    grid->SetAllRows(RowHeightRule::Exactly, CentimetersToPoints(0.8));
    grid->Merge({2, 1, 3, 2});
    t.At(9, 3).content.insert(t.At(9, 3).content.begin(), Block{std::move(grid)});
    return doc;
}

// The message of the OpenError that opening the bytes raises.
std::string Refusal(const std::string& bytes) {
    try {
        OpenDocxBytes(bytes);
    } catch (const OpenError& e) {
        return e.what();
    }
    return "(opened)";
}

std::string Package(const std::map<std::string, std::string>& parts) {
    docx::ZipWriter zip(1);
    for (const auto& [name, data] : parts) zip.Add(name, data);
    return zip.Finish();
}

std::string Body(const std::string& inner) {
    return std::string("<w:document xmlns:w=\"") + docx::kNsW + "\"><w:body>" + inner +
           "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr></w:body></w:document>";
}

}  // namespace

TEST(DocxReader, RichDocumentReadsBackToTheSameFile) {
    const Document doc = RichDocument();
    const std::string bytes = DocxBytes(doc);
    const std::unique_ptr<Document> back = OpenDocxBytes(bytes);
    EXPECT_EQ(DocxBytes(*back), bytes);

    // And the model holds what the file says, not only what it writes again.
    EXPECT_EQ(back->GetStyle(StyleId::Heading2), doc.GetStyle(StyleId::Heading2));
    EXPECT_TRUE(back->embedTrueTypeFonts);
    EXPECT_TRUE(back->doNotEmbedSystemFonts);
    EXPECT_EQ(back->pageSetup.linesPage, 48);
    EXPECT_EQ(back->pageSetup.orientation, Orientation::Landscape);
    EXPECT_NEAR(back->pageSetup.pageWidth, doc.pageSetup.pageWidth, 0.05);
    const Table& t = back->Tables(1);
    EXPECT_EQ(t.CellArea(12, 2), (CellRect{1, 2, 12, 2}));
    EXPECT_EQ(t.CellArea(4, 6), (CellRect{2, 3, 4, 6}));
    EXPECT_EQ(t.At(2, 3).Text(), "中考试卷 <&>\r英语（答题卡）");
    EXPECT_EQ(t.At(2, 3).content[1].paragraph.runs[0].format.font, kFontHei);
    EXPECT_EQ(t.At(2, 3).verticalAlignment, CellVAlign::Center);
    EXPECT_EQ(t.At(6, 4).Text(), "1.答题前\r\n2.选择题\tA");
    EXPECT_EQ(t.At(7, 7).content.front().paragraph.markFormat.font, kFontBubble);
    EXPECT_EQ(t.ColumnWidth(2), (PreferredWidth{PreferredWidthType::Percent, 1.2}));
    EXPECT_EQ(t.ColumnWidth(9), (PreferredWidth{PreferredWidthType::Points, 30}));
    EXPECT_EQ(t.ColumnWidth(5).type, PreferredWidthType::Auto);
    EXPECT_EQ(t.Row(1).heightRule, RowHeightRule::Exactly);
    EXPECT_EQ(t.Row(11), (RowFormat{20, RowHeightRule::AtLeast}));
    EXPECT_TRUE(t.HorizontalEdge(6, 5).Visible());
    EXPECT_TRUE(t.VerticalEdge(7, 6).Visible());
    EXPECT_FALSE(t.HorizontalEdge(5, 2).Visible());
    EXPECT_TRUE(t.At(9, 9).diagonalUp.Visible());
    ASSERT_TRUE(t.At(9, 3).content.front().IsTable());
    const Table& grid = *t.At(9, 3).content.front().table;
    EXPECT_EQ(grid.CellArea(3, 2), (CellRect{2, 1, 3, 2}));
    EXPECT_TRUE(grid.HorizontalEdge(4, 3).Visible());
    EXPECT_FALSE(t.At(9, 3).content.back().IsTable());
}

// What the writer will write for a story, counted over the model.
void Count(const Content& content, docx::BodyExtent& e) {
    for (const Block& b : content) {
        if (!b.IsTable()) {
            ++e.paragraphs;
            e.runs += static_cast<long>(b.paragraph.runs.size());
            for (const Run& r : b.paragraph.runs) e.text += r.text.size();
            continue;
        }
        const Table& t = *b.table;
        e.cells += static_cast<long>(t.Rows()) * t.Columns();
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c)
                if (t.IsAnchor(r, c)) Count(t.At(r, c).content, e);
    }
}

// Whether a file opens small enough to save is settled from what the reader counted as it
// built the body, so the count must be that of the body it built.
TEST(DocxReader, CountsWhatTheBodyHoldsAsItReadsIt) {
    const std::string cols = "<w:gridCol w:w=\"400\"/><w:gridCol w:w=\"400\"/>";
    const std::string nested = "<w:tbl><w:tblGrid>" + cols +
                               "</w:tblGrid><w:tr><w:tc><w:p><w:r><w:t>n</w:t></w:r></w:p></w:tc>"
                               "</w:tr></w:tbl>";
    // A skipped slot, a short row, a merge whose continuation holds text that is not kept, an
    // empty run, a cell with no paragraph, a nested table and no paragraph after it.
    const std::string body =
        Body("<w:tbl><w:tblGrid>" + cols + cols +
             "</w:tblGrid><w:tr><w:trPr><w:gridBefore w:val=\"1\"/></w:trPr><w:tc><w:tcPr>"
             "<w:vMerge w:val=\"restart\"/></w:tcPr><w:p><w:r><w:t>a</w:t></w:r><w:r><w:t></w:t>"
             "</w:r></w:p></w:tc><w:tc><w:tcPr><w:gridSpan w:val=\"2\"/></w:tcPr></w:tc></w:tr>"
             "<w:tr><w:tc><w:p/></w:tc><w:tc><w:tcPr><w:vMerge/></w:tcPr><w:p><w:r><w:t>lost</w:t>"
             "</w:r></w:p></w:tc></w:tr><w:tr><w:tc>" +
             nested + "</w:tc></w:tr></w:tbl>");
    for (const std::string& part :
         {body, varelo::testing::Unzip(DocxBytes(RichDocument())).at("word/document.xml")}) {
        pugi::xml_document xml;
        ASSERT_TRUE(xml.load_string(part.c_str()));
        Document doc;
        const docx::BodyExtent read =
            docx::ReadDocumentXml(xml.child("w:document"), docx::StyleSheet(), doc);
        docx::BodyExtent built;
        Count(doc.body, built);
        EXPECT_EQ(read.cells, built.cells);
        EXPECT_EQ(read.paragraphs, built.paragraphs);
        EXPECT_EQ(read.runs, built.runs);
        EXPECT_EQ(read.text, built.text);
    }
}

TEST(DocxReader, ElementNamesAreComparedExactly) {
    EXPECT_TRUE(docx::Named("w:p", "w:p"));
    for (const char* other : {"", "w", "w:", "p", "wp", "W:p", "x:p", "w:pPr", "w:p2", "w:p "})
        EXPECT_FALSE(docx::Named(other, "w:p")) << other;
}

// The embedded font is the writer's to make: the reader neither needs nor trusts the part,
// and the next save carries the font again.
TEST(DocxReader, EmbeddedFontPartIsNeitherNeededNorTrusted) {
    const std::string bytes = DocxBytes(RichDocument());
    std::map<std::string, std::string> parts = varelo::testing::Unzip(bytes);
    ASSERT_TRUE(parts.count("word/fonts/font1.odttf"));

    std::map<std::string, std::string> garbled = parts, stripped = parts;
    garbled["word/fonts/font1.odttf"] = std::string(64, '\x5a');
    stripped.erase("word/fonts/font1.odttf");
    stripped.erase("word/_rels/fontTable.xml.rels");
    for (const auto& variant : {garbled, stripped}) {
        const std::unique_ptr<Document> back = OpenDocxBytes(Package(variant));
        EXPECT_EQ(DocxBytes(*back), bytes);
    }
}

TEST(DocxReader, EverySheetLayoutReadsBackToTheSameDocumentPart) {
    for (const char* layout : {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"}) {
        SCOPED_TRACE(layout);
        const varelo::fixture::DialogSheet sheet(layout);
        ASSERT_NE(sheet.doc, nullptr);
        const std::string bytes = DocxBytes(*sheet.doc);
        EXPECT_EQ(DocxBytes(*OpenDocxBytes(bytes)), bytes);
    }
}

TEST(DocxReader, OpensFromAFileAndNamesTheDocumentAfterIt) {
    const fs::path dir = fs::temp_directory_path() / ("varelo-open-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const fs::path path = dir / "卷.docx";
    SaveDocx(RichDocument(), path);
    const std::unique_ptr<Document> doc = OpenDocx(path);
    EXPECT_EQ(doc->path, path.string());
    EXPECT_EQ(doc->name, "卷.docx");
    EXPECT_TRUE(doc->saved);
    EXPECT_THROW(OpenDocx((dir / "missing.docx").string()), OpenError);
    EXPECT_THROW(OpenDocx(dir.string()), OpenError);
    fs::remove_all(dir);
}

TEST(DocxReader, RefusesWhatIsDamaged) {
    const std::string good = DocxBytes(RichDocument());
    const std::string document = varelo::testing::Unzip(good).at("word/document.xml");
    // The name in the document part's local header (small parts are stored, so the name
    // also appears as text in the relationships before it).
    const size_t local = good.find(std::string("\0\0word/document.xml", 19)) + 2;
    std::string flipped = good;
    // A byte inside the deflated document part, just past its local header.
    flipped[local + 17 + 40] ^= 0x55;
    std::string grid64;
    for (int i = 0; i < 64; ++i) grid64 += "<w:gridCol/>";
    // The document part's declared size, 22 bytes into its local header and 24 into its entry
    // in the directory, grown: in both the sizes lie, in the directory alone they disagree.
    const auto grown = [&](bool inLocalHeader) {
        std::string bytes = good;
        const size_t entry = bytes.rfind("word/document.xml");
        for (const size_t at :
             {inLocalHeader ? local - 30 + 22 : std::string::npos, entry - 46 + 24})
            if (at != std::string::npos) bytes[at + 1] = static_cast<char>(bytes[at + 1] + 1);
        return bytes;
    };
    docx::ZipWriter twice(1);
    twice.Add("word/document.xml", document);
    twice.Add("word/document.xml", document);

    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"empty", "", "not a .docx"},
        {"random bytes", std::string(4096, '\x9c'), "not a .docx"},
        {"truncated zip", good.substr(0, good.size() / 2), "not a .docx"},
        {"corrupted part", flipped, "damaged"},
        {"sizes that lie", grown(true), "shorter than the"},
        {"a directory that disagrees", grown(false), "directory does not match its entries"},
        {"two entries of one name", twice.Finish(),
         "two entries of its package have the same name"},
        {"no document part", Package({{"word/styles.xml", "<w:styles/>"}}), "no word/document.xml"},
        {"damaged XML", Package({{"word/document.xml", document.substr(0, 5000)}}),
         "not well-formed"},
        {"table wider than 63 columns",
         Package({{"word/document.xml",
                   Body("<w:tbl><w:tblGrid>" + grid64 +
                        "</w:tblGrid><w:tr><w:tc><w:p/></w:tc></w:tr></w:tbl><w:p/>")}}),
         "more than 63 columns"},
        {"row wider than its grid",
         Package({{"word/document.xml",
                   Body("<w:tbl><w:tblGrid><w:gridCol/></w:tblGrid><w:tr><w:tc><w:tcPr>"
                        "<w:gridSpan w:val=\"2\"/></w:tcPr><w:p/></w:tc></w:tr></w:tbl><w:p/>")}}),
         "wider than its table"},
        {"no page size",
         Package({{"word/document.xml", std::string("<w:document xmlns:w=\"") + docx::kNsW +
                                            "\"><w:body><w:p/><w:sectPr/></w:body></w:document>"}}),
         "page size"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(Refusal(c.bytes).find(c.reason), std::string::npos) << Refusal(c.bytes);
    }
    // Which program wrote a file is no reason to refuse it.
    for (const std::string& app : {std::string("<Properties><Application>Microsoft Office "
                                               "Word</Application></Properties>"),
                                   std::string()}) {
        std::map<std::string, std::string> parts = {{"word/document.xml", document}};
        if (!app.empty()) parts["docProps/app.xml"] = app;
        EXPECT_EQ(Refusal(Package(parts)), "(opened)");
    }
}

TEST(DocxReader, AbsurdSizesAreRefusedBeforeTheyAreBuilt) {
    // Too many rows, too many slots (one spanning cell per row keeps the XML small), too deep.
    std::string rows, spanned, nested = "<w:p/>";
    for (int r = 0; r < 32768; ++r) rows += "<w:tr><w:tc><w:p/></w:tc></w:tr>";
    for (int r = 0; r < 20000; ++r)
        spanned += "<w:tr><w:tc><w:tcPr><w:gridSpan w:val=\"63\"/></w:tcPr><w:p/></w:tc></w:tr>";
    for (int d = 0; d <= kMaxDocxTableDepth; ++d)
        nested = "<w:tbl><w:tblGrid><w:gridCol/></w:tblGrid><w:tr><w:tc>" + nested +
                 "<w:p/></w:tc></w:tr></w:tbl>";
    std::string grid63 = "<w:tblGrid>";
    for (int c = 0; c < 63; ++c) grid63 += "<w:gridCol/>";
    grid63 += "</w:tblGrid>";
    // One past the limits on what the reader builds, each refusal naming its limit.
    std::string paragraphs, runs;
    for (long p = 0; p <= kMaxDocxParagraphs; ++p) paragraphs += "<w:p/>";
    for (long r = 0; r <= kMaxDocxRuns; ++r) runs += "<w:r><w:t>x</w:t></w:r>";
    const std::string text(kMaxDocxText + 1, 'x');
    const struct {
        std::string body;
        const char* reason;
    } cases[] = {
        {"<w:tbl><w:tblGrid><w:gridCol/></w:tblGrid>" + rows + "</w:tbl><w:p/>", "32767 rows"},
        {"<w:tbl>" + grid63 + spanned + "</w:tbl><w:p/>", "more than 262144 table cells"},
        {nested + "<w:p/>", "more than 8 levels of tables nested"},
        {paragraphs, "more than 65536 paragraphs"},
        {"<w:p>" + runs + "</w:p>", "more than 65536 runs"},
        {"<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>", "more than 1048576 bytes of text"},
    };
    for (const auto& c : cases) {
        const std::string bytes = Package({{"word/document.xml", Body(c.body)}});
        EXPECT_NE(Refusal(bytes).find(c.reason), std::string::npos) << Refusal(bytes);
    }
    // At the limit the many-paragraph shape opens, saves and opens again.
    paragraphs.resize(paragraphs.size() - 12);
    const std::unique_ptr<Document> many =
        OpenDocxBytes(Package({{"word/document.xml", Body(paragraphs)}}));
    EXPECT_EQ(static_cast<long>(many->body.size()), kMaxDocxParagraphs - 1);
    const std::string saved = DocxBytes(*many);
    EXPECT_EQ(OpenDocxBytes(saved)->body.size(), many->body.size());

    // A part that would unpack to more than the limit: zeros deflate to almost nothing.
    docx::ZipWriter zip(1);
    zip.Begin("word/document.xml");
    const std::string zeros(1 << 20, '\0');
    for (size_t n = 0; n <= kMaxDocxPartSize; n += zeros.size()) zip.Write(zeros);
    zip.End();
    EXPECT_NE(Refusal(zip.Finish()).find("larger than 32 MB"), std::string::npos);
}
