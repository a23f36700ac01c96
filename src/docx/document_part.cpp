// word/document.xml. A sheet's page grid has thousands of cells, so this part is written
// by a streaming writer straight into one string rather than through a DOM; the repeated
// paragraph and run properties are serialised once and reused.
//
// Paragraphs inside table cells are always written with w:snapToGrid off. The word
// processor ignores the page's line grid inside tables anyway; LibreOffice does not, and
// with the grid on it lays a page grid whose merged columns cross the page break one grid
// line lower on the second page, which pushes the last row onto a blank third page.

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/units.h"
#include "doc/geometry.h"
#include "docx/parts.h"
#include "docx/xml.h"

namespace varelo::host::docx {

ParagraphFormat TrailingParagraphFormat() {
    ParagraphFormat f;
    f.lineSpacingRule = LineSpacingRule::Exactly;
    f.lineSpacing = kTrailingLineSpacing;
    f.spaceBefore = 0;
    f.spaceAfter = 0;
    f.snapToGrid = false;
    return f;
}

long TextHeightTwips(const PageSetup& ps) {
    return Twips(ps.pageHeight) - Twips(ps.topMargin) - Twips(ps.bottomMargin);
}

long LinePitch(const PageSetup& ps) {
    return ps.linesPage > 0 ? TextHeightTwips(ps) / ps.linesPage : 0;
}

LineValue LineSpacingValue(const ParagraphFormat& f) {
    switch (f.lineSpacingRule) {
        case LineSpacingRule::Single:
            return {240, "auto"};
        case LineSpacingRule::OnePtFive:
            return {360, "auto"};
        case LineSpacingRule::Double:
            return {480, "auto"};
        case LineSpacingRule::AtLeast:
            return {Twips(f.lineSpacing), "atLeast"};
        case LineSpacingRule::Exactly:
            return {Twips(f.lineSpacing), "exact"};
        // Multiple is held in points where 12 pt is one line; the file counts 240ths of a line.
        case LineSpacingRule::Multiple:
            return {Twips(f.lineSpacing), "auto"};
    }
    return {240, "auto"};
}

void ParseLineSpacing(long line, std::string_view rule, ParagraphFormat& f) {
    if (rule == "exact") {
        f.lineSpacingRule = LineSpacingRule::Exactly;
        f.lineSpacing = TwipsToPoints(line);
    } else if (rule == "atLeast") {
        f.lineSpacingRule = LineSpacingRule::AtLeast;
        f.lineSpacing = TwipsToPoints(line);
    } else if (line == 240) {
        f.lineSpacingRule = LineSpacingRule::Single;
        f.lineSpacing = 12;
    } else if (line == 360) {
        f.lineSpacingRule = LineSpacingRule::OnePtFive;
        f.lineSpacing = 18;
    } else if (line == 480) {
        f.lineSpacingRule = LineSpacingRule::Double;
        f.lineSpacing = 24;
    } else {
        f.lineSpacingRule = LineSpacingRule::Multiple;
        f.lineSpacing = TwipsToPoints(line);
    }
}

namespace {

// Geometry is resolved from the values as the file states them (twips, fiftieths of a
// percent), so that a document read back from the file resolves to the same grid.
PreferredWidth AsWritten(const PreferredWidth& w) {
    switch (w.type) {
        case PreferredWidthType::Percent:
            return {w.type, FiftiethsOfPercent(w.value) / 50.0};
        case PreferredWidthType::Points:
            return {w.type, TwipsToPoints(Twips(w.value))};
        case PreferredWidthType::Auto:
            break;
    }
    return {};
}

double FileTextWidth(const PageSetup& ps) {
    return TwipsToPoints(Twips(ps.pageWidth) - Twips(ps.leftMargin) - Twips(ps.rightMargin) -
                         Twips(ps.gutter));
}

// The table's resolved column widths, through the one geometry, on a one-row stand-in
// that carries only the widths as written.
std::vector<double> FileColumnWidths(const Table& t, double availableWidth) {
    Table widths(1, t.Columns());
    widths.preferredWidth = AsWritten(t.preferredWidth);
    for (int c = 1; c <= t.Columns(); ++c) widths.ColumnWidth(c) = AsWritten(t.ColumnWidth(c));
    return ResolveColumnWidths(widths, availableWidth);
}

// Pieces are handed on at about this size, small enough to stay in the cache while the
// package deflates them.
constexpr size_t kChunk = 64 * 1024;

class DocumentWriter {
  public:
    DocumentWriter(const Document& doc, const std::optional<ParagraphFormat>& cellFormat,
                   const MediaParts& media, const XmlSink& put)
        : doc_(doc), put_(put), cellFormat_(cellFormat), media_(media) {}

    // Returns the fonts the body names, in order of first use.
    std::vector<std::string> Write() {
        out_.reserve(kChunk + kChunk / 2);
        out_ += kXmlDeclaration;
        out_ += "<w:document xmlns:w=\"";
        out_ += kNsW;
        out_ += "\" xmlns:r=\"";
        out_ += kNsR;
        out_ += "\"><w:body>";
        Body();
        SectionProperties();
        out_ += "</w:body></w:document>";
        put_(out_);
        out_.clear();
        return std::move(fonts_);
    }

  private:
    // Called between elements only: cached property texts live apart from out_.
    void MaybeFlush() {
        if (out_.size() < kChunk) return;
        put_(out_);
        out_.clear();
    }

    void Num(long v) {
        char buf[24];
        const auto r = std::to_chars(buf, buf + sizeof buf, v);
        out_.append(buf, r.ptr);
    }
    // Appends ` w:name="v"`.
    void Attr(std::string_view name, long v) {
        out_ += " w:";
        out_ += name;
        out_ += "=\"";
        Num(v);
        out_ += '"';
    }
    void Attr(std::string_view name, std::string_view v) {
        out_ += " w:";
        out_ += name;
        out_ += "=\"";
        out_ += v;
        out_ += '"';
    }
    void Val(std::string_view element, std::string_view v) {
        out_ += "<w:";
        out_ += element;
        Attr("val", v);
        out_ += "/>";
    }

    void Body() {
        const Content& body = doc_.body;
        const double textWidth = FileTextWidth(doc_.pageSetup);
        const size_t n = body.size();
        for (size_t i = 0; i < n; ++i) {
            const Block& b = body[i];
            const bool trailing = i + 1 == n && i > 0 && body[i - 1].IsTable();
            if (b.IsTable())
                Table(*b.table, textWidth);
            else if (trailing && b.paragraph.Empty())
                TrailingParagraph(b.paragraph);
            else
                Paragraph(b.paragraph, false);
            MaybeFlush();
        }
        // The body, like a cell, must end with a paragraph.
        if (n == 0 || body.back().IsTable()) TrailingParagraph(host::Paragraph{});
    }

    // The empty paragraph that follows the page grid: too small to spill onto a blank page.
    void TrailingParagraph(const host::Paragraph& p) {
        host::Paragraph small = p;
        small.format = TrailingParagraphFormat();
        small.format.alignment = p.format.alignment;
        small.markFormat.size = kTrailingFontSize;
        Paragraph(small, false);
    }

    // A story of a cell: its last child must be a paragraph.
    void CellContent(const Content& content, double availableWidth) {
        for (const Block& b : content) {
            if (b.IsTable())
                Table(*b.table, availableWidth);
            else
                Paragraph(b.paragraph, true);
        }
        if (content.empty() || content.back().IsTable()) Paragraph(host::Paragraph{}, true);
    }

    // Without its runs: a continuation slot of a vertical merge repeats only the format.
    void Paragraph(const host::Paragraph& p, bool inCell, bool withRuns = true) {
        const size_t start = out_.size();
        out_ += "<w:p>";
        ParagraphProperties(p, inCell);
        if (withRuns)
            for (const Run& r : p.runs) RunOut(r);
        if (out_.size() == start + 5) {
            out_.back() = '/';
            out_ += '>';
        } else {
            out_ += "</w:p>";
        }
    }

    // A paragraph's properties say only what differs from its style; in a cell, a paragraph
    // of Normal style takes the cell style, which carries the cells' common format. The cell
    // style is the default paragraph style, so cells name no style and Normal is named.
    void ParagraphProperties(const host::Paragraph& p, bool inCell) {
        // Neighbouring cells nearly always share their paragraph format.
        if (havePPr_ && p.style == pprStyle_ && inCell == pprInCell_ && p.format == pprFormat_ &&
            p.markFormat == pprMark_) {
            out_ += pprText_;
            return;
        }
        const size_t start = out_.size();
        out_ += "<w:pPr>";
        const bool cellStyle = inCell && p.style == StyleId::Normal && cellFormat_;
        const ParagraphFormat& style = cellStyle ? *cellFormat_ : doc_.GetStyle(p.style).paragraph;
        if (!cellStyle && (p.style != StyleId::Normal || cellFormat_))
            Val("pStyle", StyleIdName(p.style));
        // Snapping is off in every cell, and in the cell style.
        const bool snap = !inCell && p.format.snapToGrid;
        if (snap != (!cellStyle && style.snapToGrid))
            out_ += snap ? "<w:snapToGrid/>" : "<w:snapToGrid w:val=\"0\"/>";
        FormatDifferences(p.format, style);
        RunProperties(p.markFormat);
        if (out_.size() == start + 7)
            out_.resize(start);
        else
            out_ += "</w:pPr>";
        havePPr_ = true;
        pprStyle_ = p.style;
        pprInCell_ = inCell;
        pprFormat_ = p.format;
        pprMark_ = p.markFormat;
        pprText_.assign(out_, start, std::string::npos);
    }

    // Compared as written, so that what the reader takes from the style writes back the same.
    void FormatDifferences(const ParagraphFormat& f, const ParagraphFormat& style) {
        const long before = Twips(f.spaceBefore), after = Twips(f.spaceAfter);
        const LineValue line = LineSpacingValue(f), styleLine = LineSpacingValue(style);
        const bool newBefore = before != Twips(style.spaceBefore);
        const bool newAfter = after != Twips(style.spaceAfter);
        const bool newLine = line.line != styleLine.line ||
                             std::string_view(line.rule) != std::string_view(styleLine.rule);
        if (newBefore || newAfter || newLine) {
            out_ += "<w:spacing";
            if (newBefore) Attr("before", before);
            if (newAfter) Attr("after", after);
            if (newLine) {
                Attr("line", line.line);
                Attr("lineRule", line.rule);
            }
            out_ += "/>";
        }
        const std::string_view jc = JcName(f.alignment);
        if (jc != JcName(style.alignment)) Val("jc", jc);
    }

    void RunProperties(const CharFormat& f) {
        if (!f.font && !f.size && !f.bold) return;
        out_ += "<w:rPr>";
        if (f.font) {
            const std::string clean = CleanFontName(*f.font);
            if (std::find(fonts_.begin(), fonts_.end(), clean) == fonts_.end())
                fonts_.push_back(clean);
            std::string font;
            AppendEscaped(font, clean, true);
            out_ += "<w:rFonts";
            Attr("ascii", font);
            Attr("eastAsia", font);
            Attr("hAnsi", font);
            out_ += "/>";
        }
        if (f.bold) out_ += *f.bold ? "<w:b/>" : "<w:b w:val=\"0\"/>";
        if (f.size) {
            const long hp = HalfPoints(*f.size);
            out_ += "<w:sz";
            Attr("val", hp);
            out_ += "/><w:szCs";
            Attr("val", hp);
            out_ += "/>";
        }
        out_ += "</w:rPr>";
    }

    void RunOut(const Run& r) {
        if (r.picture) {
            PictureRun(r);
            return;
        }
        // Clean first so that a run of nothing but forbidden characters leaves no trace.
        const std::string text = CleanText(r.text);
        if (text.empty()) return;
        out_ += "<w:r>";
        RunPropertiesOf(r);
        // Tabs and line breaks inside a run are elements of their own; a CR LF pair is one break.
        const std::string_view s = text;
        size_t i = 0;
        while (i < s.size()) {
            const size_t j = s.find_first_of("\t\r\n", i);
            const size_t end = j == std::string_view::npos ? s.size() : j;
            if (end > i) {
                out_ += "<w:t xml:space=\"preserve\">";
                AppendEscaped(out_, s.substr(i, end - i));
                out_ += "</w:t>";
            }
            if (end == s.size()) break;
            if (s[end] == '\t') {
                out_ += "<w:tab/>";
                i = end + 1;
            } else {
                out_ += "<w:br/>";
                i = end + (s[end] == '\r' && end + 1 < s.size() && s[end + 1] == '\n' ? 2 : 1);
            }
        }
        out_ += "</w:r>";
    }

    void RunPropertiesOf(const Run& r) {
        if (haveRPr_ && r.format == rprFormat_) {
            out_ += rprText_;
        } else {
            const size_t start = out_.size();
            RunProperties(r.format);
            haveRPr_ = true;
            rprFormat_ = r.format;
            rprText_.assign(out_, start, std::string::npos);
        }
    }

    // A picture inline in its line, drawn stretched to its size. The drawing namespaces are
    // declared where they are used, so a document without pictures reads as it always did.
    void PictureRun(const Run& r) {
        const InlinePicture& picture = *r.picture;
        const MediaParts::Part& part = media_.Of(picture);
        const long id = ++pictures_;
        const std::string cx = std::to_string(PictureEmu(picture.width));
        const std::string cy = std::to_string(PictureEmu(picture.height));
        std::string description;
        AppendEscaped(description, picture.description, true);
        out_ += "<w:r>";
        RunPropertiesOf(r);
        out_ +=
            "<w:drawing><wp:inline distT=\"0\" distB=\"0\" distL=\"0\" distR=\"0\" "
            "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\">"
            "<wp:extent cx=\"" +
            cx + "\" cy=\"" + cy +
            "\"/>"
            "<wp:effectExtent l=\"0\" t=\"0\" r=\"0\" b=\"0\"/>"
            "<wp:docPr id=\"" +
            std::to_string(id) + "\" name=\"Picture " + std::to_string(id) + "\" descr=\"" +
            description +
            "\"/>"
            "<wp:cNvGraphicFramePr><a:graphicFrameLocks "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "noChangeAspect=\"1\"/></wp:cNvGraphicFramePr>"
            "<a:graphic xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\">"
            "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
            "<pic:pic xmlns:pic=\"http://schemas.openxmlformats.org/drawingml/2006/picture\">"
            "<pic:nvPicPr><pic:cNvPr id=\"" +
            std::to_string(id) + "\" name=\"" + part.name.substr(part.name.rfind('/') + 1) +
            "\" descr=\"" + description +
            "\"/><pic:cNvPicPr/></pic:nvPicPr>"
            "<pic:blipFill><a:blip r:embed=\"" +
            part.relId +
            "\"/>"
            "<a:stretch><a:fillRect/></a:stretch></pic:blipFill>"
            "<pic:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"" +
            cx + "\" cy=\"" + cy +
            "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></pic:spPr>"
            "</pic:pic></a:graphicData></a:graphic></wp:inline></w:drawing></w:r>";
    }

    void Width(const char* element, PreferredWidthType type, double value) {
        out_ += "<w:";
        out_ += element;
        switch (type) {
            case PreferredWidthType::Percent:
                Attr("w", FiftiethsOfPercent(value));
                Attr("type", "pct");
                break;
            case PreferredWidthType::Points:
                Attr("w", Twips(value));
                Attr("type", "dxa");
                break;
            case PreferredWidthType::Auto:
                Attr("w", 0);
                Attr("type", "auto");
                break;
        }
        out_ += "/>";
    }

    void Margin(const char* side, double points) {
        out_ += "<w:";
        out_ += side;
        Attr("w", Twips(points));
        Attr("type", "dxa");
        out_ += "/>";
    }

    void Table(const host::Table& t, double availableWidth) {
        const std::vector<double> widths = FileColumnWidths(t, availableWidth);
        out_ += "<w:tbl><w:tblPr>";
        Width("tblW", t.preferredWidth.type, t.preferredWidth.value);
        Val("jc", RowJcName(t.rowAlignment));
        out_ += t.autoFit == AutoFit::Fixed ? "<w:tblLayout w:type=\"fixed\"/>"
                                            : "<w:tblLayout w:type=\"autofit\"/>";
        out_ += "<w:tblCellMar>";
        Margin("top", t.topPadding);
        Margin("left", t.leftPadding);
        Margin("bottom", t.bottomPadding);
        Margin("right", t.rightPadding);
        out_ += "</w:tblCellMar></w:tblPr><w:tblGrid>";
        // Rounded at the running total, so the columns add up to the table's width exactly.
        double total = 0;
        long prev = 0;
        for (double w : widths) {
            total += w;
            const long edge = Twips(total);
            out_ += "<w:gridCol";
            Attr("w", edge - prev);
            out_ += "/>";
            prev = edge;
        }
        out_ += "</w:tblGrid>";
        for (int r = 1; r <= t.Rows(); ++r) Row(t, widths, r);
        out_ += "</w:tbl>";
    }

    void Row(const host::Table& t, const std::vector<double>& widths, int r) {
        out_ += "<w:tr>";
        const RowFormat& f = t.Row(r);
        if (f.heightRule != RowHeightRule::Auto || f.height > 0) {
            out_ += "<w:trPr><w:trHeight";
            Attr("val", Twips(f.height));
            Attr("hRule", f.heightRule == RowHeightRule::Exactly   ? "exact"
                          : f.heightRule == RowHeightRule::AtLeast ? "atLeast"
                                                                   : "auto");
            out_ += "/></w:trPr>";
        }
        for (int c = 1; c <= t.Columns();) {
            const CellRect a = t.CellArea(r, c);
            const std::string* text = CellOut(t, widths, a, r);
            c = a.right + 1;
            // Most slots of a page grid repeat the one before them: they cost a comparison
            // of edges, not a cell's properties.
            if (text && a.Rows() == 1 && a.Columns() == 1)
                for (int n = t.LikeSlots(r, a.left); n > 1; --n, ++c) out_ += *text;
        }
        out_ += "</w:tr>";
        MaybeFlush();
    }

    // What a cell's w:tcPr says; cells in a row mostly say the same, so the text of the
    // last one is kept and reused.
    struct CellProperties {
        PreferredWidth width;
        int span = 1;
        int vMerge = 0;                                             // 0 none, 1 restart, 2 continue
        Border top, left, bottom, right, diagonalDown, diagonalUp;  // invisible ones are Border{}
        CellVAlign vAlign = CellVAlign::Top;
        bool operator==(const CellProperties&) const = default;
    };

    static Border Shown(const Border& b) { return b.Visible() ? b : Border{}; }

    // The cell's preferred width: its columns' percentages or points added up, else auto.
    static PreferredWidth CellPreferredWidth(const host::Table& t, const CellRect& a) {
        const PreferredWidthType type = t.ColumnWidth(a.left).type;
        double sum = 0;
        for (int c = a.left; c <= a.right; ++c) {
            const PreferredWidth& w = t.ColumnWidth(c);
            if (w.type != type) return {};
            sum += w.value;
        }
        return {type, type == PreferredWidthType::Auto ? 0 : sum};
    }

    // A horizontal border of a cell from the grid segments along it. Where the segments
    // along a merged cell disagree, the cell says nothing and the cells across the edge,
    // which the word processor joins with it, draw the visible part.
    static Border HorizontalBorder(const host::Table& t, int edgeRow, const CellRect& a) {
        const Border& first = t.HorizontalEdge(edgeRow, a.left);
        for (int c = a.left + 1; c <= a.right; ++c)
            if (!(t.HorizontalEdge(edgeRow, c) == first)) return Border{};
        return Shown(first);
    }

    // Whether the vertical edge at grid column `edge` is alike in every row of a merged cell.
    static bool SameAllDown(const host::Table& t, const CellRect& a, int edge) {
        for (int r = a.top + 1; r <= a.bottom; ++r)
            if (!(Shown(t.VerticalEdge(r, edge)) == Shown(t.VerticalEdge(a.top, edge))))
                return false;
        return true;
    }

    void BorderOut(const char* side, const Border& b) {
        if (!b.Visible()) return;
        out_ += "<w:";
        out_ += side;
        Attr("val", BorderValName(b.lineStyle));
        Attr("sz", b.lineWidth);
        Attr("space", 0);
        Attr("color", ColorName(b.color));
        out_ += "/>";
    }

    void CellPropertiesOut(const CellProperties& p) {
        if (haveTcPr_ && p == tcpr_) {
            out_ += tcprText_;
            return;
        }
        const size_t start = out_.size();
        out_ += "<w:tcPr>";
        // An auto width is what a cell without one has.
        if (p.width.type != PreferredWidthType::Auto) Width("tcW", p.width.type, p.width.value);
        if (p.span > 1) {
            out_ += "<w:gridSpan";
            Attr("val", p.span);
            out_ += "/>";
        }
        if (p.vMerge) out_ += p.vMerge == 1 ? "<w:vMerge w:val=\"restart\"/>" : "<w:vMerge/>";
        const Border* sides[] = {&p.top,   &p.left,         &p.bottom,
                                 &p.right, &p.diagonalDown, &p.diagonalUp};
        bool any = false;
        for (const Border* b : sides) any = any || b->Visible();
        if (any) {
            out_ += "<w:tcBorders>";
            BorderOut("top", p.top);
            BorderOut("left", p.left);
            BorderOut("bottom", p.bottom);
            BorderOut("right", p.right);
            BorderOut("tl2br", p.diagonalDown);
            BorderOut("tr2bl", p.diagonalUp);
            out_ += "</w:tcBorders>";
        }
        if (p.vAlign != CellVAlign::Top) Val("vAlign", CellVAlignName(p.vAlign));
        if (out_.size() == start + 8)
            out_.resize(start);
        else
            out_ += "</w:tcPr>";
        haveTcPr_ = true;
        tcpr_ = p;
        tcprText_.assign(out_, start, std::string::npos);
    }

    // Returns the cell's text when it holds one empty paragraph, else nullptr.
    const std::string* CellOut(const host::Table& t, const std::vector<double>& widths,
                               const CellRect& a, int r) {
        const Cell& cell = t.At(a.top, a.left);
        CellProperties p;
        p.width = CellPreferredWidth(t, a);
        p.span = a.Columns();
        p.vMerge = a.Rows() == 1 ? 0 : r == a.top ? 1 : 2;
        // Every side comes from the grid's edge segments, so neighbours agree. A vertically
        // merged cell has its top in its first row and its bottom in its last.
        if (r == a.top) {
            p.top = HorizontalBorder(t, a.top, a);
            p.diagonalDown = Shown(cell.diagonalDown);
            p.diagonalUp = Shown(cell.diagonalUp);
        }
        if (r == a.bottom) p.bottom = HorizontalBorder(t, a.bottom + 1, a);
        p.left = Shown(t.VerticalEdge(r, a.left));
        p.right = Shown(t.VerticalEdge(r, a.right + 1));
        if (r == a.top && a.Rows() > 1) {
            // LibreOffice draws the side a vertical merge states in its first row down to
            // the last row that states one, through rows between that state none (the gap
            // between two boxes beside a page column's gutter). Where the side is not the same
            // all down, the cell across, which states it row by row too, draws it alone.
            if (a.left > 1 && !SameAllDown(t, a, a.left)) p.left = Border{};
            if (a.right < t.Columns() && !SameAllDown(t, a, a.right + 1)) p.right = Border{};
        }
        p.vAlign = cell.verticalAlignment;
        // Most cells of a page grid are one empty paragraph, often in the format of their
        // neighbour: such a cell's whole text is kept and reused.
        const host::Paragraph* simple = nullptr;
        if (r != a.top) {
            // A continuation slot of a vertical merge holds one empty paragraph in the
            // anchor's format, so the row is laid out like its neighbours.
            simple = &kNoParagraph;
            for (const Block& b : cell.content)
                if (!b.IsTable()) {
                    simple = &b.paragraph;
                    break;
                }
        } else if (cell.content.size() == 1 && !cell.content[0].IsTable() &&
                   cell.content[0].paragraph.Empty()) {
            simple = &cell.content[0].paragraph;
        }
        if (simple) {
            const SimpleCell key{p, simple};
            auto found = simpleTexts_.find(key);
            if (found == simpleTexts_.end()) {
                // A hostile document may hold as many different cells as slots.
                if (simpleTexts_.size() >= kMaxSimpleTexts) simpleTexts_.clear();
                const size_t start = out_.size();
                out_ += "<w:tc>";
                CellPropertiesOut(p);
                Paragraph(*simple, true, false);
                out_ += "</w:tc>";
                found = simpleTexts_.emplace(key, out_.substr(start)).first;
            } else {
                out_ += found->second;
            }
            return &found->second;
        }

        out_ += "<w:tc>";
        CellPropertiesOut(p);
        bool nested = false;
        for (const Block& b : cell.content) nested = nested || b.IsTable();
        // A nested table measures its percentages against the cell's width inside its padding.
        const double inner = nested ? CellWidth(t, widths, a.top, a.left) -
                                          TwipsToPoints(Twips(t.leftPadding)) -
                                          TwipsToPoints(Twips(t.rightPadding))
                                    : 0;
        CellContent(cell.content, std::max(0.0, inner));
        out_ += "</w:tc>";
        return nullptr;
    }

    void SectionProperties() {
        const PageSetup& ps = doc_.pageSetup;
        out_ += "<w:sectPr>";
        Val("type", SectionTypeName(ps.sectionStart));
        out_ += "<w:pgSz";
        Attr("w", Twips(ps.pageWidth));
        Attr("h", Twips(ps.pageHeight));
        if (ps.orientation == Orientation::Landscape) Attr("orient", "landscape");
        if (const int code = PaperCode(ps.paperSize)) Attr("code", code);
        out_ += "/><w:pgMar";
        Attr("top", Twips(ps.topMargin));
        Attr("right", Twips(ps.rightMargin));
        Attr("bottom", Twips(ps.bottomMargin));
        Attr("left", Twips(ps.leftMargin));
        Attr("header", Twips(ps.headerDistance));
        Attr("footer", Twips(ps.footerDistance));
        Attr("gutter", Twips(ps.gutter));
        out_ += "/><w:cols";
        Attr("num", ps.textColumns > 0 ? ps.textColumns : 1);
        Attr("space", 425);
        out_ += "/>";
        Val("vAlign", PageVAlignName(ps.verticalAlignment));
        if (ps.differentFirstPageHeaderFooter) out_ += "<w:titlePg/>";
        if (ps.gutterPos == kGutterPosRight) out_ += "<w:rtlGutter/>";
        out_ += "<w:docGrid";
        const std::string_view type = DocGridTypeName(ps.layoutMode);
        if (!type.empty()) Attr("type", type);
        if (ps.linesPage > 0) Attr("linePitch", LinePitch(ps));
        out_ += "/></w:sectPr>";
    }

    const Document& doc_;
    const XmlSink& put_;
    std::string out_;
    std::vector<std::string> fonts_;

    const std::optional<ParagraphFormat>& cellFormat_;
    const MediaParts& media_;
    long pictures_ = 0;  // drawings written: each names itself by the next number

    bool havePPr_ = false;
    StyleId pprStyle_ = StyleId::Normal;
    bool pprInCell_ = false;
    ParagraphFormat pprFormat_;
    CharFormat pprMark_;
    std::string pprText_;

    static inline const host::Paragraph kNoParagraph{};

    // The texts of cells that hold one empty paragraph, by their properties and paragraph:
    // a page grid has thousands of such cells in a few dozen kinds. The document does not
    // change while it is written, so a paragraph is known by its address.
    struct SimpleCell {
        CellProperties properties;
        const host::Paragraph* paragraph;
        bool operator==(const SimpleCell&) const = default;
    };
    struct SimpleCellHash {
        size_t operator()(const SimpleCell& k) const {
            const CellProperties& p = k.properties;
            uint64_t h = std::bit_cast<uint64_t>(p.width.value) ^
                         (static_cast<uint64_t>(p.width.type) << 60) ^
                         reinterpret_cast<uintptr_t>(k.paragraph);
            for (const Border* b :
                 {&p.top, &p.left, &p.bottom, &p.right, &p.diagonalDown, &p.diagonalUp})
                h = (h ^ std::bit_cast<uint64_t>(*b)) * 0x9E3779B97F4A7C15ULL;
            h ^= static_cast<uint64_t>(p.span) << 32 ^ static_cast<uint64_t>(p.vMerge) << 8 ^
                 static_cast<uint64_t>(p.vAlign);
            return static_cast<size_t>(h ^ h >> 29);
        }
    };
    static constexpr size_t kMaxSimpleTexts = 4096;
    std::unordered_map<SimpleCell, std::string, SimpleCellHash> simpleTexts_;

    bool haveTcPr_ = false;
    CellProperties tcpr_;
    std::string tcprText_;

    bool haveRPr_ = false;
    CharFormat rprFormat_;
    std::string rprText_;
};

}  // namespace

std::vector<std::string> WriteDocumentXml(const Document& doc,
                                          const std::optional<ParagraphFormat>& cellFormat,
                                          const MediaParts& media, const XmlSink& put) {
    return DocumentWriter(doc, cellFormat, media, put).Write();
}

std::vector<std::string> WriteDocumentXml(const Document& doc,
                                          const std::optional<ParagraphFormat>& cellFormat,
                                          const XmlSink& put) {
    return WriteDocumentXml(doc, cellFormat, MediaParts(doc), put);
}

std::vector<std::string> WriteDocumentXml(const Document& doc, const XmlSink& put) {
    return WriteDocumentXml(doc, CellParagraphFormat(doc), put);
}

std::string DocumentXml(const Document& doc) {
    std::string xml;
    WriteDocumentXml(doc, [&](std::string_view piece) { xml += piece; });
    return xml;
}

}  // namespace varelo::host::docx
