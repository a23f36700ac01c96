#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "doc/border_pass.h"
#include "doc/clipboard.h"
#include "doc/errors.h"
#include "doc/geometry.h"
#include "doc/table.h"

using namespace varelo::host;

TEST(Table, MergedCellIsReachedFromEverySlotAndKeepsTextInReadingOrder) {
    Table t(4, 4);
    t.At(1, 2).InsertAfter("b");
    t.At(2, 1).InsertAfter("c");
    t.At(1, 1).InsertAfter("a");
    t.Merge({1, 1, 2, 2});
    EXPECT_EQ(&t.At(2, 2), &t.At(1, 1));
    EXPECT_EQ(t.At(2, 2).Text(), "a\rb\rc");
    EXPECT_EQ(t.CellArea(2, 1), (CellRect{1, 1, 2, 2}));
    EXPECT_EQ(t.CountCells({1, 1, 2, 3}), 3);
}

TEST(Table, PicturesGoWhereTheCellsContentGoesAndTypingOverACellKeepsThemByTheirMarks) {
    varelo::host::Run logo, seal;
    logo.picture = std::make_shared<const InlinePicture>(InlinePicture{"L", "image/png", 9, 9, ""});
    seal.picture = std::make_shared<const InlinePicture>(InlinePicture{"S", "image/png", 9, 9, ""});
    Table t(2, 2);
    t.At(1, 2).FirstParagraph().runs.push_back(logo);  // a cell holding only a picture
    t.At(1, 1).InsertAfter("a");
    t.Merge({1, 1, 1, 2});
    EXPECT_EQ(t.At(1, 1).EditableText(), std::string("a\r") + kPictureMark);
    Clipboard clip;
    clip.CopyFrom(t, {1, 1, 1, 1});
    clip.PasteInto(t, 2, 1);
    EXPECT_EQ(t.At(2, 1).content, t.At(1, 1).content);

    Cell& cell = t.At(2, 2);
    cell.FirstParagraph().Append("x");
    cell.FirstParagraph().runs.push_back(logo);
    cell.InsertParagraphAfter();
    cell.LastParagraph().runs.push_back(seal);
    EXPECT_EQ(cell.EditableText(), "x" + std::string(kPictureMark) + "\r" + kPictureMark);
    // Marks take the pictures in reading order, across paragraphs; one more stays text.
    const std::string m = kPictureMark;
    cell.SetTextKeepingPictures("y" + m + "\r" + m + m);
    ASSERT_EQ(cell.content.size(), 2u);
    EXPECT_EQ(cell.content[0].paragraph.runs.at(1), logo);
    EXPECT_EQ(cell.content[1].paragraph.runs.at(0), seal);
    EXPECT_EQ(cell.content[1].paragraph.runs.at(1).text, m);
}

// Slots share the blank cell until written: each must still behave as a cell of its own.
TEST(Table, UnwrittenSlotsReadAsTheBlankAndTablesCompareByContent) {
    Cell blank;
    blank.SetAlignment(Alignment::Center);
    Table t(3, 3, TableBehavior::Word8, blank);
    const Table& view = t;
    t.At(2, 2).InsertAfter("x");
    EXPECT_EQ(view.At(2, 2).Text(), "x");
    EXPECT_EQ(view.At(1, 1), blank);
    EXPECT_EQ(view.At(3, 3), blank);

    Table copy = t;
    copy.At(1, 1).InsertAfter("y");
    EXPECT_EQ(view.At(1, 1).Text(), "");
    EXPECT_NE(copy, t);

    Table same(3, 3, TableBehavior::Word8, blank);
    same.At(3, 3) = blank;  // written, yet equal to a slot never written
    same.At(2, 2).InsertAfter("x");
    EXPECT_EQ(same, t);

    // Merging untouched slots keeps the blank's format; merging a merged cell again leaves
    // the same table as merging once.
    t.Merge({1, 1, 2, 1});
    EXPECT_EQ(view.At(2, 1).content[0].paragraph.format.alignment, Alignment::Center);
    EXPECT_EQ(t.CellArea(2, 1), (CellRect{1, 1, 2, 1}));
    EXPECT_EQ(t.CellArea(3, 1), (CellRect{3, 1, 3, 1}));
    EXPECT_FALSE(t.IsAnchor(2, 1));
    Table once(2, 2), twice(2, 2);
    once.Merge({1, 1, 2, 2});
    twice.Merge({1, 2, 2, 2});
    twice.Merge({1, 1, 2, 2});
    EXPECT_EQ(once, twice);
}

// A writer copies a slot's text to the like slots after it: each thing that makes a slot
// write differently must end the stretch there.
TEST(Table, LikeSlotsEndWhereASlotWouldBeWrittenDifferently) {
    const auto row2 = [](const std::function<void(Table&)>& change) {
        Table t(3, 8);
        change(t);
        return std::pair{t.SlotsSharingCell(2, 2), t.LikeSlots(2, 2)};
    };
    using Result = std::pair<int, int>;
    EXPECT_EQ(row2([](Table&) {}), (Result{7, 7}));
    EXPECT_EQ(row2([](Table& t) { t.At(2, 5).InsertAfter("x"); }), (Result{3, 3}));
    EXPECT_EQ(row2([](Table& t) { t.Merge({2, 6, 3, 6}); }), (Result{4, 4}));
    EXPECT_EQ(row2([](Table& t) { t.HorizontalEdge(2, 4) = kSolidBorder; }), (Result{7, 2}));
    EXPECT_EQ(row2([](Table& t) { t.HorizontalEdge(3, 7) = kSolidBorder; }), (Result{7, 5}));
    EXPECT_EQ(row2([](Table& t) { t.VerticalEdge(2, 2) = kSolidBorder; }), (Result{7, 1}));
    EXPECT_EQ(row2([](Table& t) { t.VerticalEdge(2, 5) = kSolidBorder; }), (Result{7, 2}));
    EXPECT_EQ(row2([](Table& t) { t.VerticalEdge(2, 9) = kSolidBorder; }), (Result{7, 6}));
    EXPECT_EQ(row2([](Table& t) {
                  t.ColumnWidth(6) = {PreferredWidthType::Points, 9};
              }),
              (Result{7, 4}));
    // Another row's change does not end it.
    EXPECT_EQ(row2([](Table& t) { t.VerticalEdge(1, 5) = kSolidBorder; }), (Result{7, 7}));
}

TEST(Table, MergeThatCutsAMergedCellIsRefusedAndChangesNothing) {
    Table t(4, 4);
    t.Merge({1, 1, 3, 1});
    t.At(4, 1).InsertAfter("x");
    EXPECT_THROW(t.Merge({3, 1, 4, 2}), HostError);
    EXPECT_EQ(t.At(4, 1).Text(), "x");
    // Asked by slot and by merged cell, whichever are fewer: both ways must agree.
    t.Merge({1, 3, 1, 4});
    for (const auto& [rect, cuts] : {std::pair{CellRect{2, 1, 4, 1}, true},
                                     {CellRect{1, 1, 4, 1}, false},
                                     {CellRect{3, 1, 3, 1}, true},
                                     {CellRect{1, 4, 1, 4}, true},
                                     {CellRect{2, 2, 2, 2}, false},
                                     {CellRect{1, 1, 4, 4}, false}})
        EXPECT_EQ(t.CutsMergedCell(rect), cuts) << rect.top << "," << rect.left;
    EXPECT_THROW(t.CutsMergedCell({4, 4, 5, 4}), HostError);
    EXPECT_THROW(t.At(5, 1), HostError);
    EXPECT_THROW(t.At(1, 0), HostError);
}

TEST(Table, BorderPassSetsOuterAndInsideSegmentsAndResetsDefaults) {
    Application app;
    app.options.defaultBorderLineWidth = kLineWidth150pt;
    Table t(5, 5);
    BorderPass(app, t, {2, 2, 4, 4}, BorderSet::Outline());
    EXPECT_TRUE(t.HorizontalEdge(2, 3).Visible());   // top
    EXPECT_TRUE(t.HorizontalEdge(5, 3).Visible());   // bottom
    EXPECT_TRUE(t.VerticalEdge(3, 2).Visible());     // left
    EXPECT_TRUE(t.VerticalEdge(3, 5).Visible());     // right
    EXPECT_FALSE(t.HorizontalEdge(3, 3).Visible());  // inside
    EXPECT_FALSE(t.VerticalEdge(3, 3).Visible());
    EXPECT_FALSE(t.HorizontalEdge(2, 1).Visible());  // outside the rectangle
    EXPECT_EQ(app.options, BorderOptions{});
    BorderPass(app, t, {2, 2, 4, 4}, BorderSet::All());
    EXPECT_TRUE(t.VerticalEdge(3, 3).Visible());
}

// Each side of a rectangle whose cells all lie inside it is one line of its own segments.
TEST(Table, EachBorderOfARectangleSetsExactlyItsLineOfSegments) {
    struct Case {
        BorderType type;
        bool horizontal;
        int line;  // the row of horizontal segments or the column of vertical ones
    };
    const Case cases[] = {{BorderType::Top, true, 2},        {BorderType::Bottom, true, 4},
                          {BorderType::Horizontal, true, 3}, {BorderType::Left, false, 2},
                          {BorderType::Right, false, 4},     {BorderType::Vertical, false, 3}};
    for (const Case& k : cases) {
        Table t(4, 4);
        t.SetBorder({2, 2, 3, 3}, k.type, kSolidBorder);
        for (int r = 1; r <= 5; ++r)
            for (int c = 1; c <= 5; ++c) {
                const bool across = c >= 2 && c <= 3, along = r >= 2 && r <= 3;
                if (c <= 4) {
                    EXPECT_EQ(t.HorizontalEdge(r, c).Visible(),
                              k.horizontal && r == k.line && across)
                        << static_cast<int>(k.type) << " above " << r << "," << c;
                }
                if (r <= 4) {
                    EXPECT_EQ(t.VerticalEdge(r, c).Visible(), !k.horizontal && c == k.line && along)
                        << static_cast<int>(k.type) << " left of " << r << "," << c;
                }
            }
    }
}

TEST(Geometry, UnlistedColumnsShareWhatListedColumnsLeave) {
    Table t(1, 4);
    t.preferredWidth = {PreferredWidthType::Percent, 50};
    t.ColumnWidth(1) = {PreferredWidthType::Percent, 10};
    const auto w = ResolveColumnWidths(t, 400);
    EXPECT_DOUBLE_EQ(w[0], 20);
    EXPECT_DOUBLE_EQ(w[1], 60);
    EXPECT_DOUBLE_EQ(w[3], 60);
}

namespace {
Block Para(const std::string& text) {
    Paragraph p;
    p.Append(text);
    return Block(p);
}
std::string Texts(const Content& c) {
    std::string s;
    for (const Block& b : c) s += b.IsTable() ? "[t]" : b.paragraph.Text() + ";";
    return s;
}
}  // namespace

// A story holds its first block in place and the rest on the heap: every edit must keep the
// blocks in order whichever side of that line it crosses.
TEST(Content, EditsKeepTheBlocksInOrderAcrossTheInlineBlock) {
    Content c;
    EXPECT_TRUE(c.empty());
    c.push_back(Para("a"));
    Content one = c, moved = std::move(one);
    EXPECT_EQ(Texts(moved), "a;");
    EXPECT_TRUE(one.empty());
    c.insert(c.begin(), Para("b"));
    c.emplace_back(c.front());  // a copy of one of its own blocks, taken as the story grows
    c.insert(c.begin() + 1, Para("c"));
    EXPECT_EQ(Texts(c), "b;c;a;b;");
    c.erase(c.begin() + 1, c.begin() + 3);
    EXPECT_EQ(Texts(c), "b;b;");
    c.resize(4);
    c.erase(c.begin());
    EXPECT_EQ(Texts(c), "b;;;");
    EXPECT_THROW(c.at(3), std::out_of_range);
    Content copy = c;
    EXPECT_EQ(copy, c);
    c.clear();
    EXPECT_TRUE(c.empty());
    EXPECT_EQ(Texts(copy), "b;;;");

    // A story replaced by one that lives inside its own first block.
    Content outer;
    outer.emplace_back(std::make_unique<Table>(1, 1));
    outer.front().table->At(1, 1).content = Content{Para("x"), Para("y")};
    outer = std::move(outer.front().table->At(1, 1).content);
    EXPECT_EQ(Texts(outer), "x;y;");
}
