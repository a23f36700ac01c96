#include "doc/page_layout.h"

#include <algorithm>
#include <numeric>

#include "doc/geometry.h"

namespace varelo::host {

namespace {

// A row fits when it ends no further than this below the text area (rounding of lengths).
constexpr double kFitTolerance = 0.01;

// The natural line height of text without font metrics, relative to the font size.
constexpr double kEstimatedLineHeight = 1.2;

double AlignedLeft(RowAlignment alignment, double left, double available, double width) {
    switch (alignment) {
        case RowAlignment::Center:
            return left + (available - width) / 2;
        case RowAlignment::Right:
            return left + available - width;
        case RowAlignment::Left:
            break;
    }
    return left;
}

bool IsLineEnd(char c) {
    return c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

}  // namespace

std::optional<PageRect> PlacedTable::CellRect(int r, int c) const {
    if (!table || r < 1 || c < 1 || r > table->Rows() || c > table->Columns()) return std::nullopt;
    const host::CellRect area = table->CellArea(r, c);
    const int page = RowPage(area.top);
    int bottom = area.top;
    while (bottom < area.bottom && RowPage(bottom + 1) == page) ++bottom;
    const double x = ColumnLeft(area.left);
    const double y = RowTop(area.top);
    return PageRect{page, x, y, ColumnLeft(area.right + 1) - x,
                    RowTop(bottom) + RowHeight(bottom) - y};
}

ParagraphMetrics EstimateParagraph(const Document& doc, const Paragraph& p, double) {
    ParagraphMetrics m;
    m.spaceBefore = std::max(0.0, p.format.spaceBefore);
    m.spaceAfter = std::max(0.0, p.format.spaceAfter);

    std::vector<double> sizes(1, doc.Resolve(p, p.markFormat).size.value_or(10.5));
    for (const Run& run : p.runs) {
        const double size = doc.Resolve(p, run.format).size.value_or(10.5);
        for (size_t i = 0; i < run.text.size(); ++i) {
            const char ch = run.text[i];
            if (IsLineEnd(ch)) {
                if (ch == '\n' && i > 0 && run.text[i - 1] == '\r')
                    continue;  // CR LF ends one line
                sizes.push_back(doc.Resolve(p, p.markFormat).size.value_or(10.5));
                continue;
            }
            if (ch != ' ' && ch != '\t') m.visible = true;
            sizes.back() = std::max(sizes.back(), size);
        }
    }
    for (const double size : sizes) {
        const double natural = std::max(0.0, size) * kEstimatedLineHeight;
        double h = natural;
        switch (p.format.lineSpacingRule) {
            case LineSpacingRule::Exactly:
                h = std::max(0.0, p.format.lineSpacing);
                break;
            case LineSpacingRule::AtLeast:
                h = std::max(natural, p.format.lineSpacing);
                break;
            case LineSpacingRule::OnePtFive:
                h = natural * 1.5;
                break;
            case LineSpacingRule::Double:
                h = natural * 2;
                break;
            case LineSpacingRule::Multiple:
                h = p.format.lineSpacing > 0 ? natural * p.format.lineSpacing / 12.0 : natural;
                break;
            case LineSpacingRule::Single:
                break;
        }
        m.lineHeights.push_back(h);
    }
    return m;
}

PageLayout LayOutPages(const Document& doc, const ParagraphMeasure& measure) {
    PageLayout out;
    const PageSetup& ps = doc.pageSetup;
    out.pageWidth = ps.pageWidth;
    out.pageHeight = ps.pageHeight;
    const double textLeft = ps.leftMargin + (ps.gutterPos == kGutterPosLeft ? ps.gutter : 0);
    const double textWidth = std::max(0.0, ps.TextWidth());
    const double top = ps.topMargin;
    const double bottom = ps.pageHeight - ps.bottomMargin;

    int page = 0;
    double y = top;
    // Something that does not fit goes to the next page, unless the page is still empty.
    const auto place = [&](double height) {
        if (y + height > bottom + kFitTolerance && y > top + kFitTolerance) {
            ++page;
            y = top;
        }
    };

    for (size_t i = 0; i < doc.body.size(); ++i) {
        const Block& block = doc.body[i];
        if (block.IsTable()) {
            const Table& t = *block.table;
            PlacedTable pt;
            pt.table = &t;
            pt.block = i;
            const std::vector<double> widths = ResolveColumnWidths(t, textWidth);
            const double tableWidth = std::accumulate(widths.begin(), widths.end(), 0.0);
            pt.columnX.assign(widths.size() + 1,
                              AlignedLeft(t.rowAlignment, textLeft, textWidth, tableWidth));
            for (size_t c = 0; c < widths.size(); ++c)
                pt.columnX[c + 1] = pt.columnX[c] + widths[c];
            pt.rowHeight = ResolveRowHeights(t);
            for (const double h : pt.rowHeight) {
                place(h);
                pt.rowPage.push_back(page);
                pt.rowTop.push_back(y);
                y += h;
            }
            out.tables.push_back(std::move(pt));
            continue;
        }
        const ParagraphMetrics m = measure ? measure(block.paragraph, textWidth)
                                           : EstimateParagraph(doc, block.paragraph, textWidth);
        PlacedParagraph pp;
        pp.block = i;
        pp.x = textLeft;
        // The story's closing empty paragraph never opens a page of its own.
        const bool closing = i + 1 == doc.body.size() && !m.visible;
        y += m.spaceBefore;
        for (const double h : m.lineHeights) {
            if (closing && y + h > bottom + kFitTolerance) break;
            place(h);
            pp.lines.emplace_back(page, y);
            y += h;
        }
        y += m.spaceAfter;
        out.paragraphs.push_back(std::move(pp));
    }
    out.pageCount = page + 1;
    return out;
}

}  // namespace varelo::host
