// The table reader: CSV in UTF-8 or GB18030 with RFC 4180 quoting, the first worksheet of an
// .xlsx, every cell as the text typed, and whatever is hostile refused with the row named.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <string>
#include <vector>

#include "tables/table.h"
#include "temp_dir.h"
#include "xlsx_writer.h"

namespace {

using namespace varelo;
using tables::ReadTableBytes;
using tables::TableError;
using ::testing::HasSubstr;
namespace vt = varelo::testing;

using Cells = std::vector<std::vector<std::string>>;

Cells CellsOf(const tables::Table& table) {
    Cells cells;
    for (const tables::Row& row : table.rows) cells.push_back(row.cells);
    return cells;
}

std::vector<size_t> NumbersOf(const tables::Table& table) {
    std::vector<size_t> numbers;
    for (const tables::Row& row : table.rows) numbers.push_back(row.number);
    return numbers;
}

// What Excel and WPS save on Chinese Windows, made by the C library independently of the reader.
std::string Gb18030(const std::string& utf8) {
    const iconv_t cd = iconv_open("GB18030", "UTF-8");
    const std::unique_ptr<void, int (*)(iconv_t)> close(cd, iconv_close);
    std::string out(utf8.size() * 2, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size(), outLeft = out.size();
    char* to = out.data();
    if (iconv(cd, &in, &inLeft, &to, &outLeft) == static_cast<size_t>(-1)) return {};
    out.resize(out.size() - outLeft);
    return out;
}

// The zip with the uncompressed size of one entry changed in both of its headers.
std::string Declaring(std::string zip, const std::string& name, uint32_t size) {
    const auto put = [&](size_t at) {
        for (int k = 0; k < 4; ++k) zip[at + k] = static_cast<char>((size >> (8 * k)) & 0xFF);
    };
    for (size_t at = 0; (at = zip.find("PK", at)) != std::string::npos; ++at) {
        if (zip.compare(at, 4, "PK\x03\x04") == 0 && zip.compare(at + 30, name.size(), name) == 0)
            put(at + 22);
        if (zip.compare(at, 4, "PK\x01\x02") == 0 && zip.compare(at + 46, name.size(), name) == 0)
            put(at + 24);
    }
    return zip;
}

// The error a table gives, or "" when it reads.
TableError ErrorOf(const std::string& bytes) {
    try {
        ReadTableBytes(bytes, "t.csv");
    } catch (const TableError& e) {
        return e;
    }
    return TableError("", 0, 0, "read without an error");
}

TEST(CsvReading, QuotingLineEndsAndCellTextAsTyped) {
    // Quoted commas, doubled quotes, a line break inside quotes, CRLF, LF and CR line ends,
    // numbers as typed, blanks kept, a trailing comma, no line end at the end.
    const std::string csv =
        "考号,姓名,note\r\n"
        "007,\"Li, Ming\",\"say \"\"hi\"\"\"\r\n"
        "0012,\"two\r\nlines\",1.50\n"
        "1e3, spaced ,\n"
        "\n"
        "\"\",-0\r"
        "\"quoted\"tail,last";
    const tables::Table t = ReadTableBytes(csv, "t.csv");
    EXPECT_EQ(CellsOf(t), (Cells{{"考号", "姓名", "note"},
                                 {"007", "Li, Ming", "say \"hi\""},
                                 {"0012", "two\r\nlines", "1.50"},
                                 {"1e3", " spaced ", ""},
                                 {""},
                                 {"", "-0"},
                                 {"quotedtail", "last"}}));
    // Rows as a spreadsheet numbers them: the quoted line break does not start a row.
    EXPECT_EQ(NumbersOf(t), (std::vector<size_t>{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_TRUE(t.rows[4].Blank());
    EXPECT_FALSE(t.rows[3].Blank());
    EXPECT_EQ(t.rows[1].Cell(9), "");
    EXPECT_TRUE(ReadTableBytes("", "t.csv").rows.empty());
}

TEST(CsvReading, Gb18030AndUtf8WithOrWithoutMarkReadAlike) {
    // 𠮷 is four bytes in GB18030 (outside GBK), · and the full-width space two.
    const std::string utf8 =
        "考号,姓名,班级\n0012345601,𠮷田 花子,高一(1)班\n0012345602,阿依古丽·买买提,　高一(2)班\n";
    const std::string gb = Gb18030(utf8);
    ASSERT_FALSE(gb.empty());
    ASSERT_NE(gb, utf8);
    const Cells expected = CellsOf(ReadTableBytes(utf8, "u.csv"));
    EXPECT_EQ(expected[2][1], "阿依古丽·买买提");
    EXPECT_EQ(CellsOf(ReadTableBytes("\xEF\xBB\xBF" + utf8, "bom.csv")), expected);
    EXPECT_EQ(CellsOf(ReadTableBytes(gb, "gb.csv")), expected);
    // GB18030's own byte-order mark.
    EXPECT_EQ(CellsOf(ReadTableBytes("\x84\x31\x95\x33" + gb, "gb.csv")), expected);
}

TEST(CsvReading, UndecodableOrUnclosedTextRefusedNamingTheLine) {
    // 0xFF is in no UTF-8 and no GB18030 sequence; the line is named where the file's own
    // encoding stops, not where the other one does.
    TableError e = ErrorOf(Gb18030("考号,姓名\n1,张三\n") + "2,\xFF\n");
    EXPECT_EQ(e.row(), 3u);
    EXPECT_THAT(e.what(), HasSubstr("\"t.csv\", line 3: this line is neither UTF-8 nor GB18030"));
    e = ErrorOf("考号,姓名\n1,张三\n2,李\xFF四\n");
    EXPECT_EQ(e.row(), 3u);
    e = ErrorOf("\xEF\xBB\xBF考号,姓名\n1,\xD5\xC5\xC8\xFD\n");  // GBK after a UTF-8 mark
    EXPECT_THAT(e.what(), HasSubstr("line 2: the file says it is UTF-8"));
    e =
        ErrorOf(std::string("\xFF\xFE"
                            "a\0,\0",
                            6));
    EXPECT_THAT(e.what(), HasSubstr("UTF-16"));
    e = ErrorOf("a,b\n1,\"open\n2,3\n");
    EXPECT_EQ(e.row(), 2u);
    EXPECT_EQ(e.column(), 2u);
    EXPECT_THAT(e.what(), HasSubstr("\"t.csv\", row 2, column B: the cell opens a quote"));
}

TEST(XlsxReading, FirstVisibleWorksheetWithSharedInlineRichAndGaps) {
    // As Excel writes it: shared strings (one in rich-text runs with a phonetic guide, one with
    // an escaped line break and blanks), an inline string, numbers as stored, booleans, a formula's
    // cached text, an error; cells in columns A, C and F, rows 1, 2 and 5; an empty styled row.
    vt::Parts parts = vt::Workbook(
        "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"s\"><v>1</v></c>"
        "<c r=\"F1\" t=\"inlineStr\"><is><t>备注</t></is></c></row>"
        "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>2</v></c><c r=\"B2\"><v>1.5</v></c>"
        "<c r=\"C2\" t=\"s\"><v>3</v></c><c r=\"D2\" t=\"b\"><v>1</v></c>"
        "<c r=\"E2\" t=\"str\"><f>A2&amp;\"x\"</f><v>0012x</v></c><c r=\"F2\" "
        "t=\"e\"><v>#N/A</v></c>"
        "</row><row r=\"3\" ht=\"20\" customHeight=\"1\"/>"
        "<row r=\"5\"><c r=\"B5\" t=\"b\"><v>0</v></c><c r=\"D5\" s=\"1\"/>"
        "<c r=\"E5\" t=\"s\"><v>4</v></c></row>",
        "<si><t>考号</t></si><si><t>姓名</t></si><si><t>0012345601</t></si>"
        "<si><r><rPr><b/></rPr><t>𠮷田</t></r><r><t xml:space=\"preserve\"> 花子</t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>よし</t></rPh></si>"
        "<si><t xml:space=\"preserve\">  two_x000D_\nlines_x005F_x0041_</t></si>");
    // The sheet to read is found through the workbook's relationships, not by its name: a
    // hidden sheet and a chart come first.
    parts["xl/workbook.xml"] =
        "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
        "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
        "<sheet name=\"old\" sheetId=\"3\" state=\"hidden\" r:id=\"rId3\"/>"
        "<sheet name=\"chart\" sheetId=\"4\" r:id=\"rId4\"/>"
        "<sheet name=\"名单\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    parts["xl/_rels/workbook.xml.rels"] =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rId3\" Type=\"" +
        rel +
        "/worksheet\" Target=\"worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rId4\" Type=\"" +
        rel +
        "/chartsheet\" Target=\"chartsheets/c.xml\"/>"
        "<Relationship Id=\"rId1\" Type=\"" +
        rel +
        "/worksheet\" Target=\"/xl/worksheets/../名单.xml\"/>"
        "<Relationship Id=\"rId2\" Type=\"" +
        rel +
        "/sharedStrings\" Target=\"sharedStrings.xml\"/>"
        "</Relationships>";
    parts["xl/名单.xml"] = parts["xl/worksheets/sheet1.xml"];
    parts["xl/worksheets/sheet1.xml"] =
        "<worksheet><sheetData><row><c t=\"inlineStr\"><is><t>hidden"
        "</t></is></c></row></sheetData></worksheet>";
    const tables::Table t = ReadTableBytes(vt::ZipBytes(parts), "t.xlsx");
    EXPECT_EQ(CellsOf(t), (Cells{{"考号", "", "姓名", "", "", "备注"},
                                 {"0012345601", "1.5", "𠮷田 花子", "TRUE", "0012x", "#N/A"},
                                 {"", "FALSE", "", "", "  two\r\nlines_x0041_"}}));
    EXPECT_EQ(NumbersOf(t), (std::vector<size_t>{1, 2, 5}));

    // Cells without references follow one another; a writer's x: prefix reads the same.
    const tables::Table plain = ReadTableBytes(
        vt::ZipBytes(vt::Workbook("<x:row xmlns:x=\"http://schemas.openxmlformats.org/"
                                  "spreadsheetml/2006/main\"><x:c><x:v>7</x:v></x:c>"
                                  "<x:c t=\"inlineStr\"><x:is><x:t>a</x:t></x:is></x:c>"
                                  "</x:row><row><c r=\"C2\"><v>8</v></c></row>")),
        "t.xlsx");
    EXPECT_EQ(CellsOf(plain), (Cells{{"7", "a"}, {"", "", "8"}}));
    EXPECT_EQ(NumbersOf(plain), (std::vector<size_t>{1, 2}));
}

TEST(XlsxReading, OtherFilesAndDamagedWorkbooksRefusedClearly) {
    const auto error = [](const std::string& bytes) { return std::string(ErrorOf(bytes).what()); };
    EXPECT_THAT(error(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + "rest"),
                HasSubstr(".xls) cannot be read: save it as .xlsx or as CSV"));
    EXPECT_THAT(error(vt::ZipBytes({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                                    {"content.xml", "<x/>"}})),
                HasSubstr("(.ods) cannot be read"));
    EXPECT_THAT(error(vt::ZipBytes({{"word/document.xml", "<x/>"}})),
                HasSubstr("a zip package, not an Excel workbook"));
    EXPECT_THAT(error("PK\x03\x04 cut short"), HasSubstr("not an .xlsx workbook that can be read"));
    EXPECT_THAT(error(vt::ZipBytes(vt::Workbook("<row><c><v>1</v></row>"))),
                HasSubstr("xl/worksheets/sheet1.xml is not well-formed XML"));
    TableError e = ErrorOf(vt::ZipBytes(vt::Workbook(
        "<row r=\"4\"><c r=\"B4\" t=\"s\"><v>1</v></c></row>", "<si><t>only</t></si>")));
    EXPECT_EQ(e.row(), 4u);
    EXPECT_EQ(e.column(), 2u);
    EXPECT_THAT(e.what(), HasSubstr("a shared string the workbook does not have"));
    e = ErrorOf(vt::ZipBytes(vt::Workbook("<row r=\"3\"/><row r=\"2\"><c><v>1</v></c></row>")));
    EXPECT_EQ(e.row(), 2u);
    e = ErrorOf(vt::ZipBytes(vt::Workbook("<row><c r=\"C1\"/><c r=\"B1\"/></row>")));
    EXPECT_EQ(e.column(), 2u);
    e = ErrorOf(vt::ZipBytes(vt::Workbook("<row r=\"2\"><c r=\"1A\"><v>1</v></c></row>")));
    EXPECT_THAT(e.what(), HasSubstr("row 2: the worksheet names a cell \"1A\""));
}

TEST(TableLimits, HostileSizesRefusedNamingTheRow) {
    // A zip bomb is refused by the size its entry declares, before it is unpacked; one that
    // declares less than it unpacks to is refused at the declared size.
    const std::string zip = vt::ZipBytes(vt::Workbook("<row><c><v>1</v></c></row>"));
    EXPECT_THAT(ErrorOf(Declaring(zip, "xl/worksheets/sheet1.xml", 33 << 20)).what(),
                HasSubstr("its part xl/worksheets/sheet1.xml unpacks to more than 32 MB"));
    EXPECT_THAT(ErrorOf(Declaring(zip, "xl/worksheets/sheet1.xml", 100)).what(),
                HasSubstr("sheet1.xml does not unpack to the size its entry declares"));

    // A cell past Excel's last column, or one reference that would fill millions of gaps.
    TableError e = ErrorOf(vt::ZipBytes(vt::Workbook("<row r=\"9\"><c r=\"XFE9\"/></row>")));
    EXPECT_EQ(e.row(), 9u);
    EXPECT_THAT(e.what(), HasSubstr("more than 16384 columns"));
    std::string rows;
    for (int r = 1; r <= 250; ++r) rows += "<row><c r=\"XFD" + std::to_string(r) + "\"/></row>";
    e = ErrorOf(vt::ZipBytes(vt::Workbook(rows)));
    EXPECT_THAT(e.what(), HasSubstr("more than 4000000 cells"));
    EXPECT_EQ(e.row(), 245u);
    e = ErrorOf(vt::ZipBytes(vt::Workbook("<row r=\"1048577\"><c><v>1</v></c></row>")));
    EXPECT_THAT(e.what(), HasSubstr("more than 1048576 rows"));

    // Excel's longest cell holds 32,767 characters, counted as characters, not bytes.
    std::string longest;
    for (int i = 0; i < 32767; ++i) longest += "字";
    EXPECT_NO_THROW(ReadTableBytes("a," + longest + "\n", "t.csv"));
    e = ErrorOf("a\nb," + longest + "x\n");
    EXPECT_EQ(e.row(), 2u);
    EXPECT_EQ(e.column(), 2u);
    EXPECT_THAT(e.what(), HasSubstr("more than 32767 characters"));
    e = ErrorOf(vt::ZipBytes(vt::Workbook("<row r=\"3\"><c r=\"D3\" t=\"inlineStr\"><is><t>" +
                                          longest + "x</t></is></c></row>")));
    EXPECT_EQ(e.row(), 3u);
    EXPECT_EQ(e.column(), 4u);
    e = ErrorOf("x\n" + std::string(16384, ',') + "\n");
    EXPECT_EQ(e.row(), 2u);
    EXPECT_THAT(e.what(), HasSubstr("more than 16384 columns"));
}

TEST(TableFiles, ReadFromDiskOrRefusedNamingTheFile) {
    const vt::TempDir dir;
    const std::string csv = dir.Write("名单.csv", "考号,姓名\n01,张三\n").string();
    EXPECT_EQ(CellsOf(tables::ReadTable(csv)), (Cells{{"考号", "姓名"}, {"01", "张三"}}));
    EXPECT_EQ(tables::ReadTable(csv).file, csv);
    for (const std::string& path : {dir.path().string(), (dir.path() / "none.csv").string()}) {
        try {
            tables::ReadTable(path);
            ADD_FAILURE() << path;
        } catch (const TableError& e) {
            EXPECT_EQ(e.file(), path);
            EXPECT_THAT(e.what(), HasSubstr(path));
        }
    }
}

}  // namespace
