#include <array>

#include "compose/generators.h"
#include "doc/constants.h"
#include "doc/document.h"
#include "doc/table.h"

namespace varelo::layout {

namespace {

// Where the seven-row block starts and how many cells it spreads to the right of its
// first one; in layouts 1 to 4 it spans the first page column below the grid's first row.
struct TitlePlace {
    int row, column, extendRight;
};

constexpr int kBlockRows = 7;

constexpr std::array<TitlePlace, kLayoutCount> kPlaces{{
    {2, 3, 18},
    {2, 3, 28},
    {2, 3, 17},
    {2, 3, 24},
    {1, 3, 23},
    {1, 3, 21},
}};

void DefineHeading(host::Style& s, const char* font, double size, bool bold) {
    s.font = font;
    s.size = size;
    s.bold = bold;
    s.paragraph.alignment = host::Alignment::Center;
    s.paragraph.lineSpacingRule = host::LineSpacingRule::Single;
    s.paragraph.lineSpacing = 12;  // what single spacing reports
    s.paragraph.spaceBefore = 0;
    s.paragraph.spaceAfter = 0;
}

}  // namespace

void BuildTitleBlock(SheetJob& job, exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    host::Document& doc = job.doc;
    DefineHeading(doc.GetStyle(host::StyleId::Heading1), host::kFontHei, 20, true);
    DefineHeading(doc.GetStyle(host::StyleId::Heading2), host::kFontSong, 17, false);
    if (layoutCode < 1 || layoutCode > kLayoutCount) return;

    const TitlePlace& at = kPlaces[layoutCode - 1];
    const host::CellRect block{at.row, at.column, at.row + kBlockRows - 1,
                               at.column + at.extendRight};
    host::Table& t = doc.Tables(1);
    t.Merge(block);
    host::Cell& cell = t.At(block.top, block.left);
    cell.InsertAfter(job.exam.title);
    cell.InsertParagraphAfter();
    cell.InsertAfter(job.exam.subtitle + "（答题卡）");
    cell.InsertParagraphAfter();
    cell.InsertAfter("命题人：" + job.exam.setter);

    for (host::Block& b : cell.content)
        if (!b.IsTable()) host::ApplyStyle(doc, b.paragraph, host::StyleId::Heading2);

    // The subtitle and setter lines are the block's last two paragraphs, whatever the title holds.
    const size_t n = cell.content.size();
    cell.content[n - 2].paragraph.ApplyCharFormat({host::kFontHei, 20, {}});
    cell.content[n - 1].paragraph.ApplyCharFormat({host::kFontKai, 10, {}});
    job.app.selection.SelectCells(t, block);
}

}  // namespace varelo::layout
