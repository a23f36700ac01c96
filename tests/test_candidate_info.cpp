#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "compose/notes_text.h"
#include "doc/errors.h"
#include "sheet_fixture.h"

using namespace varelo;
using fixture::SheetFixture;

namespace {

std::vector<std::string> Paragraphs(const host::Cell& cell) {
    std::vector<std::string> v;
    for (const host::Block& b : cell.content) v.push_back(b.paragraph.Text());
    return v;
}

}  // namespace

// The objective section starts where the candidate band ends, whatever the digit count, and the
// band leaves the border options as it found them.
TEST(CandidateInfo, BandEndsWhereTheObjectiveSectionStartsAndRestoresTheBorderOptions) {
    for (int16_t code = 1; code <= exam::kLayoutCount; ++code)
        for (const int n : {1, 9, 12}) {
            SCOPED_TRACE(std::to_string(code) + ": " + std::to_string(n));
            SheetFixture s;
            s.exam.digits = {n, std::to_string(n)};
            s.Build(code, SheetFixture::kTitleBlock);
            s.app.options = {host::kLineStyleNone, host::kLineWidth150pt, 0};
            const auto layout = static_cast<exam::Layout>(code);
            layout::BuildCandidateInfo(*s.job, layout);
            EXPECT_EQ(s.job->curRow, layout::ObjectiveStartRow(layout));
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
