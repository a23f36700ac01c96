// The roster read from a table: the students in order with every character of their names, and
// every bad roster refused naming the row and column, before anything is made from it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iconv.h>

#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "tables/roster.h"
#include "xlsx_writer.h"

namespace {

using namespace varelo;
using tables::ReadRoster;
using tables::ReadTableBytes;
using tables::TableError;
using ::testing::HasSubstr;
namespace vt = varelo::testing;

using Fields = std::tuple<std::string, std::string, std::string, std::string, std::string, size_t>;

std::vector<Fields> FieldsOf(const tables::Roster& roster) {
    std::vector<Fields> out;
    for (const tables::Student& s : roster.students)
        out.emplace_back(s.number, s.name, s.className, s.room, s.seat, s.row);
    return out;
}

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

std::string InlineCell(const std::string& ref, const std::string& text) {
    return "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t xml:space=\"preserve\">" + text +
           "</t></is></c>";
}

TEST(RosterReading, SameStudentsFromGb18030Utf8AndXlsx) {
    // Header order free, other columns ignored, three classes, names with 𠮷, ·, inner and
    // outer spaces (the ideographic one too), leading zeros, a blank row, a short number.
    const std::string csv =
        "\n"
        "备注, 座位号 ,姓名,班级,考号,考场\n"
        "x,01,张三,高一(1)班,0012345601,第01考场\n"
        "\n"
        ",02,  𠮷田 花子　,高一(2)班,0012345602,第01考场\n"
        ",,,,,\n"
        ",03,阿依古丽·买买提,高一(3)班,12345603,第02考场\n";
    const std::vector<Fields> expected = {
        {"0012345601", "张三", "高一(1)班", "第01考场", "01", 3},
        {"0012345602", "𠮷田 花子", "高一(2)班", "第01考场", "02", 5},
        {"0012345603", "阿依古丽·买买提", "高一(3)班", "第02考场", "03", 7}};
    const tables::Roster utf8 = ReadRoster(ReadTableBytes(csv, "r.csv"), 10);
    EXPECT_EQ(FieldsOf(utf8), expected);
    EXPECT_TRUE(utf8.hasClass && utf8.hasRoom && utf8.hasSeat);
    EXPECT_EQ(FieldsOf(ReadRoster(ReadTableBytes("\xEF\xBB\xBF" + csv, "r.csv"), 10)), expected);
    EXPECT_EQ(FieldsOf(ReadRoster(ReadTableBytes(Gb18030(csv), "r.csv"), 10)), expected);

    // The same in a workbook: 考号 as text and as a number formatted 0000000000, which the
    // workbook stores without its zeros; the header in row 2, a gap column.
    const std::string xlsx = vt::ZipBytes(vt::Workbook(
        "<row r=\"2\"><c r=\"A2\" t=\"s\"><v>0</v></c><c r=\"B2\" t=\"s\"><v>1</v></c>"
        "<c r=\"D2\" t=\"s\"><v>2</v></c>" +
            InlineCell("E2", "考场") + InlineCell("F2", "座位号") +
            "</row><row r=\"3\"><c r=\"A3\" t=\"s\"><v>3</v></c>" + InlineCell("B3", "张三") +
            InlineCell("D3", "高一(1)班") + InlineCell("E3", "第01考场") + InlineCell("F3", "01") +
            "</row><row r=\"5\"><c r=\"A5\" s=\"1\"><v>12345602</v></c>" +
            InlineCell("B5", "  𠮷田 花子　") + InlineCell("D5", "高一(2)班") +
            InlineCell("E5", "第01考场") + InlineCell("F5", "02") +
            "</row><row r=\"7\"><c r=\"A7\"><v>12345603</v></c>" +
            InlineCell("B7", "阿依古丽·买买提") + InlineCell("D7", "高一(3)班") +
            InlineCell("E7", "第02考场") + InlineCell("F7", "03") + "</row>",
        "<si><t>考号</t></si><si><t>姓名</t></si><si><t>班级</t></si><si><t>0012345601</t></si>"));
    EXPECT_EQ(FieldsOf(ReadRoster(ReadTableBytes(xlsx, "r.xlsx"), 10)), expected);

    // Only what is required: no optional columns, 准考证号 or 学号 for 考号, and 考号 first
    // when a roster has a school's 学号 beside it.
    const tables::Roster bare = ReadRoster(ReadTableBytes("准考证号,姓名\n7,王五\n", "r.csv"), 3);
    EXPECT_EQ(FieldsOf(bare), (std::vector<Fields>{{"007", "王五", "", "", "", 2}}));
    EXPECT_FALSE(bare.hasClass || bare.hasRoom || bare.hasSeat);
    EXPECT_EQ(ReadRoster(ReadTableBytes("学号,姓名\n9,王五\n", "r.csv"), 1).students[0].number,
              "9");
    EXPECT_EQ(
        ReadRoster(ReadTableBytes("学号,姓名,考号\n9,王五,8\n", "r.csv"), 1).students[0].number,
        "8");
}

TEST(RosterReading, BadRostersRefusedNamingRowAndColumn) {
    struct Case {
        std::string table;
        size_t row, column;
        std::string says;
    };
    const std::vector<Case> cases = {
        {"姓名,班级\n张三,1班\n", 1, 0, "row 1: the header row has no 考号 column"},
        {"\n考号,班级\n01,1班\n", 2, 0, "row 2: the header row has no 姓名 column"},
        {"考号,姓名,考号\n01,张三,02\n", 1, 3, "names 考号 twice, in columns A and C"},
        {"学号,姓名\n0101,张三\n0102,李四\n0101,王五\n", 4, 1,
         "row 4, column A: 学号 0101 is also on row 2"},
        {"姓名,考号\n张三,012\n李四,12\n", 3, 2, "考号 0012 is also on row 2"},
        {"姓名,考号\n张三,12345\n", 2, 2, "考号 \"12345\" has 5 digits; the sheet's 考号 has 4"},
        {"姓名,考号\n张三,12a4\n", 2, 2, "column B: 考号 \"12a4\" is not digits only"},
        {"姓名,考号\n张三,１２\n", 2, 2, "is not digits only"},
        {"姓名,考号\n张三,1.23457E+17\n", 2, 2, "format the column as text"},
        {"姓名,考号\n张三, \n", 2, 2, "考号 is empty"},
        {"姓名,考号\n\n,\n", 1, 0, "a header row but no students"},
        {"", 0, 0, "the roster is empty"},
        {"\n , \n", 0, 0, "the roster is empty"},
        {"考号,姓名\n1,\xD5\xC5\n2,\xFF\n", 3, 0, "line 3: this line is neither UTF-8 nor GB18030"},
    };
    for (const Case& c : cases) {
        try {
            ReadRoster(ReadTableBytes(c.table, "r.csv"), 4);
            ADD_FAILURE() << c.table;
        } catch (const TableError& e) {
            EXPECT_EQ(e.row(), c.row) << c.table;
            EXPECT_EQ(e.column(), c.column) << c.table;
            EXPECT_THAT(e.what(), HasSubstr(c.says));
            EXPECT_THAT(e.what(), HasSubstr("\"r.csv\""));
        }
    }
}

}  // namespace
