#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "compose/notes_text.h"
#include "doc/errors.h"
#include "sheet_fixture.h"

using namespace varelo;
using fixture::SheetFixture;
using host::CellRect;
using host::CellVAlign;

namespace {

struct Band {
    int16_t code;
    int h, K, markColumn;
    bool centreHeading;
    CellRect nameLabel, nameLine, classLabel, classLine;
    CellRect block;  // fill-and-notes block
    int exampleColumns;
    double exampleSize;
    bool centreNotes;
    int16_t curRow;
    int firstColumnFor12;
};

// clang-format off
const std::vector<Band> kBands{
    {1, 9, 21, 1, true, {12, 3, 13, 4}, {12, 5, 13, 7}, {15, 3, 16, 4}, {15, 5, 16, 7},
     {22, 3, 28, 21}, 3, 9, false, 30, 10},
    {2, 9, 31, 1, true, {10, 4, 11, 5}, {10, 6, 11, 9}, {10, 12, 11, 13}, {10, 14, 11, 17},
     {13, 3, 20, 18}, 2, 7.5, false, 22, 20},
    {3, 9, 20, 1, true, {12, 3, 13, 4}, {12, 5, 13, 7}, {15, 3, 16, 4}, {15, 5, 16, 7},
     {22, 3, 28, 20}, 3, 9, false, 30, 9},
    {4, 9, 27, 1, true, {9, 3, 10, 4}, {9, 5, 10, 7}, {9, 9, 10, 10}, {9, 11, 10, 13},
     {12, 3, 20, 14}, 2, 7.5, false, 22, 16},
    {5, 9, 26, 28, false, {9, 2, 10, 3}, {9, 4, 10, 7}, {9, 8, 10, 9}, {9, 10, 10, 13},
     {12, 2, 20, 13}, 2, 7.5, true, 22, 15},
    {6, 8, 24, 26, false, {10, 5, 11, 6}, {10, 7, 11, 10}, {14, 5, 15, 6}, {14, 7, 15, 10},
     {21, 2, 26, 24}, 3, 9, true, 28, 13},
};
// clang-format on

const host::CharFormat kBubble12{host::kFontBubble, 12, {}};

bool Solid(const host::Border& b) {
    return b == host::kSolidBorder;
}

std::vector<std::string> Paragraphs(const host::Cell& cell) {
    std::vector<std::string> v;
    for (const host::Block& b : cell.content) v.push_back(b.paragraph.Text());
    return v;
}

void ExpectCandidateGrid(const host::Table& t, const Band& b, int n) {
    const int h = b.h, f = b.K - n + 1;
    EXPECT_EQ(t.CellArea(h, f), (CellRect{h, f, h, b.K}));
    EXPECT_EQ(t.At(h, f).Text(), "准 考 证 号");
    EXPECT_EQ(t.At(h, f).verticalAlignment, b.centreHeading ? CellVAlign::Center : CellVAlign::Top);
    for (int c = f; c <= b.K; ++c) {
        EXPECT_EQ(t.CellArea(h + 1, c), (CellRect{h + 1, c, h + 1, c}));
        EXPECT_TRUE(t.At(h + 1, c).Empty());
        EXPECT_TRUE(Solid(t.HorizontalEdge(h, c)) && Solid(t.HorizontalEdge(h + 1, c)));
        EXPECT_TRUE(Solid(t.HorizontalEdge(h + 2, c)) && Solid(t.HorizontalEdge(h + 12, c)));
        for (int d = 0; d <= 9; ++d) {
            const host::Paragraph& p = t.At(h + 2 + d, c).content.at(0).paragraph;
            EXPECT_EQ(p.runs, (std::vector<host::Run>{{std::string(1, char('0' + d)), kBubble12}}))
                << "row " << h + 2 + d << " column " << c;
            // No rule between two bubble rows.
            if (d > 0) {
                EXPECT_FALSE(t.HorizontalEdge(h + 2 + d, c).Visible());
            }
        }
    }
    for (int r = h + 1; r <= h + 11; ++r)
        for (int c = f; c <= b.K + 1; ++c)
            EXPECT_TRUE(Solid(t.VerticalEdge(r, c))) << r << "," << c;
    for (int r = h + 2; r <= h + 11; ++r) {
        const host::Paragraph& p = t.At(r, b.markColumn).content.at(0).paragraph;
        EXPECT_EQ(p.runs, (std::vector<host::Run>{{"!", kBubble12}}));
        EXPECT_EQ(p.format.alignment, host::Alignment::Left);
    }
}

void ExpectFields(const host::Table& t, const Band& b) {
    for (const auto& [rect, text] :
         {std::pair(b.nameLabel, "姓名"), std::pair(b.classLabel, "班级")}) {
        EXPECT_EQ(t.CellArea(rect.top, rect.left), rect);
        EXPECT_EQ(t.At(rect.top, rect.left).Text(), text);
        EXPECT_EQ(t.At(rect.top, rect.left).verticalAlignment, CellVAlign::Center);
    }
    for (const CellRect& line : {b.nameLine, b.classLine}) {
        EXPECT_EQ(t.CellArea(line.top, line.left), line);
        EXPECT_EQ(t.At(line.top, line.left).verticalAlignment, CellVAlign::Center);
        for (int c = line.left; c <= line.right; ++c) {
            EXPECT_TRUE(Solid(t.HorizontalEdge(line.bottom + 1, c)));
            EXPECT_FALSE(t.HorizontalEdge(line.top, c).Visible());
        }
        EXPECT_FALSE(t.VerticalEdge(line.top, line.left).Visible());
        EXPECT_FALSE(t.VerticalEdge(line.bottom, line.right + 1).Visible());
    }
}

void ExpectFillAndNotes(const host::Table& t, const Band& b) {
    const CellRect& k = b.block;
    const int example = k.left + 1, notesLabel = k.left + b.exampleColumns + 1;
    const std::vector<CellRect> parts{{k.top, k.left, k.bottom, k.left},
                                      {k.top, example, k.bottom, notesLabel - 1},
                                      {k.top, notesLabel, k.bottom, notesLabel},
                                      {k.top, notesLabel + 1, k.bottom, k.right}};
    for (const CellRect& p : parts) {
        EXPECT_EQ(t.CellArea(p.top, p.left), p);
        for (int r = p.top; r <= p.bottom; ++r) EXPECT_TRUE(Solid(t.VerticalEdge(r, p.left)));
        for (int c = p.left; c <= p.right; ++c)
            EXPECT_TRUE(Solid(t.HorizontalEdge(p.top, c)) &&
                        Solid(t.HorizontalEdge(p.bottom + 1, c)));
    }
    EXPECT_TRUE(Solid(t.VerticalEdge(k.bottom, k.right + 1)));

    for (const auto& [column, text] :
         {std::pair(k.left, "填涂样例"), std::pair(notesLabel, "注意事项")}) {
        const host::Cell& cell = t.At(k.top, column);
        EXPECT_EQ(cell.Text(), text);
        EXPECT_EQ(cell.content[0].paragraph.runs[0].format, host::CharFormat{});
        EXPECT_EQ(cell.verticalAlignment, CellVAlign::Center);
    }

    const host::Cell& ex = t.At(k.top, example);
    EXPECT_EQ(Paragraphs(ex), (std::vector<std::string>{"正确填涂", "!", "错误填涂", "# $ %"}));
    const std::vector<host::CharFormat> looks{{host::kFontSong, b.exampleSize, {}},
                                              {host::kFontBubble, b.exampleSize, {}},
                                              {host::kFontSong, b.exampleSize, {}},
                                              kBubble12};
    for (size_t i = 0; i < ex.content.size() && i < looks.size(); ++i) {
        const host::Paragraph& p = ex.content[i].paragraph;
        EXPECT_EQ(p.runs.at(0).format, looks[i]) << i;
        EXPECT_EQ(p.format.alignment, host::Alignment::Center);
        EXPECT_EQ(p.format.lineSpacingRule, host::LineSpacingRule::Exactly);
    }
    EXPECT_EQ(ex.verticalAlignment, CellVAlign::Center);

    const host::Cell& notes = t.At(k.top, notesLabel + 1);
    EXPECT_EQ(notes.verticalAlignment, b.centreNotes ? CellVAlign::Center : CellVAlign::Top);
    EXPECT_EQ(Paragraphs(notes).size(), 4u);
    for (const host::Block& blk : notes.content) {
        const host::Paragraph& p = blk.paragraph;
        EXPECT_EQ(p.format.alignment, host::Alignment::Left);
        EXPECT_EQ(p.format.lineSpacingRule, host::LineSpacingRule::Exactly);
        EXPECT_EQ(p.format.lineSpacing, 12);
        EXPECT_EQ(p.runs.at(0).format, (host::CharFormat{{}, 7.5, {}}));
    }
}

}  // namespace

// Layout 1 with the dialog's nine digits is the worked example: grid in columns 13-21 of
// rows 9-20, fields at the left, the fill-and-notes block in rows 22-28, curRow 30. Twelve
// digits still leave the fields and the block as they are.
TEST(CandidateInfo, BandPerLayoutAndDigitCount) {
    for (const Band& b : kBands)
        for (const int n : {9, 12, 1, 2}) {
            SCOPED_TRACE(std::to_string(b.code) + ": " + std::to_string(n));
            SheetFixture s;
            s.exam.digits = {n, std::to_string(n)};
            s.Build(b.code, SheetFixture::kTitleBlock);
            s.app.options = {host::kLineStyleNone, host::kLineWidth150pt, 0};
            layout::BuildCandidateInfo(*s.job, static_cast<exam::Layout>(b.code));
            const host::Table& t = s.Grid();
            ExpectCandidateGrid(t, b, n);
            if (n == 12) {
                EXPECT_EQ(t.CellArea(b.h, b.K).left, b.firstColumnFor12);
            } else {
                EXPECT_TRUE(t.At(b.h + 2, b.K - n).Empty());
            }
            ExpectFields(t, b);
            ExpectFillAndNotes(t, b);
            EXPECT_EQ(s.job->curRow, b.curRow);
            EXPECT_EQ(layout::ObjectiveStartRow(static_cast<exam::Layout>(b.code)), b.curRow);
            EXPECT_EQ(s.app.options, host::BorderOptions{});
        }
}

TEST(CandidateInfo, RefusedDigitCountOrUnknownLayoutWritesNothing) {
    const int kInvalid = host::kErrInvalidArgument;
    const std::vector<std::tuple<int, int16_t, int>> cases{
        {0, 1, kInvalid}, {13, 2, kInvalid}, {-3, 1, kInvalid}, {9, 7, 0}, {9, 0, 0}};
    for (const auto& [digits, code, error] : cases) {
        SCOPED_TRACE(std::to_string(digits) + " in layout " + std::to_string(code));
        SheetFixture s;
        s.Build(1, SheetFixture::kTitleBlock);
        s.exam.digits = {digits, std::to_string(digits)};
        s.job->curRow = -5;
        const host::Table before = s.Grid();
        int thrown = 0;
        try {
            layout::BuildCandidateInfo(*s.job, static_cast<exam::Layout>(code));
        } catch (const host::HostError& e) {
            thrown = e.Number();
        }
        EXPECT_EQ(thrown, error);
        EXPECT_TRUE(s.Grid() == before);
        EXPECT_EQ(s.job->curRow, -5);
    }
}

TEST(CandidateInfo, NotesAreFourLinesJoinedByThreeLineBreaks) {
    const std::string text = layout::BuildNotesText();
    size_t pairs = 0;
    for (size_t i = text.find("\r\n"); i != std::string::npos; i = text.find("\r\n", i + 2))
        ++pairs;
    EXPECT_EQ(pairs, 3u);
    EXPECT_NE(text.back(), '\n');

    SheetFixture s;
    s.Build(1);
    std::string joined;
    for (const std::string& line : Paragraphs(s.Grid().At(22, 8)))
        joined += (joined.empty() ? "" : "\r\n") + line;
    EXPECT_EQ(joined, text);
}
