#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <utility>
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

// The digit count moves only the number grid: with any count from 1 to 12 the fields and the
// fill-and-notes block stand where they stand with 9, whole, and the band ends on the same row.
TEST(CandidateInfo, DigitCountLeavesTheFieldsAndTheNotesWhereTheyAre) {
    const auto band = [](int16_t code, int digits) {
        SheetFixture s;
        s.exam.digits = {digits, std::to_string(digits)};
        s.Build(code);
        std::map<std::string, host::CellRect> labels;
        const host::Table& t = s.Grid();
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c)
                if (t.IsAnchor(r, c))
                    for (const char* label : {"姓名", "班级", "填涂样例", "注意事项"})
                        if (t.At(r, c).Text() == label) labels[label] = t.CellArea(r, c);
        return std::pair(labels, s.job->curRow);
    };
    for (int16_t code = 1; code <= exam::kLayoutCount; ++code) {
        const auto nine = band(code, 9);
        ASSERT_EQ(nine.first.size(), 4u) << code;
        for (int digits = 1; digits <= 12; ++digits)
            EXPECT_EQ(band(code, digits), nine) << code << ": " << digits;
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
