// A sheet finished by hand survives being saved and reopened: the next day's file is the same
// file, and editing goes on from it exactly as it would have without the save.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "docx/reader.h"
#include "docx/writer.h"
#include "docx_test_util.h"
#include "edit/tools.h"
#include "edited_sheet.h"

using namespace varelo;
using fixture::EditedSheet;

namespace {

// Frames the composition block and draws a line under the two rows below it.
void FinishBlock(host::Application& app, host::Document& doc, const host::CellRect& block) {
    bool cancel = false;
    app.selection.SelectCells(doc.Tables(1), block);
    tools::cbbBox_Click(app, cancel);
    app.selection.SelectCells(doc.Tables(1),
                              {block.bottom + 2, block.left, block.bottom + 2, block.right});
    tools::cbbLine_Click(app, cancel);
}

}  // namespace

TEST(EditRoundTrip, CompositionPaperOnPageTwoReadsBackToTheSameFileInEveryLayout) {
    for (int16_t code = 1; code <= 6; ++code) {
        SCOPED_TRACE(fixture::kLayoutNames[static_cast<size_t>(code - 1)]);
        EditedSheet sheet(code);
        ASSERT_NE(sheet.doc, nullptr);
        ASSERT_TRUE(sheet.app.messages.empty()) << sheet.app.messages.front();
        host::Table& grid = sheet.Grid();
        ASSERT_EQ(grid.CellArea(sheet.block.top, sheet.block.left), sheet.block);
        ASSERT_TRUE(grid.At(sheet.block.top, sheet.block.left).content.front().IsTable());

        const std::string written = host::DocxBytes(*sheet.doc);
        // The file holds lengths in twips, so the first reading rounds (11.997 pt rows come back
        // as 12 pt); from then on the document and its file no longer change.
        const std::unique_ptr<host::Document> reopened = host::OpenDocxBytes(written);
        const std::string rewritten = host::DocxBytes(*reopened);
        EXPECT_EQ(varelo::testing::Unzip(rewritten).at("word/document.xml"),
                  varelo::testing::Unzip(written).at("word/document.xml"));
        EXPECT_EQ(rewritten, written);  // every part, byte for byte
        EXPECT_TRUE(*host::OpenDocxBytes(rewritten) == *reopened);
    }
}

TEST(EditRoundTrip, EditingGoesOnFromTheReopenedSheetAsFromTheOriginal) {
    for (int16_t code : {1, 4, 6}) {
        SCOPED_TRACE(code);
        EditedSheet sheet(code);
        ASSERT_NE(sheet.doc, nullptr);
        const std::string saved = host::DocxBytes(*sheet.doc);

        // The next day: another application opens the file and the teacher goes on.
        host::Application nextDay;
        host::Document& reopened = nextDay.AdoptDocument(host::OpenDocxBytes(saved));
        EXPECT_EQ(nextDay.ActiveDocument(), &reopened);
        FinishBlock(nextDay, reopened, sheet.block);
        FinishBlock(sheet.app, *sheet.doc, sheet.block);
        EXPECT_TRUE(nextDay.messages.empty());
        EXPECT_FALSE(reopened.saved);
        EXPECT_TRUE(reopened.Tables(1).HorizontalEdge(sheet.block.top, sheet.block.left).Visible());
        EXPECT_EQ(host::DocxBytes(reopened), host::DocxBytes(*sheet.doc));
    }
}
