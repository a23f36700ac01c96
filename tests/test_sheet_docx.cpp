// Whole sheets as the written .docx holds them: generated through the dialog's OK path,
// written by the .docx writer, and read back here with pugixml alone.
#include <gtest/gtest.h>

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
using varelo::testing::DocxGrid;

namespace {

struct WrittenSheet {
    pugi::xml_document document;
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
    WrittenSheet sheet;
    sheet.document = varelo::testing::ParseXml(parts.at("word/document.xml"));
    return sheet;
}

pugi::xml_node Body(const WrittenSheet& s) {
    return s.document.child("w:document").child("w:body");
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

}  // namespace

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
