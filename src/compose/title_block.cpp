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

// The paper types stand at the block's right end, under a heading: per type a label ("A卷")
// over two columns and its bubble. The block gives up as many columns on its left too, so the
// title stays centred on the page column.
constexpr int kPaperTypeColumns = 3;
constexpr int kPaperTypeTopOffset = 1;  // the heading's row below the block's first

const host::CharFormat kBubble12{host::kFontBubble, 12, {}};

void PaperTypes(host::Table& t, const host::CellRect& block, const std::string& types) {
    const int left = block.right + 1;
    const int top = block.top + kPaperTypeTopOffset;
    const host::CellRect heading{top, left, top, left + kPaperTypeColumns - 1};
    t.Merge(heading);
    PutText(t.At(top, left), {{}, 9, {}}, "试卷类型");
    for (size_t i = 0; i < types.size(); ++i) {
        const int row = top + 1 + static_cast<int>(i);
        t.Merge({row, left, row, left + 1});
        PutText(t.At(row, left), {{}, 10.5, {}}, std::string(1, types[i]) + "卷");
        PutText(t.At(row, left + 2), kBubble12, std::string(1, types[i]));
    }
}

}  // namespace

host::CellRect PaperTypeBubble(exam::Layout layout, int index) {
    const int16_t layoutCode = exam::Code(layout);
    if (layoutCode < 1 || layoutCode > kLayoutCount) return {0, 0, 0, 0};
    const TitlePlace& at = kPlaces[layoutCode - 1];
    const int row = at.row + kPaperTypeTopOffset + 1 + index;
    const int column = at.column + at.extendRight;
    return {row, column, row, column};
}

void BuildTitleBlock(SheetJob& job, exam::Layout layout) {
    const int16_t layoutCode = exam::Code(layout);
    host::Document& doc = job.doc;
    DefineHeading(doc.GetStyle(host::StyleId::Heading1), host::kFontHei, 20, true);
    DefineHeading(doc.GetStyle(host::StyleId::Heading2), host::kFontSong, 17, false);
    if (layoutCode < 1 || layoutCode > kLayoutCount) return;

    const TitlePlace& at = kPlaces[layoutCode - 1];
    const int spare = job.exam.marks.paperTypes.empty() ? 0 : kPaperTypeColumns;
    const host::CellRect block{at.row, at.column + spare, at.row + kBlockRows - 1,
                               at.column + at.extendRight - spare};
    host::Table& t = doc.Tables(1);
    if (spare > 0) PaperTypes(t, block, job.exam.marks.paperTypes);
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
