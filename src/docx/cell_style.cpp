// The paragraph style of table cells. Most cells of a page grid hold one empty paragraph,
// nearly all in one format: styles.xml states that format once, and the cells name it.

#include <utility>
#include <vector>

#include "docx/parts.h"

namespace varelo::host::docx {

namespace {

struct Tally {
    std::vector<std::pair<ParagraphFormat, long>> formats;
    size_t last = 0;  // neighbouring cells nearly always share their format
};

// Grid snapping is off in every cell whatever the paragraph says, so it is no part of the key.
bool SameInCell(const ParagraphFormat& a, const ParagraphFormat& b) {
    return a.alignment == b.alignment && a.lineSpacingRule == b.lineSpacingRule &&
           a.lineSpacing == b.lineSpacing && a.spaceBefore == b.spaceBefore &&
           a.spaceAfter == b.spaceAfter;
}

// Counts a paragraph `times` times over.
void Count(const host::Paragraph& p, Tally& tally, long times) {
    if (p.style != StyleId::Normal) return;
    auto& formats = tally.formats;
    if (tally.last < formats.size() && SameInCell(formats[tally.last].first, p.format)) {
        formats[tally.last].second += times;
        return;
    }
    for (size_t i = 0; i < formats.size(); ++i)
        if (SameInCell(formats[i].first, p.format)) {
            formats[i].second += times;
            tally.last = i;
            return;
        }
    tally.last = formats.size();
    formats.emplace_back(p.format, times);
    formats.back().first.snapToGrid = false;
}

void CountContent(const Content& content, bool inCell, Tally& tally, long times = 1);

// Every slot is counted as it is written: an anchor with all its paragraphs, a continuation
// of a vertical merge as the anchor's first paragraph. A row's neighbouring slots mostly
// share one blank cell: such a stretch is counted once, times its length.
void CountTable(const Table& t, Tally& tally) {
    for (int r = 1; r <= t.Rows(); ++r)
        for (int c = 1; c <= t.Columns();) {
            const CellRect a = t.CellArea(r, c);
            const Content& content = t.At(r, c).content;
            if (const int stretch = t.SlotsSharingCell(r, c)) {
                CountContent(content, true, tally, stretch);
                c += stretch;
                continue;
            }
            if (r == a.top) {
                CountContent(content, true, tally);
            } else {
                for (const Block& b : content)
                    if (!b.IsTable()) {
                        Count(b.paragraph, tally, 1);
                        break;
                    }
            }
            c = a.right + 1;
        }
}

void CountContent(const Content& content, bool inCell, Tally& tally, long times) {
    for (const Block& b : content) {
        if (b.IsTable())
            for (long i = 0; i < times; ++i) CountTable(*b.table, tally);
        else if (inCell)
            Count(b.paragraph, tally, times);
    }
}

}  // namespace

std::optional<ParagraphFormat> CellParagraphFormat(const Document& doc) {
    Tally tally;
    CountContent(doc.body, false, tally);
    const std::pair<ParagraphFormat, long>* best = nullptr;
    for (const auto& entry : tally.formats)
        if (!best || entry.second > best->second) best = &entry;
    if (!best) return std::nullopt;
    return best->first;
}

}  // namespace varelo::host::docx
