#include <array>
#include <string>

#include "compose/generators.h"
#include "compose/notes_text.h"
#include "doc/border_pass.h"
#include "doc/constants.h"
#include "doc/errors.h"
#include "doc/table.h"

namespace varelo::layout {

namespace {

using host::BorderSet;
using host::CellRect;
using host::CellVAlign;

struct CandidateBand {
    // Candidate-number grid: heading row h, write-in row h+1, bubble rows h+2..h+11 for
    // the digits 0..9; it ends in column K and grows to the left with the digit count.
    int h, K;
    int markColumn;
    bool centreHeading;
    // Name and class fields: a 2 x 2 label and a two-row writing line to its right.
    CellRect nameLabel, nameLine, classLabel, classLine;
    // Fill-and-notes block at (R, C), W x H: the fill label, E example columns, the notes
    // label, B notes columns.
    int R, C, W, H, E, B;
    double exampleSize;  // S
    bool centreNotes;
    int16_t curRow;  // second grid row below the block: where the objective section starts
};

// clang-format off
constexpr std::array<CandidateBand, kLayoutCount> kBands{{
    // h, K, mark column, centre heading; name label, name line, class label, class line;
    // R, C, W, H, E, B, S, centre notes, curRow
    {9, 21, 1, true,
     {12, 3, 13, 4}, {12, 5, 13, 7}, {15, 3, 16, 4}, {15, 5, 16, 7},
     22, 3, 19, 7, 3, 14, 9, false, 30},
    {9, 31, 1, true,
     {10, 4, 11, 5}, {10, 6, 11, 9}, {10, 12, 11, 13}, {10, 14, 11, 17},
     13, 3, 16, 8, 2, 12, 7.5, false, 22},
    {9, 20, 1, true,
     {12, 3, 13, 4}, {12, 5, 13, 7}, {15, 3, 16, 4}, {15, 5, 16, 7},
     22, 3, 18, 7, 3, 13, 9, false, 30},
    {9, 27, 1, true,
     {9, 3, 10, 4}, {9, 5, 10, 7}, {9, 9, 10, 10}, {9, 11, 10, 13},
     12, 3, 12, 9, 2, 8, 7.5, false, 22},
    {9, 26, 28, false,
     {9, 2, 10, 3}, {9, 4, 10, 7}, {9, 8, 10, 9}, {9, 10, 10, 13},
     12, 2, 12, 9, 2, 8, 7.5, true, 22},
    {8, 24, 26, false,
     {10, 5, 11, 6}, {10, 7, 11, 10}, {14, 5, 15, 6}, {14, 7, 15, 10},
     21, 2, 23, 6, 3, 18, 9, true, 28},
}};
// clang-format on

constexpr bool PartsFillBlocks() {
    for (const CandidateBand& b : kBands)
        if (1 + b.E + 1 + b.B != b.W) return false;
    return true;
}
static_assert(PartsFillBlocks(), "label, example, label and notes columns must fill each block");

// The 缺考 mark: the label over two columns, the bubble, and the note to candidates over
// noteColumns, in one bubble row (it has a row mark) left of the widest candidate-number grid,
// clear of the name and class fields and of the fill-and-notes block.
struct AbsentMark {
    int row, left, noteColumns;
};
constexpr std::array<AbsentMark, kLayoutCount> kAbsentMarks{
    {{19, 3, 4}, {12, 4, 4}, {19, 3, 3}, {11, 3, 4}, {11, 2, 4}, {18, 5, 4}}};

// The dialog asks for at most 12 digits; that many fit every layout beside the fields.
constexpr int kMaxDigits = 12;

const host::CharFormat kBubble12{host::kFontBubble, 12, {}};

// A closed frame with rules between the digit columns and none between the bubble rows.
constexpr BorderSet kBubbleFrame{.left = true,
                                 .right = true,
                                 .top = true,
                                 .bottom = true,
                                 .insideHorizontal = false,
                                 .insideVertical = true};

void FormatCells(host::Table& t, const CellRect& rect, const host::CharFormat& f) {
    for (const CellRect& a : t.CellsIn(rect)) t.At(a.top, a.left).ApplyCharFormat(f);
}

// Merges rect and writes the label, vertically centred.
void Label(host::Table& t, const CellRect& rect, const char* text) {
    t.Merge(rect);
    host::Cell& cell = t.At(rect.top, rect.left);
    cell.InsertAfter(text);
    cell.verticalAlignment = CellVAlign::Center;
}

void WritingLine(host::Application& app, host::Table& t, const CellRect& rect) {
    host::BorderPass(app, t, rect, BorderSet::BottomOnly());
    t.Merge(rect);
    t.At(rect.top, rect.left).verticalAlignment = CellVAlign::Center;
}

void CandidateNumberGrid(host::Application& app, host::Table& t, const CandidateBand& b, int n) {
    const int f = b.K - n + 1;
    host::BorderPass(app, t, {b.h, f, b.h + 11, b.K}, BorderSet::All());

    const CellRect heading{b.h, f, b.h, b.K};
    t.Merge(heading);
    host::Cell& head = t.At(b.h, f);
    head.InsertAfter("准 考 证 号");
    if (b.centreHeading) head.verticalAlignment = CellVAlign::Center;

    const CellRect bubbles{b.h + 2, f, b.h + 11, b.K};
    FormatCells(t, bubbles, kBubble12);
    host::BorderPass(app, t, bubbles, kBubbleFrame);

    for (int d = 0; d <= 9; ++d) t.At(b.h + 2 + d, f).InsertAfter(std::string(1, char('0' + d)));
    app.clipboard.CopyFrom(t, {bubbles.top, f, bubbles.bottom, f});
    for (int c = f + 1; c <= b.K; ++c) app.clipboard.PasteInto(t, bubbles.top, c);

    for (int r = bubbles.top; r <= bubbles.bottom; ++r) {
        host::Cell& cell = t.At(r, b.markColumn);
        cell.ApplyCharFormat(kBubble12);
        cell.SetAlignment(host::Alignment::Left);
        cell.InsertAfter("!");
    }
}

void FillAndNotes(host::Application& app, host::Table& t, const CandidateBand& b,
                  const std::string& notes) {
    const int bottom = b.R + b.H - 1;
    host::BorderPass(app, t, {b.R, b.C, bottom, b.C + b.W - 1}, BorderSet::All());

    Label(t, {b.R, b.C, bottom, b.C}, "填涂样例");

    const CellRect example{b.R, b.C + 1, bottom, b.C + b.E};
    t.Merge(example);
    host::Cell& ex = t.At(b.R, example.left);
    ex.InsertAfter("正确填涂");
    ex.InsertParagraphAfter();
    ex.InsertAfter("!");
    ex.InsertParagraphAfter();
    ex.InsertAfter("错误填涂");
    ex.InsertParagraphAfter();
    ex.InsertAfter("# $ %");
    ex.ApplyCharFormat({host::kFontSong, b.exampleSize, {}});
    // The correct-fill sample keeps the words' size; the wrong-fill samples are full size.
    ex.content[1].paragraph.ApplyCharFormat({host::kFontBubble, b.exampleSize, {}});
    ex.content[3].paragraph.ApplyCharFormat(kBubble12);
    ex.verticalAlignment = CellVAlign::Center;

    const int notesLabel = example.right + 1;
    Label(t, {b.R, notesLabel, bottom, notesLabel}, "注意事项");

    const CellRect notesRect{b.R, notesLabel + 1, bottom, notesLabel + b.B};
    t.Merge(notesRect);
    host::Cell& cell = t.At(b.R, notesRect.left);
    cell.SetAlignment(host::Alignment::Left);
    cell.ApplyCharFormat({{}, 7.5, {}});
    InsertLines(cell, notes);
    if (b.centreNotes) cell.verticalAlignment = CellVAlign::Center;
    app.selection.SelectCells(t, notesRect);
}

void AbsentMarkField(host::Table& t, const AbsentMark& m) {
    Label(t, {m.row, m.left, m.row, m.left + 1}, "缺考");
    host::Cell& bubble = t.At(m.row, m.left + 2);
    PutText(bubble, kBubble12, host::kEmptyBubble);
    const CellRect note{m.row, m.left + 3, m.row, m.left + 2 + m.noteColumns};
    t.Merge(note);
    host::Cell& cell = t.At(m.row, note.left);
    PutText(cell, {{}, 7.5, {}}, "（考生禁填）");
    cell.SetAlignment(host::Alignment::Left);
    cell.verticalAlignment = CellVAlign::Center;
}

}  // namespace

void BuildCandidateInfo(SheetJob& job, exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    const std::string notes = BuildNotesText();
    const int n = job.exam.digits.value;
    if (layoutCode < 1 || layoutCode > kLayoutCount) return;
    // Fewer than one digit has no grid; more than the dialog's limit runs into the fields.
    if (n < 1 || n > kMaxDigits)
        throw host::HostError(host::kErrInvalidArgument, "Invalid procedure call or argument");

    const CandidateBand& b = kBands[layoutCode - 1];
    host::Application& app = job.app;
    host::Table& t = job.doc.Tables(1);

    CandidateNumberGrid(app, t, b, n);

    Label(t, b.nameLabel, "姓名");
    WritingLine(app, t, b.nameLine);
    Label(t, b.classLabel, "班级");
    WritingLine(app, t, b.classLine);

    if (job.exam.marks.absent) AbsentMarkField(t, kAbsentMarks[layoutCode - 1]);

    FillAndNotes(app, t, b, notes);
    job.curRow = b.curRow;
}

int16_t ObjectiveStartRow(exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    return layoutCode >= 1 && layoutCode <= kLayoutCount ? kBands[layoutCode - 1].curRow : 0;
}

host::CellRect AbsentBubbleCell(exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    if (layoutCode < 1 || layoutCode > kLayoutCount) return {0, 0, 0, 0};
    const AbsentMark& m = kAbsentMarks[layoutCode - 1];
    return {m.row, m.left + 2, m.row, m.left + 2};
}

host::CellRect CandidateBubbleArea(exam::Layout layout, int digits) {
    const int16_t layoutCode = exam::Code(layout);
    if (layoutCode < 1 || layoutCode > kLayoutCount || digits < 1 || digits > kMaxDigits)
        return {0, 0, 0, 0};
    const CandidateBand& b = kBands[layoutCode - 1];
    return {b.h + 2, b.K - digits + 1, b.h + 11, b.K};
}

}  // namespace varelo::layout
