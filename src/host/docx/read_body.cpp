#include "host/docx/read_body.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "host/docx/parts.h"
#include "host/docx/reader.h"
#include "host/docx/xml.h"
#include "host/table.h"

namespace varelo::host::docx {

namespace {

// Word's largest page side, 22 inches; no length of a sheet comes near it.
constexpr long kMaxTwips = 31680;
constexpr long kMaxHalfPoints = 3276;  // 1638 pt, Word's largest font size

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
    pugi::xml_node tc;
    int column = 1;  // 1-based grid column of its left edge
    int span = 1;
    bool continues = false;  // a vMerge continuation
    int cell = -1;           // index of the merged cell it belongs to
};

struct MergedCell {
    CellRect rect;
    pugi::xml_node anchor;
};

class BodyReader {
  public:
    explicit BodyReader(Document& doc) : doc_(doc) {}

    void Read(pugi::xml_node body) {
        Content content = ReadContent(body, 0, false);
        // The body is a story: it ends with a paragraph.
        if (content.empty() || content.back().IsTable()) content.emplace_back();
        doc_.body = std::move(content);
        ReadSection(body.child("w:sectPr"));
    }

  private:
    Content ReadContent(pugi::xml_node parent, int depth, bool inCell) {
        Content content;
        for (pugi::xml_node n = parent.first_child(); n; n = n.next_sibling()) {
            if (std::strcmp(n.name(), "w:p") == 0) {
                content.emplace_back(ReadParagraph(n, inCell));
            } else if (std::strcmp(n.name(), "w:tbl") == 0) {
                if (depth >= kMaxDocxTableDepth) Damaged("tables are nested too deeply");
                content.emplace_back(ReadTable(n, depth + 1));
            }
        }
        return content;
    }

    Paragraph ReadParagraph(pugi::xml_node p, bool inCell) {
        Paragraph para;
        const pugi::xml_node pPr = p.child("w:pPr");
        if (const auto style = ParseStyleId(pPr.child("w:pStyle").attribute("w:val").value()))
            para.style = *style;
        ReadParagraphFormat(pPr, para.format);
        // The writer turns grid snapping off for every paragraph in a table; the flag in a
        // cell says nothing about the document.
        if (inCell) para.format.snapToGrid = true;
        para.markFormat = ReadCharFormat(pPr.child("w:rPr"));
        for (pugi::xml_node r = p.child("w:r"); r; r = r.next_sibling("w:r")) {
            Run run;
            run.format = ReadCharFormat(r.child("w:rPr"));
            for (pugi::xml_node c = r.first_child(); c; c = c.next_sibling()) {
                const std::string_view name = c.name();
                if (name == "w:t") {
                    for (pugi::xml_node t = c.first_child(); t; t = t.next_sibling())
                        if (t.type() == pugi::node_pcdata || t.type() == pugi::node_cdata)
                            run.text += CleanText(t.value());  // the parser keeps bad UTF-8
                } else if (name == "w:tab") {
                    run.text += '\t';
                } else if (name == "w:br" || name == "w:cr") {
                    run.text += "\r\n";
                }
            }
            if (!run.text.empty()) para.runs.push_back(std::move(run));
        }
        return para;
    }

    std::unique_ptr<Table> ReadTable(pugi::xml_node tbl, int depth) {
        const pugi::xml_node grid = tbl.child("w:tblGrid");
        int columns = 0;
        for (pugi::xml_node g = grid.child("w:gridCol"); g; g = g.next_sibling("w:gridCol"))
            if (++columns > 63) Damaged("a table has more than 63 columns");
        if (columns == 0) Damaged("a table has no grid");

        // The rows' cells, with vertical merges joined into rectangles.
        std::vector<std::vector<RawCell>> rows;
        std::vector<MergedCell> cells;
        std::vector<int> open(static_cast<size_t>(columns) + 1,
                              -1);  // column -> cell that may continue
        for (pugi::xml_node tr = tbl.child("w:tr"); tr; tr = tr.next_sibling("w:tr")) {
            if (rows.size() >= 32767) Damaged("a table has more than 32767 rows");
            const int r = static_cast<int>(rows.size()) + 1;
            std::vector<RawCell> row;
            std::vector<int> next(static_cast<size_t>(columns) + 1, -1);
            int c = 1;
            for (pugi::xml_node tc = tr.child("w:tc"); tc; tc = tc.next_sibling("w:tc")) {
                RawCell raw;
                raw.tc = tc;
                raw.column = c;
                const pugi::xml_node tcPr = tc.child("w:tcPr");
                raw.span =
                    static_cast<int>(Int(tcPr.child("w:gridSpan"), "w:val", 1, 63).value_or(1));
                if (c + raw.span - 1 > columns) Damaged("a row is wider than its table");
                const pugi::xml_node vMerge = tcPr.child("w:vMerge");
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
                    cells.push_back({{r, c, r, c + raw.span - 1}, tc});
                }
                if (vMerge) next[static_cast<size_t>(c)] = raw.cell;
                c += raw.span;
                row.push_back(raw);
            }
            // Slots a short row leaves out become empty cells.
            for (; c <= columns; ++c) cells.push_back({{r, c, r, c}, pugi::xml_node()});
            open = std::move(next);
            rows.push_back(std::move(row));
        }
        if (rows.empty()) Damaged("a table has no rows");
        slots_ += static_cast<long>(rows.size()) * columns;
        if (slots_ > kMaxDocxSlots) Damaged("the tables are too large");

        auto table = std::make_unique<Table>(static_cast<int>(rows.size()), columns);
        Table& t = *table;
        ReadTableProperties(tbl.child("w:tblPr"), t);
        for (const MergedCell& m : cells)
            if (m.rect.Rows() > 1 || m.rect.Columns() > 1) t.Merge(m.rect);
        for (const MergedCell& m : cells) {
            if (!m.anchor) continue;
            Cell& cell = t.At(m.rect.top, m.rect.left);
            Content content = ReadContent(m.anchor, depth, true);
            if (content.empty()) content.emplace_back();
            cell.content = std::move(content);
            const pugi::xml_node tcPr = m.anchor.child("w:tcPr");
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
            for (const RawCell& raw : rows[static_cast<size_t>(r - 1)]) ReadCellBorders(raw, r, t);
        }
        ReadColumnWidths(rows, t);
        return table;
    }

    static void ReadTableProperties(pugi::xml_node tblPr, Table& t) {
        t.preferredWidth = ReadWidth(tblPr.child("w:tblW"));
        if (const auto jc = ParseRowJc(tblPr.child("w:jc").attribute("w:val").value()))
            t.rowAlignment = *jc;
        t.autoFit =
            std::string_view(tblPr.child("w:tblLayout").attribute("w:type").value()) == "autofit"
                ? AutoFit::Content
                : AutoFit::Fixed;
        const pugi::xml_node mar = tblPr.child("w:tblCellMar");
        auto padding = [&](const char* side, double& out) {
            if (const auto v = Int(mar.child(side), "w:w", 0, kMaxTwips)) out = Points(*v);
        };
        padding("w:top", t.topPadding);
        padding("w:left", t.leftPadding);
        padding("w:bottom", t.bottomPadding);
        padding("w:right", t.rightPadding);
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
    static void ReadCellBorders(const RawCell& raw, int r, Table& t) {
        const pugi::xml_node borders = raw.tc.child("w:tcPr").child("w:tcBorders");
        if (!borders) return;
        const int right = raw.column + raw.span - 1;
        auto side = [&](const char* name) -> std::optional<Border> {
            const pugi::xml_node b = borders.child(name);
            if (!b) return std::nullopt;
            const Border border = ReadBorder(b);
            if (!border.Visible()) return std::nullopt;
            return border;
        };
        if (const auto b = side("w:top"))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r, c) = *b;
        if (const auto b = side("w:bottom"))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r + 1, c) = *b;
        if (const auto b = side("w:left")) t.VerticalEdge(r, raw.column) = *b;
        if (const auto b = side("w:right")) t.VerticalEdge(r, right + 1) = *b;
    }

    // A column's preferred width is what its one-column cells say; a column that only
    // spanning cells cover gets what is left of a spanning cell's sum.
    static void ReadColumnWidths(const std::vector<std::vector<RawCell>>& rows, Table& t) {
        const int columns = t.Columns();
        std::vector<bool> known(static_cast<size_t>(columns) + 1, false);
        std::vector<std::pair<const RawCell*, PreferredWidth>> spanning;
        for (const auto& row : rows)
            for (const RawCell& raw : row) {
                const PreferredWidth w = ReadWidth(raw.tc.child("w:tcPr").child("w:tcW"));
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
    long slots_ = 0;
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

void ReadDocumentXml(pugi::xml_node document, Document& doc) {
    const pugi::xml_node body = document.child("w:body");
    if (!body) Damaged("the document has no body");
    BodyReader(doc).Read(body);
}

}  // namespace varelo::host::docx
