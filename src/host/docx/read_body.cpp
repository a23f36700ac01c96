#include "host/docx/read_body.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/docx/parts.h"
#include "host/docx/reader.h"
#include "host/docx/sliver_columns.h"
#include "host/docx/style_sheet.h"
#include "host/docx/xml.h"
#include "host/table.h"

namespace varelo::host::docx {

namespace {

// Word's largest page side, 22 inches; no length of a sheet comes near it.
constexpr long kMaxTwips = 31680;
constexpr long kMaxHalfPoints = 3276;  // 1638 pt, Word's largest font size
// The file's grid before rounding slivers are folded; the table itself has at most 63.
constexpr long kMaxGridColumns = 1024;
// How far the columns of a table of stated width may fall short of it or overrun it.
constexpr double kFillTolerance = 0.005;

[[noreturn]] void Damaged(const std::string& what) {
    throw OpenError("The document is damaged: " + what + ".");
}

// An integer attribute within [lo, hi], or nothing.
std::optional<long> Int(pugi::xml_node n, const char* name, long lo, long hi) {
    const pugi::xml_attribute a = n.attribute(name);
    if (!a) return std::nullopt;
    const long long v = a.as_llong(lo - 1);
    if (v < lo || v > hi) return std::nullopt;
    return static_cast<long>(v);
}

double Points(long twips) {
    return static_cast<double>(twips) / 20.0;
}

Border ReadBorder(pugi::xml_node b) {
    Border border;
    border.lineStyle = ParseBorderVal(b.attribute("w:val").value());
    border.lineWidth = static_cast<int>(Int(b, "w:sz", 0, 96).value_or(kLineWidth050pt));
    border.color = ParseColor(b.attribute("w:color").value());
    return border;
}

PreferredWidth ReadWidth(pugi::xml_node w) {
    const std::string_view type = w.attribute("w:type").value();
    if (type == "pct") {
        if (const auto v = Int(w, "w:w", 0, 50000)) return {PreferredWidthType::Percent, *v / 50.0};
    } else if (type == "dxa") {
        if (const auto v = Int(w, "w:w", 0, 2 * kMaxTwips))
            return {PreferredWidthType::Points, Points(*v)};
    }
    return {};
}

// The cells of one w:tr as the file states them, before merging.
struct RawCell {
    pugi::xml_node tc, tcPr;
    int column = 1;  // 1-based grid column of its left edge
    int span = 1;
    bool continues = false;  // a vMerge continuation
    int cell = -1;           // index of the merged cell it belongs to
};

struct MergedCell {
    CellRect rect;
    pugi::xml_node anchor, tcPr;
};

// What the surface does not model, by element, as the message names it. Anything not
// listed here and not read is named by its element.
struct Unmodelled {
    const char* element;
    const char* what;  // nullptr: nothing is lost (markers the save may drop)
};
constexpr Unmodelled kUnmodelled[] = {
    {"w:bookmarkStart", nullptr},
    {"w:bookmarkEnd", nullptr},
    {"w:proofErr", nullptr},
    {"w:permStart", nullptr},
    {"w:permEnd", nullptr},
    {"w:lastRenderedPageBreak", nullptr},
    {"w:softHyphen", nullptr},
    {"w:drawing", "pictures or text boxes"},
    {"w:pict", "pictures or text boxes"},
    {"w:object", "embedded objects"},
    {"mc:AlternateContent", "pictures or text boxes"},
    {"w:hyperlink", "hyperlinks"},
    {"w:fldSimple", "fields"},
    {"w:fldChar", "fields"},
    {"w:instrText", "fields"},
    {"w:ins", "tracked changes"},
    {"w:del", "tracked changes"},
    {"w:moveFrom", "tracked changes"},
    {"w:moveTo", "tracked changes"},
    {"w:delText", "tracked changes"},
    {"w:pPrChange", "tracked changes"},
    {"w:rPrChange", "tracked changes"},
    {"w:commentRangeStart", "comments"},
    {"w:commentRangeEnd", "comments"},
    {"w:commentReference", "comments"},
    {"w:annotationRef", "comments"},
    {"w:footnoteReference", "footnotes and endnotes"},
    {"w:endnoteReference", "footnotes and endnotes"},
    {"w:sdt", "content controls"},
    {"w:customXml", "content controls"},
    {"w:smartTag", "content controls"},
    {"w:altChunk", "embedded documents"},
    {"m:oMath", "equations"},
    {"m:oMathPara", "equations"},
    {"w:sym", "symbols"},
    {"w:numPr", "list numbering"},
    {"w:sectPr", "section breaks"},
    {"w:framePr", "text frames"},
    {"w:headerReference", "headers and footers"},
    {"w:footerReference", "headers and footers"},
    {"w:pgBorders", "page borders"},
    {"w:lnNumType", "line numbers"},
};

class BodyReader {
  public:
    BodyReader(Document& doc, const StyleSheet& styles) : doc_(doc), styles_(styles) {}

    void Read(pugi::xml_node body) {
        Content content = ReadContent(body, 0, false);
        // The body is a story: it ends with a paragraph.
        if (content.empty() || content.back().IsTable()) content.emplace_back();
        doc_.body = std::move(content);
        ReadSection(body.child("w:sectPr"));
        for (Block& b : doc_.body)
            if (b.IsTable()) FillStatedWidth(*b.table, doc_.pageSetup.TextWidth());
    }

  private:
    // Notes what an element holds that the surface cannot keep.
    void Unknown(pugi::xml_node n) {
        if (n.type() != pugi::node_element) return;
        std::string what = n.name();
        for (const Unmodelled& u : kUnmodelled) {
            if (what != u.element) continue;
            if (!u.what) return;
            what = u.what;
            break;
        }
        if (std::find(doc_.unmodelled.begin(), doc_.unmodelled.end(), what) ==
            doc_.unmodelled.end())
            doc_.unmodelled.push_back(std::move(what));
    }

    Content ReadContent(pugi::xml_node parent, int depth, bool inCell) {
        Content content;
        for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
            const char* name = n.name();
            if (std::strcmp(name, "w:p") == 0) {
                if (++paragraphs_ > kMaxDocxParagraphs) OverLimit(kMaxDocxParagraphs, "paragraphs");
                content.emplace_back(ReadParagraph(n, inCell));
            } else if (std::strcmp(name, "w:tbl") == 0) {
                if (depth >= kMaxDocxTableDepth)
                    OverLimit(kMaxDocxTableDepth, "levels of tables nested in tables");
                content.emplace_back(ReadTable(n, depth + 1));
            } else if (std::strcmp(name, "w:tcPr") == 0 ||
                       (std::strcmp(name, "w:sectPr") == 0 && depth == 0 && !inCell &&
                        !n.next_sibling())) {
                // Read by the cell and the section.
            } else {
                Unknown(n);
            }
        }
        return content;
    }

    [[noreturn]] static void OverLimit(long limit, const char* what) {
        throw OpenError("The document has more than " + std::to_string(limit) + " " + what +
                        ", the most Varelo opens.");
    }

    Paragraph ReadParagraph(pugi::xml_node p, bool inCell) {
        Paragraph para;
        const pugi::xml_node pPr = p.child("w:pPr");
        // The style gives what the paragraph does not say. Styles of the document's own
        // kind stay styles; any other style's formatting becomes the paragraph's own (over
        // Normal's characters, when it is based on Normal).
        const ParagraphStyle& style =
            styles_.Paragraph(pPr.child("w:pStyle").attribute("w:val").value());
        CharFormat base;
        if (style.own) {
            para.style = *style.own;
            para.format = doc_.GetStyle(*style.own).paragraph;
        } else if (style.overNormal) {
            para.format = style.paragraph;
            base = style.added;
        } else {
            para.format = style.paragraph;
            base = style.chars;
        }
        ReadParagraphFormat(pPr, para.format);
        // The writer turns grid snapping off for every paragraph in a table; the flag in a
        // cell says nothing about the document.
        if (inCell) para.format.snapToGrid = true;
        for (pugi::xml_node n = pPr.first_child(); n; n = n.next_sibling())
            if (std::strcmp(n.name(), "w:numPr") == 0 || std::strcmp(n.name(), "w:sectPr") == 0 ||
                std::strcmp(n.name(), "w:framePr") == 0 ||
                std::strcmp(n.name(), "w:pPrChange") == 0)
                Unknown(n);
        para.markFormat = base;
        para.markFormat.MergeFrom(ReadCharFormat(pPr.child("w:rPr")));
        for (pugi::xml_node n = p.first_child(); n; n = n.next_sibling()) {
            if (std::strcmp(n.name(), "w:r") != 0) {
                if (std::strcmp(n.name(), "w:pPr") != 0) Unknown(n);
                continue;
            }
            if (++runs_ > kMaxDocxRuns) OverLimit(kMaxDocxRuns, "runs");
            const pugi::xml_node rPr = n.child("w:rPr");
            Run run;
            run.format = base;
            run.format.MergeFrom(
                styles_.Character(rPr.child("w:rStyle").attribute("w:val").value()));
            run.format.MergeFrom(ReadCharFormat(rPr));
            NoteUnmodelledFormat(rPr);
            for (pugi::xml_node c = n.first_child(); c; c = c.next_sibling()) {
                const std::string_view name = c.name();
                if (name == "w:t") {
                    for (pugi::xml_node t = c.first_child(); t; t = t.next_sibling())
                        if (t.type() == pugi::node_pcdata || t.type() == pugi::node_cdata)
                            run.text += CleanText(t.value());  // the parser keeps bad UTF-8
                } else if (name == "w:tab" || name == "w:ptab") {
                    run.text += '\t';
                } else if (name == "w:br" || name == "w:cr") {
                    const std::string_view type = c.attribute("w:type").value();
                    if (type == "page" || type == "column") Unknown(c, "page and column breaks");
                    run.text += "\r\n";
                } else if (name == "w:noBreakHyphen") {
                    run.text += "\u2011";
                } else if (name != "w:rPr") {
                    Unknown(c);
                }
            }
            text_ += run.text.size();
            if (text_ > kMaxDocxText) OverLimit(kMaxDocxText, "bytes of text");
            if (!run.text.empty()) para.runs.push_back(std::move(run));
        }
        return para;
    }

    void Unknown(pugi::xml_node, const char* what) {
        if (std::find(doc_.unmodelled.begin(), doc_.unmodelled.end(), what) ==
            doc_.unmodelled.end())
            doc_.unmodelled.emplace_back(what);
    }

    // Character formatting the surface has no place for.
    void NoteUnmodelledFormat(pugi::xml_node rPr) {
        for (pugi::xml_node f = rPr.first_child(); f; f = f.next_sibling()) {
            const std::string_view name = f.name();
            const std::string_view val = f.attribute("w:val").value();
            const bool shown = ((name == "w:i" || name == "w:strike" || name == "w:dstrike" ||
                                 name == "w:caps" || name == "w:vanish") &&
                                OnOff(f)) ||
                               (name == "w:u" && val != "none") ||
                               (name == "w:color" && val != "auto" && val != "000000") ||
                               (name == "w:highlight" && val != "none") ||
                               (name == "w:vertAlign" && val != "baseline");
            if (shown) Unknown(f, "italic, underlined, struck-through, hidden or coloured text");
            if (name == "w:rPrChange") Unknown(f);
        }
    }

    // The grid's columns once rounding slivers are folded away: edge[e] is where the file's
    // column edge e lies in the table. Throws on a grid past the limits.
    static std::vector<int> GridEdges(pugi::xml_node tbl) {
        std::vector<std::optional<long>> widths;
        for (pugi::xml_node g = tbl.child("w:tblGrid").child("w:gridCol"); g;
             g = g.next_sibling("w:gridCol")) {
            if (widths.size() >= kMaxGridColumns)
                Damaged("a table has more than " + std::to_string(kMaxGridColumns) +
                        " grid columns");
            widths.push_back(Int(g, "w:w", 0, 2 * kMaxTwips));
        }
        if (widths.empty()) Damaged("a table has no grid");
        const int columns = static_cast<int>(widths.size());
        std::vector<std::pair<int, int>> cells;
        for (pugi::xml_node tr = tbl.child("w:tr"); tr; tr = tr.next_sibling("w:tr")) {
            int c = static_cast<int>(RowBefore(tr));
            for (pugi::xml_node tc = tr.child("w:tc"); tc && c < columns;
                 tc = tc.next_sibling("w:tc")) {
                const int span = std::min(CellSpan(tc), columns - c);
                cells.emplace_back(c, c + span);
                c += span;
            }
        }
        std::vector<int> edges = FoldSliverColumns(widths, cells);
        if (edges.back() > 63) Damaged("a table has more than 63 columns");
        return edges;
    }

    static long RowBefore(pugi::xml_node tr) {
        return Int(tr.child("w:trPr").child("w:gridBefore"), "w:val", 0, kMaxGridColumns)
            .value_or(0);
    }
    static int CellSpan(pugi::xml_node tc) {
        return static_cast<int>(
            Int(tc.child("w:tcPr").child("w:gridSpan"), "w:val", 1, kMaxGridColumns).value_or(1));
    }

    std::unique_ptr<Table> ReadTable(pugi::xml_node tbl, int depth) {
        const std::vector<int> edge = GridEdges(tbl);
        const int gridColumns = static_cast<int>(edge.size()) - 1;
        const int columns = edge.back();

        // The rows' cells, with vertical merges joined into rectangles.
        std::vector<std::vector<RawCell>> rows;
        std::vector<MergedCell> cells;
        std::vector<int> open(static_cast<size_t>(columns) + 1,
                              -1);  // column -> cell that may continue
        for (pugi::xml_node n = tbl.first_child(); n; n = n.next_sibling())
            if (std::strcmp(n.name(), "w:tr") != 0 && std::strcmp(n.name(), "w:tblPr") != 0 &&
                std::strcmp(n.name(), "w:tblGrid") != 0)
                Unknown(n);
        for (pugi::xml_node tr = tbl.child("w:tr"); tr; tr = tr.next_sibling("w:tr")) {
            if (rows.size() >= 32767) Damaged("a table has more than 32767 rows");
            const int r = static_cast<int>(rows.size()) + 1;
            std::vector<RawCell> row;
            std::vector<int> next(static_cast<size_t>(columns) + 1, -1);
            // Slots a row skips before its first cell are empty cells, as are those after.
            // g walks the file's grid, c the table's.
            const long before = RowBefore(tr);
            if (before >= gridColumns) Damaged("a row is wider than its table");
            int g = static_cast<int>(before);
            int c = 1;
            for (; c <= edge[static_cast<size_t>(g)]; ++c) cells.push_back({{r, c, r, c}, {}, {}});
            for (pugi::xml_node n = tr.first_child(); n; n = n.next_sibling())
                if (std::strcmp(n.name(), "w:tc") != 0 && std::strcmp(n.name(), "w:trPr") != 0 &&
                    std::strcmp(n.name(), "w:tblPrEx") != 0)
                    Unknown(n);
            for (pugi::xml_node tc = tr.child("w:tc"); tc; tc = tc.next_sibling("w:tc")) {
                const int gridSpan = CellSpan(tc);
                if (g + gridSpan > gridColumns) Damaged("a row is wider than its table");
                g += gridSpan;
                RawCell raw;
                raw.tc = tc;
                raw.tcPr = tc.child("w:tcPr");
                raw.column = c;
                raw.span = edge[static_cast<size_t>(g)] - c + 1;
                if (raw.span < 1) Damaged("a cell has no width");
                const pugi::xml_node vMerge = raw.tcPr.child("w:vMerge");
                raw.continues =
                    vMerge && std::string_view(vMerge.attribute("w:val").value()) != "restart";
                const int above = open[static_cast<size_t>(c)];
                if (raw.continues && above >= 0 &&
                    cells[static_cast<size_t>(above)].rect.left == c &&
                    cells[static_cast<size_t>(above)].rect.right == c + raw.span - 1) {
                    cells[static_cast<size_t>(above)].rect.bottom = r;
                    raw.cell = above;
                } else {
                    // A continuation with nothing to continue stands as a cell of its own.
                    raw.continues = false;
                    raw.cell = static_cast<int>(cells.size());
                    cells.push_back({{r, c, r, c + raw.span - 1}, tc, raw.tcPr});
                }
                if (vMerge) next[static_cast<size_t>(c)] = raw.cell;
                c += raw.span;
                row.push_back(raw);
            }
            // Slots a short row leaves out become empty cells.
            for (; c <= columns; ++c) cells.push_back({{r, c, r, c}, {}, {}});
            open = std::move(next);
            rows.push_back(std::move(row));
        }
        if (rows.empty()) Damaged("a table has no rows");
        slots_ += static_cast<long>(rows.size()) * columns;
        if (slots_ > kMaxDocxSlots) OverLimit(kMaxDocxSlots, "table cells (grid slots)");

        auto table = std::make_unique<Table>(static_cast<int>(rows.size()), columns);
        Table& t = *table;
        const pugi::xml_node tblPr = tbl.child("w:tblPr");
        TableStyle style = styles_.Table(tblPr.child("w:tblStyle").attribute("w:val").value());
        ReadTableStyle(tblPr, style);
        ReadTableProperties(tblPr, style, t);
        bool tableBorders = false;
        for (const pugi::xml_node b : style.borders) tableBorders = tableBorders || b;
        for (const MergedCell& m : cells)
            if (m.rect.Rows() > 1 || m.rect.Columns() > 1) t.Merge(m.rect);
        for (const MergedCell& m : cells) {
            if (!m.anchor) continue;
            Cell& cell = t.At(m.rect.top, m.rect.left);
            Content content = ReadContent(m.anchor, depth, true);
            if (content.empty()) content.emplace_back();
            cell.content = std::move(content);
            const pugi::xml_node tcPr = m.tcPr;
            if (const auto v = ParseCellVAlign(tcPr.child("w:vAlign").attribute("w:val").value()))
                cell.verticalAlignment = *v;
            const pugi::xml_node borders = tcPr.child("w:tcBorders");
            if (borders.child("w:tl2br")) cell.diagonalDown = ReadBorder(borders.child("w:tl2br"));
            if (borders.child("w:tr2bl")) cell.diagonalUp = ReadBorder(borders.child("w:tr2bl"));
        }

        int r = 0;
        for (pugi::xml_node tr = tbl.child("w:tr"); tr; tr = tr.next_sibling("w:tr")) {
            ++r;
            ReadRowFormat(tr.child("w:trPr").child("w:trHeight"), t.Row(r));
            for (const RawCell& raw : rows[static_cast<size_t>(r - 1)])
                ReadCellBorders(raw, r, tableBorders, t);
        }
        ReadColumnWidths(rows, t);
        return table;
    }

    // A fixed table of a stated share of the page is that wide: an office program that
    // re-saves one writes its columns from its own rounding of the page, a few twips off,
    // and draws them across the stated width. Columns far from it are left as they are.
    static void FillStatedWidth(Table& t, double textWidth) {
        if (t.preferredWidth.type != PreferredWidthType::Percent || t.autoFit != AutoFit::Fixed)
            return;
        double sum = 0;
        for (int c = 1; c <= t.Columns(); ++c) {
            if (t.ColumnWidth(c).type != PreferredWidthType::Points) return;
            sum += t.ColumnWidth(c).value;
        }
        const double stated = textWidth * t.preferredWidth.value / 100.0;
        if (sum <= 0 || std::abs(sum - stated) > kFillTolerance * stated) return;
        for (int c = 1; c <= t.Columns(); ++c) t.ColumnWidth(c).value *= stated / sum;
    }

    static void ReadTableProperties(pugi::xml_node tblPr, const TableStyle& style, Table& t) {
        t.preferredWidth = ReadWidth(tblPr.child("w:tblW"));
        if (const auto jc = ParseRowJc(tblPr.child("w:jc").attribute("w:val").value()))
            t.rowAlignment = *jc;
        t.autoFit =
            std::string_view(tblPr.child("w:tblLayout").attribute("w:type").value()) == "autofit"
                ? AutoFit::Content
                : AutoFit::Fixed;
        // Margins no style gives are the markup's default: none.
        t.topPadding = style.margins[0].value_or(0);
        t.leftPadding = style.margins[1].value_or(0);
        t.bottomPadding = style.margins[2].value_or(0);
        t.rightPadding = style.margins[3].value_or(0);
        // Table borders lie on the outer edges and, inside, on every edge between cells;
        // the cells' own borders then override them.
        const int rows = t.Rows(), columns = t.Columns();
        auto border = [&](int side) -> std::optional<Border> {
            if (!style.borders[side]) return std::nullopt;
            return ReadBorder(style.borders[side]);
        };
        if (const auto b = border(0))
            for (int c = 1; c <= columns; ++c) t.HorizontalEdge(1, c) = *b;
        if (const auto b = border(2))
            for (int c = 1; c <= columns; ++c) t.HorizontalEdge(rows + 1, c) = *b;
        if (const auto b = border(1))
            for (int r = 1; r <= rows; ++r) t.VerticalEdge(r, 1) = *b;
        if (const auto b = border(3))
            for (int r = 1; r <= rows; ++r) t.VerticalEdge(r, columns + 1) = *b;
        if (const auto b = border(4))
            for (int r = 2; r <= rows; ++r)
                for (int c = 1; c <= columns; ++c) t.HorizontalEdge(r, c) = *b;
        if (const auto b = border(5))
            for (int r = 1; r <= rows; ++r)
                for (int c = 2; c <= columns; ++c) t.VerticalEdge(r, c) = *b;
    }

    static void ReadRowFormat(pugi::xml_node h, RowFormat& f) {
        if (!h) return;
        f.height = Points(Int(h, "w:val", 0, kMaxTwips).value_or(0));
        const std::string_view rule = h.attribute("w:hRule").value();
        f.heightRule = rule == "exact"  ? RowHeightRule::Exactly
                       : rule == "auto" ? RowHeightRule::Auto
                                        : RowHeightRule::AtLeast;
    }

    // Each side lands on the grid's edge segments; a side the file leaves out stays as the
    // neighbour across it says.
    static void ReadCellBorders(const RawCell& raw, int r, bool tableBorders, Table& t) {
        const pugi::xml_node borders = raw.tcPr.child("w:tcBorders");
        if (!borders) return;
        const int right = raw.column + raw.span - 1;
        auto side = [&](const char* name, const char* logical) -> std::optional<Border> {
            pugi::xml_node b = borders.child(name);
            if (!b && logical) b = borders.child(logical);
            if (!b) return std::nullopt;
            const Border border = ReadBorder(b);
            // A cell stating no border over a table border removes it; a cell of our own
            // files states only visible ones, and saying nothing leaves the edge alone.
            if (!border.Visible() && !tableBorders) return std::nullopt;
            return border;
        };
        if (const auto b = side("w:top", nullptr))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r, c) = *b;
        if (const auto b = side("w:bottom", nullptr))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r + 1, c) = *b;
        if (const auto b = side("w:left", "w:start")) t.VerticalEdge(r, raw.column) = *b;
        if (const auto b = side("w:right", "w:end")) t.VerticalEdge(r, right + 1) = *b;
    }

    // A column's preferred width is what its one-column cells say; a column that only
    // spanning cells cover gets what is left of a spanning cell's sum.
    static void ReadColumnWidths(const std::vector<std::vector<RawCell>>& rows, Table& t) {
        const int columns = t.Columns();
        std::vector<bool> known(static_cast<size_t>(columns) + 1, false);
        std::vector<std::pair<const RawCell*, PreferredWidth>> spanning;
        for (const auto& row : rows)
            for (const RawCell& raw : row) {
                const PreferredWidth w = ReadWidth(raw.tcPr.child("w:tcW"));
                if (raw.span > 1) {
                    if (w.type != PreferredWidthType::Auto) spanning.emplace_back(&raw, w);
                } else if (!known[static_cast<size_t>(raw.column)]) {
                    t.ColumnWidth(raw.column) = w;
                    known[static_cast<size_t>(raw.column)] = true;
                }
            }
        for (bool progress = true; progress;) {
            progress = false;
            for (const auto& [raw, w] : spanning) {
                int unknown = 0, at = 0;
                double rest = w.value;
                for (int c = raw->column; c < raw->column + raw->span; ++c) {
                    if (!known[static_cast<size_t>(c)]) {
                        ++unknown;
                        at = c;
                    } else if (t.ColumnWidth(c).type == w.type) {
                        rest -= t.ColumnWidth(c).value;
                    } else {
                        unknown = 2;  // mixed kinds: nothing to learn
                        break;
                    }
                }
                if (unknown != 1) continue;
                t.ColumnWidth(at) = {w.type, std::max(0.0, rest)};
                known[static_cast<size_t>(at)] = true;
                progress = true;
            }
        }
    }

    void ReadSection(pugi::xml_node sect) {
        PageSetup& ps = doc_.pageSetup;
        if (!sect) return;
        for (pugi::xml_node n = sect.first_child(); n; n = n.next_sibling())
            if (std::strcmp(n.name(), "w:headerReference") == 0 ||
                std::strcmp(n.name(), "w:footerReference") == 0 ||
                std::strcmp(n.name(), "w:pgBorders") == 0 ||
                std::strcmp(n.name(), "w:lnNumType") == 0)
                Unknown(n);
        if (const auto type = ParseSectionType(sect.child("w:type").attribute("w:val").value()))
            ps.sectionStart = *type;
        const pugi::xml_node size = sect.child("w:pgSz");
        const auto w = Int(size, "w:w", 1, kMaxTwips), h = Int(size, "w:h", 1, kMaxTwips);
        if (!w || !h) Damaged("the page size is missing or out of range");
        ps.pageWidth = Points(*w);
        ps.pageHeight = Points(*h);
        ps.orientation = std::string_view(size.attribute("w:orient").value()) == "landscape"
                             ? Orientation::Landscape
                             : Orientation::Portrait;
        ps.paperSize =
            PaperSizeFromCode(static_cast<int>(Int(size, "w:code", 1, 1000).value_or(0)));

        const pugi::xml_node mar = sect.child("w:pgMar");
        auto margin = [&](const char* name, double& out) {
            if (const auto v = Int(mar, name, -kMaxTwips, kMaxTwips)) out = Points(*v);
        };
        margin("w:top", ps.topMargin);
        margin("w:right", ps.rightMargin);
        margin("w:bottom", ps.bottomMargin);
        margin("w:left", ps.leftMargin);
        margin("w:header", ps.headerDistance);
        margin("w:footer", ps.footerDistance);
        margin("w:gutter", ps.gutter);
        if (ps.TextWidth() <= 0 || ps.TextHeight() <= 0)
            Damaged("the margins leave no room for text");

        ps.textColumns = static_cast<int>(Int(sect.child("w:cols"), "w:num", 1, 45).value_or(1));
        if (const auto v = ParsePageVAlign(sect.child("w:vAlign").attribute("w:val").value()))
            ps.verticalAlignment = *v;
        ps.differentFirstPageHeaderFooter = OnOff(sect.child("w:titlePg"));
        if (OnOff(sect.child("w:rtlGutter"))) ps.gutterPos = kGutterPosRight;

        const pugi::xml_node grid = sect.child("w:docGrid");
        ps.layoutMode =
            ParseDocGridType(grid.attribute("w:type").value()).value_or(kLayoutModeDefault);
        // The writer rounds the pitch down; the most lines with that pitch give it back.
        const long pitch = Int(grid, "w:linePitch", 1, kMaxTwips).value_or(0);
        const long height = TextHeightTwips(ps);
        ps.linesPage = pitch > 0 && height > 0 ? static_cast<int>(height / pitch) : 0;
    }

    Document& doc_;
    const StyleSheet& styles_;
    long slots_ = 0;
    long paragraphs_ = 0, runs_ = 0;
    size_t text_ = 0;
};

}  // namespace

void ReadParagraphFormat(pugi::xml_node pPr, ParagraphFormat& f) {
    if (!pPr) return;
    if (pPr.child("w:snapToGrid")) f.snapToGrid = OnOff(pPr.child("w:snapToGrid"));
    const pugi::xml_node spacing = pPr.child("w:spacing");
    if (const auto v = Int(spacing, "w:before", 0, kMaxTwips)) f.spaceBefore = Points(*v);
    if (const auto v = Int(spacing, "w:after", 0, kMaxTwips)) f.spaceAfter = Points(*v);
    if (const auto v = Int(spacing, "w:line", 0, kMaxTwips))
        ParseLineSpacing(*v, spacing.attribute("w:lineRule").value(), f);
    if (const auto jc = ParseJc(pPr.child("w:jc").attribute("w:val").value())) f.alignment = *jc;
}

CharFormat ReadCharFormat(pugi::xml_node rPr) {
    CharFormat f;
    if (!rPr) return f;
    const pugi::xml_node fonts = rPr.child("w:rFonts");
    for (const char* attr : {"w:eastAsia", "w:ascii", "w:hAnsi"}) {
        // Cleaned as the writer cleans it, so a name of nothing but invalid characters
        // counts as no name rather than an empty one that would be written back.
        std::string name = CleanFontName(fonts.attribute(attr).value());
        if (!name.empty()) {
            f.font = std::move(name);
            break;
        }
    }
    if (rPr.child("w:b")) f.bold = OnOff(rPr.child("w:b"));
    if (const auto hp = Int(rPr.child("w:sz"), "w:val", 1, kMaxHalfPoints)) f.size = *hp / 2.0;
    return f;
}

void ReadDocumentXml(pugi::xml_node document, const StyleSheet& styles, Document& doc) {
    const pugi::xml_node body = document.child("w:body");
    if (!body) Damaged("the document has no body");
    BodyReader(doc, styles).Read(body);
}

}  // namespace varelo::host::docx
