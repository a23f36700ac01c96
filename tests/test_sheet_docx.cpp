// Whole sheets as the written .docx holds them: generated through the dialog's OK path,
// written by the .docx writer, and read back here with pugixml alone.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "doc/border_pass.h"
#include "docx/writer.h"
#include "docx_grid.h"
#include "docx_test_util.h"
#include "edit/tools.h"

using namespace varelo;
using varelo::testing::DocxCell;
using varelo::testing::DocxGrid;
using varelo::testing::RunProperty;

namespace {

struct WrittenSheet {
    std::string documentXml, settingsXml;
    pugi::xml_document document, styles;
};

// The sheet of a layout and groups; `adjust` may change the dialog's fields before OK and
// `edit` may work on the generated document before it is written.
WrittenSheet Generate(const std::string& layout, const std::vector<fixture::DialogGroup>& groups,
                      const std::function<void(settings::SheetForm&)>& adjust = {},
                      const std::function<void(host::Application&, host::Document&)>& edit = {}) {
    fixture::DialogSheet made(layout, groups, adjust);
    if (!made.doc) throw std::runtime_error("refused: " + made.app.messages.back());
    if (edit) edit(made.app, *made.doc);
    auto parts = varelo::testing::Unzip(host::DocxBytes(*made.doc));
    WrittenSheet sheet{parts.at("word/document.xml"), parts.at("word/settings.xml"), {}, {}};
    sheet.document = varelo::testing::ParseXml(sheet.documentXml);
    sheet.styles = varelo::testing::ParseXml(parts.at("word/styles.xml"));
    return sheet;
}

pugi::xml_node Body(const WrittenSheet& s) {
    return s.document.child("w:document").child("w:body");
}

// A paragraph's property as it takes effect: its own or its style's.
std::string ParagraphProperty(const WrittenSheet& s, pugi::xml_node p, const char* child,
                              const char* attr = "w:val") {
    return varelo::testing::StyledParagraphProperty(s.styles.child("w:styles"), p, child, attr);
}

long Twips(double cm) {
    return std::lround(cm * 1440 / 2.54);
}

// A rule between a cell and its neighbour, written on either side.
bool HorizontalRule(const DocxGrid& g, int rowBelow, int c) {
    const bool above = rowBelow > 1 && g.At(rowBelow - 1, c).Border("bottom") == "single";
    const bool below = rowBelow <= g.Rows() && g.At(rowBelow, c).Border("top") == "single";
    return above || below;
}
bool VerticalRule(const DocxGrid& g, int r, int columnRight) {
    const bool left = columnRight > 1 && g.At(r, columnRight - 1).Border("right") == "single";
    const bool right =
        columnRight <= g.Columns() && g.At(r, columnRight).Border("left") == "single";
    return left || right;
}

void ExpectRect(const DocxCell& cell, int top, int left, int bottom, int right) {
    EXPECT_EQ(cell.top, top);
    EXPECT_EQ(cell.left, left);
    EXPECT_EQ(cell.bottom, bottom);
    EXPECT_EQ(cell.right, right);
}

// Font (east Asian name) and size in half points of a paragraph's first run.
std::pair<std::string, std::string> RunLook(pugi::xml_node p) {
    const pugi::xml_node r = p.child("w:r");
    return {RunProperty(r, "w:rFonts", "w:eastAsia"), RunProperty(r, "w:sz")};
}

struct Mark {
    int row, column;
    const char* jc;
};
struct Tall {
    int column, top, bottom;
};
struct LayoutFacts {
    const char* name;
    int rows, columns, tablePercent;
    std::vector<std::pair<int, double>> columnPercents;
    std::vector<Tall> tallCells;
    std::vector<Mark> marks;
    std::vector<std::pair<int, int>> emptyCorners, pageNumbers;
    double width, height, top;
    int lines;
};

const std::vector<LayoutFacts>& Layouts() {
    static const std::vector<LayoutFacts> facts = {
        {"A3三栏",
         130,
         63,
         98,
         {{1, 2}, {2, 1.2}, {22, 1.2}, {42, 1.2}, {62, 1.2}, {63, 2.5}},
         {{2, 1, 130}, {62, 1, 130}, {22, 1, 130}, {42, 1, 130}},
         {{1, 1, "left"},
          {65, 1, "left"},
          {65, 63, "right"},
          {66, 1, "left"},
          {130, 1, "left"},
          {130, 63, "right"}},
         {{1, 63}, {66, 63}},
         {{64, 31}, {129, 31}},
         42,
         29.7,
         1,
         48},
        {"A3双栏",
         130,
         63,
         98,
         {{1, 2}, {2, 1.2}, {32, 1.2}, {62, 1.2}, {63, 2.5}},
         {{2, 1, 130}, {62, 1, 130}, {32, 1, 63}, {32, 66, 128}},
         {{1, 1, "left"},
          {65, 1, "left"},
          {65, 63, "right"},
          {66, 1, "left"},
          {130, 1, "left"},
          {130, 63, "right"}},
         {{1, 63}, {66, 63}},
         {{64, 31}, {129, 31}},
         42,
         29.7,
         1,
         48},
        {"8开三栏",
         115,
         55,
         95,
         {{1, 2}, {2, 1}, {21, 1}, {38, 1}, {54, 1}, {55, 2.5}},
         {{2, 1, 115}, {54, 1, 115}, {21, 1, 115}, {38, 1, 115}},
         {{1, 1, "left"},
          {58, 1, "left"},
          {58, 55, "right"},
          {59, 1, "left"},
          {115, 1, "left"},
          {115, 55, "right"}},
         {{1, 55}, {59, 55}},
         {{57, 27}, {114, 27}},
         38.8,
         26.8,
         1,
         45},
        {"8开双栏",
         115,
         55,
         95,
         {{1, 2}, {2, 1}, {28, 1}, {54, 1}, {55, 2.5}},
         {{2, 1, 115}, {54, 1, 115}, {28, 1, 56}, {28, 59, 112}},
         {{1, 1, "left"},
          {58, 1, "left"},
          {58, 55, "right"},
          {59, 1, "left"},
          {115, 1, "left"},
          {115, 55, "right"}},
         {{1, 55}, {59, 55}},
         {{57, 27}, {114, 27}},
         38.8,
         26.8,
         1,
         45},
        {"A4单栏",
         126,
         28,
         96,
         {{27, 1.2}},
         {},
         {{1, 28, "left"},
          {63, 1, "left"},
          {63, 28, "left"},
          {64, 28, "left"},
          {126, 1, "left"},
          {126, 28, "left"}},
         {{1, 1}, {64, 1}},
         {{62, 13}, {125, 13}},
         21,
         29.7,
         1.8,
         48},
        {"B5单栏",
         108,
         26,
         96,
         {{25, 1.2}},
         {},
         {{1, 26, "left"},
          {54, 1, "left"},
          {54, 26, "left"},
          {55, 26, "left"},
          {108, 1, "left"},
          {108, 26, "left"}},
         {{1, 1}, {55, 1}},
         {{53, 13}, {107, 13}},
         18.2,
         25.7,
         1.8,
         42},
    };
    return facts;
}

}  // namespace

TEST(SheetDocx, EveryLayoutWritesItsPageGridPageSetupMarksAndPageNumbers) {
    for (const LayoutFacts& f : Layouts()) {
        SCOPED_TRACE(f.name);
        const WrittenSheet sheet = Generate(f.name, {});
        const pugi::xml_node body = Body(sheet);

        // Page setup in the section properties and the settings part.
        const pugi::xml_node sect = body.child("w:sectPr");
        const bool landscape = f.width > f.height;
        EXPECT_EQ(sect.child("w:pgSz").attribute("w:w").as_int(), Twips(f.width));
        EXPECT_EQ(sect.child("w:pgSz").attribute("w:h").as_int(), Twips(f.height));
        EXPECT_EQ(std::string(sect.child("w:pgSz").attribute("w:orient").value()),
                  landscape ? "landscape" : "");
        const pugi::xml_node mar = sect.child("w:pgMar");
        EXPECT_EQ(mar.attribute("w:top").as_int(), Twips(f.top));
        for (const char* side : {"w:bottom", "w:left", "w:right"})
            EXPECT_EQ(mar.attribute(side).as_int(), Twips(1)) << side;
        for (const char* zero : {"w:gutter", "w:header", "w:footer"})
            EXPECT_EQ(mar.attribute(zero).as_int(), 0) << zero;
        EXPECT_FALSE(sect.child("w:rtlGutter"));
        EXPECT_FALSE(sect.child("w:titlePg"));
        EXPECT_EQ(std::string(sect.child("w:type").attribute("w:val").value()), "nextPage");
        EXPECT_EQ(std::string(sect.child("w:vAlign").attribute("w:val").value()), "top");
        EXPECT_EQ(sect.child("w:cols").attribute("w:num").as_int(), 1);
        EXPECT_EQ(std::string(sect.child("w:docGrid").attribute("w:type").value()), "lines");
        const long textHeight = Twips(f.height) - Twips(f.top) - Twips(1);
        EXPECT_NEAR(sect.child("w:docGrid").attribute("w:linePitch").as_int(), textHeight / f.lines,
                    1);
        EXPECT_NE(sheet.settingsXml.find("<w:embedTrueTypeFonts/>"), std::string::npos);
        EXPECT_EQ(sheet.settingsXml.find("embedSystemFonts"), std::string::npos);

        // The grid: size, exact rows, widths in fiftieths of a percent.
        const DocxGrid grid(body.child("w:tbl"));
        ASSERT_EQ(grid.Rows(), f.rows);
        ASSERT_EQ(grid.Columns(), f.columns);
        for (int r = 1; r <= f.rows; ++r) {
            const pugi::xml_node h = grid.Row(r).child("w:trPr").child("w:trHeight");
            ASSERT_EQ(h.attribute("w:val").as_int(), 240) << r;
            ASSERT_EQ(std::string(h.attribute("w:hRule").value()), "exact") << r;
        }
        const pugi::xml_node tblW = grid.Table().child("w:tblPr").child("w:tblW");
        EXPECT_EQ(tblW.attribute("w:w").as_int(), f.tablePercent * 50);
        EXPECT_EQ(std::string(tblW.attribute("w:type").value()), "pct");
        for (const auto& [column, percent] : f.columnPercents) {
            const pugi::xml_node tcW = grid.At(1, column).tc.child("w:tcPr").child("w:tcW");
            EXPECT_EQ(tcW.attribute("w:w").as_int(), std::lround(percent * 50)) << column;
            EXPECT_EQ(std::string(tcW.attribute("w:type").value()), "pct") << column;
        }

        for (const Tall& t : f.tallCells) {
            SCOPED_TRACE("tall cell in column " + std::to_string(t.column));
            ExpectRect(grid.At(t.top, t.column), t.top, t.column, t.bottom, t.column);
        }
        for (const Mark& m : f.marks) {
            SCOPED_TRACE("mark " + std::to_string(m.row) + "," + std::to_string(m.column));
            const DocxCell& cell = grid.At(m.row, m.column);
            EXPECT_EQ(cell.Text(), "!");
            const pugi::xml_node p = cell.Paragraphs().front();
            EXPECT_EQ(RunLook(p), std::make_pair(std::string("Block HX"), std::string("24")));
            EXPECT_EQ(ParagraphProperty(sheet, p, "w:jc"), m.jc);
        }
        for (const auto& [r, c] : f.emptyCorners)
            EXPECT_EQ(grid.At(r, c).Text(), "") << r << "," << c;
        for (int page = 1; page <= 2; ++page) {
            SCOPED_TRACE("page number " + std::to_string(page));
            const auto [r, c] = f.pageNumbers[static_cast<size_t>(page - 1)];
            const DocxCell& cell = grid.At(r, c);
            ExpectRect(cell, r, c, r + 1, c + 2);
            EXPECT_EQ(cell.Text(), std::to_string(page));
            const pugi::xml_node p = cell.Paragraphs().front();
            EXPECT_EQ(RunProperty(p.child("w:r"), "w:sz"), "44");
            EXPECT_EQ(RunProperty(p.child("w:r"), "w:b"), "1");
            EXPECT_EQ(ParagraphProperty(sheet, p, "w:jc"), "center");
            EXPECT_EQ(ParagraphProperty(sheet, p, "w:spacing", "w:line"), "360");
            EXPECT_EQ(ParagraphProperty(sheet, p, "w:spacing", "w:lineRule"), "exact");
            EXPECT_EQ(cell.CellProperty("w:vAlign"), "bottom");
        }
    }
}

TEST(SheetDocx, SeparatorOfTheEightKaiTwoColumnLayoutIsCutByThePageNumberBlocks) {
    const WrittenSheet sheet = Generate("8开双栏", {});
    const DocxGrid grid(Body(sheet).child("w:tbl"));
    ExpectRect(grid.At(1, 28), 1, 28, 56, 28);
    ExpectRect(grid.At(57, 28), 57, 27, 58, 29);
    ExpectRect(grid.At(59, 28), 59, 28, 112, 28);
    ExpectRect(grid.At(113, 28), 113, 28, 113, 28);
    ExpectRect(grid.At(114, 28), 114, 27, 115, 29);
}

// The example of a three-column A3 sheet with the default settings and one group of 30
// four-option items at 1 point, cell by cell in the written file.
TEST(SheetDocx, ThreeColumnA3ExampleSheet) {
    const WrittenSheet sheet = Generate("A3三栏", {{"选择题", "30", "4", "1"}});
    const DocxGrid g(Body(sheet).child("w:tbl"));
    // What every slot shares lives in the styles: at most 100 bytes a slot.
    EXPECT_LE(sheet.documentXml.size(), 100u * static_cast<size_t>(g.Rows() * g.Columns()));

    // Title block: three Heading 2 lines, the second and third with their own fonts, none bold.
    const DocxCell& title = g.At(2, 3);
    ExpectRect(title, 2, 3, 8, 21);
    EXPECT_EQ(title.Text(), "中考试卷\r英语（答题卡）\r命题人：王老师");
    const auto lines = title.Paragraphs();
    for (pugi::xml_node p : lines) {
        EXPECT_EQ(ParagraphProperty(sheet, p, "w:pStyle"), "Heading2");
        for (pugi::xml_node r : p.children("w:r")) EXPECT_NE(RunProperty(r, "w:b"), "1");
    }
    EXPECT_EQ(RunProperty(lines[0].child("w:r"), "w:rFonts", "w:eastAsia"), "");  // from the style
    EXPECT_EQ(RunLook(lines[1]), std::make_pair(std::string("黑体"), std::string("40")));
    EXPECT_EQ(RunLook(lines[2]), std::make_pair(std::string("楷体_GB2312"), std::string("20")));

    // Candidate-number grid: heading, boxed write-in row, ten bubble rows framed with vertical
    // rules only, a left-aligned mark beside each bubble row.
    ExpectRect(g.At(9, 13), 9, 13, 9, 21);
    EXPECT_EQ(g.At(9, 13).Text(), "准 考 证 号");
    for (int c = 13; c <= 21; ++c) {
        SCOPED_TRACE(c);
        ExpectRect(g.At(10, c), 10, c, 10, c);
        EXPECT_TRUE(HorizontalRule(g, 10, c) && HorizontalRule(g, 11, c) && VerticalRule(g, 10, c));
        EXPECT_TRUE(HorizontalRule(g, 21, c));
        for (int d = 0; d <= 9; ++d) {
            const DocxCell& bubble = g.At(11 + d, c);
            EXPECT_EQ(bubble.Text(), std::to_string(d));
            EXPECT_EQ(RunLook(bubble.Paragraphs().front()),
                      std::make_pair(std::string("Block HX"), std::string("24")));
            EXPECT_TRUE(VerticalRule(g, 11 + d, c));
            if (d > 0) {
                EXPECT_FALSE(HorizontalRule(g, 11 + d, c)) << "rule above digit " << d;
            }
        }
    }
    for (int r = 11; r <= 20; ++r) {
        EXPECT_TRUE(VerticalRule(g, r, 22)) << r;
        EXPECT_EQ(g.At(r, 1).Text(), "!") << r;
        EXPECT_EQ(ParagraphProperty(sheet, g.At(r, 1).Paragraphs().front(), "w:jc"), "left");
    }
    EXPECT_FALSE(HorizontalRule(g, 9, 5));  // the title block has no rule under it

    // Name and class fields: labels and writing lines with only their bottom rule.
    ExpectRect(g.At(12, 3), 12, 3, 13, 4);
    EXPECT_EQ(g.At(12, 3).Text(), "姓名");
    EXPECT_EQ(g.At(12, 3).CellProperty("w:vAlign"), "center");
    ExpectRect(g.At(12, 5), 12, 5, 13, 7);
    ExpectRect(g.At(15, 3), 15, 3, 16, 4);
    EXPECT_EQ(g.At(15, 3).Text(), "班级");
    ExpectRect(g.At(15, 5), 15, 5, 16, 7);
    for (int c = 5; c <= 7; ++c) {
        EXPECT_TRUE(HorizontalRule(g, 14, c));
        EXPECT_FALSE(HorizontalRule(g, 12, c));
        EXPECT_TRUE(HorizontalRule(g, 17, c));
    }
    EXPECT_FALSE(VerticalRule(g, 12, 5));

    // Fill examples and notes.
    ExpectRect(g.At(22, 3), 22, 3, 28, 3);
    EXPECT_EQ(g.At(22, 3).Text(), "填涂样例");
    const DocxCell& examples = g.At(22, 4);
    ExpectRect(examples, 22, 4, 28, 6);
    EXPECT_EQ(examples.Text(), "正确填涂\r!\r错误填涂\r# $ %");
    const auto ex = examples.Paragraphs();
    EXPECT_EQ(RunLook(ex[0]), std::make_pair(std::string("宋体"), std::string("18")));
    EXPECT_EQ(RunLook(ex[1]), std::make_pair(std::string("Block HX"), std::string("18")));
    EXPECT_EQ(RunLook(ex[2]), std::make_pair(std::string("宋体"), std::string("18")));
    EXPECT_EQ(RunLook(ex[3]), std::make_pair(std::string("Block HX"), std::string("24")));
    EXPECT_EQ(examples.CellProperty("w:vAlign"), "center");
    ExpectRect(g.At(22, 7), 22, 7, 28, 7);
    EXPECT_EQ(g.At(22, 7).Text(), "注意事项");
    const DocxCell& notes = g.At(22, 8);
    ExpectRect(notes, 22, 8, 28, 21);
    const auto noteLines = notes.Paragraphs();
    ASSERT_EQ(noteLines.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(DocxCell::ParagraphText(noteLines[i]).rfind(std::to_string(i + 1) + ".", 0), 0u);
        EXPECT_EQ(ParagraphProperty(sheet, noteLines[i], "w:jc"), "left");
        EXPECT_EQ(RunProperty(noteLines[i].child("w:r"), "w:sz"), "15");
    }
    for (int c = 3; c <= 21; ++c)
        EXPECT_TRUE(HorizontalRule(g, 22, c) && HorizontalRule(g, 29, c)) << c;

    // The objective group: heading, numbers, labels, marks and an outer frame only.
    const DocxCell& heading = g.At(29, 3);
    ExpectRect(heading, 29, 3, 29, 13);
    EXPECT_EQ(heading.Text(), "一、选择题 （每小题1分共30分）");
    EXPECT_EQ(RunLook(heading.Paragraphs().front()),
              std::make_pair(std::string("黑体"), std::string("21")));
    const int columns[] = {4, 5, 6, 7, 8, 10, 11, 12, 13, 14, 16, 17, 18, 19, 20};
    for (int block = 0; block < 2; ++block) {
        const int numberRow = 30 + block * 6;
        for (int t = 0; t < 15; ++t) {
            const int c = columns[t];
            const DocxCell& number = g.At(numberRow, c);
            EXPECT_EQ(number.Text(), std::to_string(block * 15 + t + 1));
            EXPECT_EQ(RunLook(number.Paragraphs().front()),
                      std::make_pair(std::string("宋体"), std::string("21")));
            for (int o = 0; o < 4; ++o) {
                const DocxCell& label = g.At(numberRow + 1 + o, c);
                EXPECT_EQ(label.Text(), std::string(1, static_cast<char>('A' + o)));
                EXPECT_EQ(RunLook(label.Paragraphs().front()),
                          std::make_pair(std::string("Block HX"), std::string("24")));
            }
        }
        EXPECT_EQ(g.At(numberRow, 9).Text(), "");  // the gap between five-groups
    }
    for (int r = 29; r <= 42; ++r) {
        const bool optionRow = (r >= 31 && r <= 34) || (r >= 37 && r <= 40);
        EXPECT_EQ(g.At(r, 1).Text(), optionRow ? "!" : "") << r;
    }
    for (int c = 3; c <= 21; ++c) {
        EXPECT_TRUE(HorizontalRule(g, 30, c)) << c;
        EXPECT_TRUE(HorizontalRule(g, 41, c)) << c;
        for (int r = 31; r <= 40; ++r) EXPECT_FALSE(HorizontalRule(g, r, c)) << r << "," << c;
    }
    for (int r = 30; r <= 40; ++r) {
        EXPECT_TRUE(VerticalRule(g, r, 3)) << r;
        EXPECT_TRUE(VerticalRule(g, r, 22)) << r;
        for (int c = 4; c <= 21; ++c) EXPECT_FALSE(VerticalRule(g, r, c)) << r << "," << c;
    }
}

TEST(SheetDocx, TitleWithMarkupCharactersAndAControlCharacterStaysReadable) {
    const WrittenSheet sheet = Generate("A4单栏", {}, [](settings::SheetForm& form) {
        form.txtTitle = "<期中&\"考'\x01试>";
        form.txtName = "李&老师";
    });
    const DocxGrid grid(Body(sheet).child("w:tbl"));
    EXPECT_EQ(grid.At(1, 3).Text(), "<期中&\"考'试>\r英语（答题卡）\r命题人：李&老师");
}

// The box and line tools as the written file shows them: a frame with nothing inside over a
// block that was fully ruled before, and a bottom rule that keeps the other borders.
TEST(SheetDocx, BoxAndLineToolsInTheWrittenFile) {
    const WrittenSheet sheet =
        Generate("A3三栏", {}, {}, [](host::Application& app, host::Document& doc) {
            host::Table& grid = doc.Tables(1);
            host::BorderPass(app, grid, {80, 4, 82, 7}, host::BorderSet::All());
            app.selection.SelectCells(grid, {80, 4, 82, 7});
            bool cancel = false;
            tools::cbbBox_Click(app, cancel);
            host::BorderPass(app, grid, {90, 4, 90, 8}, host::BorderSet::Outline());
            app.selection.SelectCells(grid, {92, 4, 92, 8});
            tools::cbbLine_Click(app, cancel);
            app.selection.SelectCells(grid, {90, 4, 90, 8});
            tools::cbbLine_Click(app, cancel);
        });
    const DocxGrid g(Body(sheet).child("w:tbl"));
    for (int c = 4; c <= 7; ++c) {
        EXPECT_TRUE(HorizontalRule(g, 80, c) && HorizontalRule(g, 83, c)) << c;
        EXPECT_FALSE(HorizontalRule(g, 81, c) || HorizontalRule(g, 82, c)) << c;
    }
    for (int r = 80; r <= 82; ++r) {
        EXPECT_TRUE(VerticalRule(g, r, 4) && VerticalRule(g, r, 8)) << r;
        for (int c = 5; c <= 7; ++c) EXPECT_FALSE(VerticalRule(g, r, c)) << r << "," << c;
    }
    for (int c = 4; c <= 8; ++c) {
        EXPECT_TRUE(HorizontalRule(g, 93, c)) << c;   // the line under row 92
        EXPECT_FALSE(HorizontalRule(g, 92, c)) << c;  // and nothing else there
        EXPECT_TRUE(HorizontalRule(g, 90, c) && HorizontalRule(g, 91, c)) << c;  // kept
    }
    EXPECT_TRUE(VerticalRule(g, 90, 4) && VerticalRule(g, 90, 9));
}
