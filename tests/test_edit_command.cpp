// `varelo edit`: its command line, and its steps run on a sheet as the tools' clicks would.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "doc/document.h"
#include "edit.h"
#include "edited_sheet.h"
#include "options.h"

using namespace varelo;
using cli::EditAction;
using cli::EditOutcome;
using cli::EditStep;

namespace {

std::string UsageOf(const std::vector<std::string>& args) {
    try {
        cli::ParseEdit(args);
    } catch (const cli::UsageError& e) {
        return e.what();
    }
    return "(accepted)";
}

// A generated A3三栏 sheet, and the steps run on it.
struct Sheet : fixture::GeneratedSheet {
    Sheet() : GeneratedSheet(1) {}
    EditOutcome Run(const std::vector<EditStep>& steps, bool force = false) {
        return cli::RunEditSteps(app, steps, force);
    }
};

EditStep Select(int top, int left, int bottom, int right) {
    return {EditAction::Select, {top, left, bottom, right}};
}
EditStep Tool(EditAction action) {
    return {action, {}};
}

}  // namespace

TEST(EditCommand, StepsKeepTheirOrderAndEachToolFollowsTheLatestSelection) {
    const cli::EditOptions o = cli::ParseEdit({"in.docx", "--select", "90,21:70,3", "--composition",
                                               "--box", "--select=92,3", "--line", "-o", "in.docx",
                                               "--png", "out/p", "--dpi", "100"});
    EXPECT_EQ(o.input, "in.docx");
    EXPECT_EQ(o.output, "in.docx");  // overwriting the input is allowed: saves are atomic
    ASSERT_EQ(o.steps.size(), 5u);
    EXPECT_EQ(o.steps[0].action, EditAction::Select);
    EXPECT_EQ(o.steps[0].rect, (host::CellRect{70, 3, 90, 21}));  // any two opposite corners
    EXPECT_EQ(o.steps[1].action, EditAction::Composition);
    EXPECT_EQ(o.steps[2].action, EditAction::Box);
    EXPECT_EQ(o.steps[3].rect, (host::CellRect{92, 3, 92, 3}));  // R,C: one cell
    EXPECT_EQ(o.steps[4].action, EditAction::Line);
    EXPECT_EQ(o.png, "out/p");
    EXPECT_EQ(o.dpi, 100);
    EXPECT_TRUE(cli::ParseEdit({"--help"}).help);
}

TEST(EditCommand, CommandLinesItCannotRunAreRefusedWithTheReason) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"in.docx", "--select", "1,1:2,2"}, "-o OUT.docx"},
        {{"-o", "out.docx"}, "IN.docx"},
        {{"in.docx", "-o", "out.docx", "--box"}, "put --select before it"},
        {{"in.docx", "-o", "out.docx", "--select", "1,1:2,2", "--grid"}, "view setting"},
        {{"in.docx", "-o", "out.docx", "--select", "0,1:2,2"}, "from 1"},
        {{"in.docx", "-o", "out.docx", "--select", "1,1:2"}, "R1,C1:R2,C2"},
        {{"in.docx", "-o", "out.docx", "--select", "a,b:c,d"}, "R1,C1:R2,C2"},
        {{"in.docx", "-o", "out.docx", "--select", "1,1:99999,2"}, "R1,C1:R2,C2"},
        {{"in.docx", "other.docx", "-o", "out.docx"}, "unknown option \"other.docx\""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back());
        EXPECT_NE(UsageOf(c.args).find(c.reason), std::string::npos) << UsageOf(c.args);
    }
}

TEST(EditCommand, ToolsActOnTheLatestSelectionOfThePageGrid) {
    Sheet sheet;
    ASSERT_NE(sheet.doc, nullptr);
    const host::CellRect block{70, 3, 90, 15};
    // Composition merges the block; the box after it still frames the block, and the line
    // acts on the selection that follows.
    const EditOutcome out =
        sheet.Run({Select(block.top, block.left, block.bottom, block.right),
                   Tool(EditAction::Composition), Tool(EditAction::Box), Select(92, 3, 92, 15),
                   Tool(EditAction::Line), Select(95, 3, 96, 4), Tool(EditAction::Merge)});
    ASSERT_TRUE(out.ok()) << out.error;
    EXPECT_TRUE(sheet.app.messages.empty());
    host::Table& grid = sheet.doc->Tables(1);
    EXPECT_EQ(grid.CellArea(80, 10), block);
    EXPECT_TRUE(grid.At(70, 3).content.front().IsTable());
    EXPECT_TRUE(grid.HorizontalEdge(70, 9).Visible());
    EXPECT_TRUE(grid.VerticalEdge(80, 16).Visible());
    EXPECT_TRUE(grid.HorizontalEdge(93, 15).Visible());
    EXPECT_FALSE(grid.HorizontalEdge(92, 15).Visible());
    EXPECT_EQ(grid.CellArea(96, 4), (host::CellRect{95, 3, 96, 4}));
    EXPECT_FALSE(sheet.doc->saved);
}

TEST(EditCommand, TheFirstRefusedStepStopsTheRest) {
    const struct {
        const char* what;
        std::vector<EditStep> steps;
        EditOutcome::Status status;
        const char* error;
        const char* message;  // the tool's own, as the desktop would show it
    } cases[] = {
        {"outside the grid",
         {Select(120, 3, 131, 15), Tool(EditAction::Box)},
         EditOutcome::Usage,
         "--select 120,3:131,15 lies outside the page grid of 130 rows and 63 columns",
         ""},
        {"column 64",
         {Select(1, 64, 1, 64), Tool(EditAction::Box)},
         EditOutcome::Usage,
         "outside the page grid",
         ""},
        {"ten rows of composition",
         {Select(70, 3, 79, 15), Tool(EditAction::Composition), Tool(EditAction::Box)},
         EditOutcome::Refused,
         "--composition on rows 70-79, columns 3-15 was refused",
         "请先选定合适的区域"},
        {"merging one cell",
         {Select(92, 3, 92, 3), Tool(EditAction::Merge), Tool(EditAction::Box)},
         EditOutcome::Refused,
         "--merge on rows 92-92, columns 3-3 was refused",
         "请先选择要合并的区域"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Sheet sheet;
        ASSERT_NE(sheet.doc, nullptr);
        const host::Document before = *sheet.doc;
        const EditOutcome out = sheet.Run(c.steps);
        EXPECT_EQ(out.status, c.status);
        EXPECT_NE(out.error.find(c.error), std::string::npos) << out.error;
        if (*c.message)
            EXPECT_EQ(sheet.app.messages, std::vector<std::string>{c.message});
        else
            EXPECT_TRUE(sheet.app.messages.empty());
        EXPECT_TRUE(*sheet.doc == before);  // the box after the refusal never ran
    }
}

// The spacer column 2 of an A3三栏 sheet is one cell 130 rows high; a block that takes in a
// few rows of it must leave every other row of the page as it was.
TEST(EditCommand, ABlockAcrossTheSpacerColumnChangesOnlyTheCellsItTouches) {
    Sheet sheet;
    ASSERT_NE(sheet.doc, nullptr);
    const host::Table before = sheet.Grid();
    ASSERT_EQ(before.CellArea(75, 2), (host::CellRect{1, 2, 130, 2}));
    const auto touched = [](int r, int c) { return c == 2 || (r >= 70 && r <= 80 && c <= 21); };
    ASSERT_TRUE(sheet.Run({Select(70, 2, 80, 21), Tool(EditAction::Box)}).ok());
    const host::Table& grid = sheet.Grid();
    for (int r = 1; r <= 131; ++r)
        for (int c = 3; c <= 63; ++c) {
            if (touched(r - 1, c) || touched(r, c)) continue;
            ASSERT_EQ(grid.HorizontalEdge(r, c), before.HorizontalEdge(r, c)) << r << "," << c;
        }
    for (int r = 1; r <= 130; ++r)
        for (int c = 4; c <= 64; ++c) {
            if (touched(r, c - 1) || touched(r, c)) continue;
            ASSERT_EQ(grid.VerticalEdge(r, c), before.VerticalEdge(r, c)) << r << "," << c;
        }
    EXPECT_TRUE(grid.HorizontalEdge(70, 10).Visible());
    EXPECT_FALSE(grid.HorizontalEdge(75, 10).Visible());

    // A merge that cuts the spacer is refused by the host without a word; the first cell is
    // still centred. Composition refuses the block before changing anything.
    Sheet merged;
    const host::Document untouched = *merged.doc;
    ASSERT_TRUE(merged.Run({Select(70, 2, 71, 3), Tool(EditAction::Merge)}).ok());
    EXPECT_TRUE(merged.app.messages.empty());
    EXPECT_EQ(merged.Grid().CellArea(70, 3), (host::CellRect{70, 3, 70, 3}));
    EXPECT_EQ(merged.Grid().At(1, 2).verticalAlignment, host::CellVAlign::Center);
    merged.Grid().At(1, 2).verticalAlignment = before.At(1, 2).verticalAlignment;
    EXPECT_TRUE(*merged.doc == untouched);

    Sheet composed;
    const host::Document plain = *composed.doc;
    const EditOutcome out = composed.Run({Select(70, 2, 100, 21), Tool(EditAction::Composition)});
    EXPECT_EQ(out.status, EditOutcome::Refused);
    EXPECT_EQ(composed.app.messages, std::vector<std::string>{"请先选定合适的区域"});
    EXPECT_TRUE(*composed.doc == plain);
}

TEST(EditCommand, MergingPositioningMarksNeedsForce) {
    EXPECT_TRUE(cli::ParseEdit({"in.docx", "-o", "o.docx", "--force"}).force);
    for (const bool force : {false, true}) {
        SCOPED_TRACE(force);
        Sheet sheet;
        const host::Document before = *sheet.doc;
        const EditOutcome out = sheet.Run({Select(1, 1, 2, 1), Tool(EditAction::Merge)}, force);
        EXPECT_EQ(out.ok(), force) << out.error;
        if (force) {
            EXPECT_EQ(sheet.Grid().CellArea(2, 1), (host::CellRect{1, 1, 2, 1}));
        } else {
            EXPECT_NE(out.error.find("--force"), std::string::npos) << out.error;
            EXPECT_TRUE(*sheet.doc == before);
        }
        EXPECT_TRUE(sheet.app.messages.empty());
        EXPECT_FALSE(sheet.app.askToConfirm);  // nothing left pointing into the run
    }
}

TEST(EditCommand, ADocumentWithoutAPageGridHasNothingToSelect) {
    host::Application app;
    app.AddDocument();
    EXPECT_TRUE(cli::RunEditSteps(app, {}).ok());  // a plain rewrite
    const EditOutcome out = cli::RunEditSteps(app, {Select(1, 1, 1, 1), Tool(EditAction::Box)});
    EXPECT_EQ(out.status, EditOutcome::Refused);
    EXPECT_NE(out.error.find("no page grid"), std::string::npos);
}
