#include "docx/read_body.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "base/units.h"
#include "doc/table.h"
#include "docx/parts.h"
#include "docx/reader.h"
#include "docx/sliver_columns.h"
#include "docx/style_sheet.h"
#include "docx/xml.h"

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
template <typename Text>
std::optional<long> Int(pugi::xml_node n, const Text& name, long lo, long hi) {
    const pugi::xml_attribute a = n.attribute(name);
    if (!a) return std::nullopt;
    const long long v = a.as_llong(lo - 1);
    if (v < lo || v > hi) return std::nullopt;
    return static_cast<long>(v);
}

double Points(long twips) {
    return TwipsToPoints(twips);
}

Border ReadBorder(pugi::xml_node b) {
    Border border;
    border.lineStyle = static_cast<int16_t>(ParseBorderVal(b.attribute("w:val").value()));
    border.lineWidth = static_cast<int16_t>(Int(b, "w:sz", 0, 96).value_or(kLineWidth050pt));
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

// An element the reader may have found; a cell's properties keep several.
struct Element {
    pugi::xml_node node = kNoNode;

    explicit operator bool() const { return !node.empty(); }
    const pugi::xml_node* operator->() const { return &node; }
};

// Keeps the first element of a name, as a lookup by name would find it.
void First(Element& slot, pugi::xml_node n) {
    if (!slot) slot = {n};
}

// The first child element of that name.
template <size_t N>
Element Find(pugi::xml_node parent, const char (&name)[N]) {
    for (const pugi::xml_node c : Children(parent))
        if (Named(c, name)) return {c};
    return {};
}

// A property's w:val; empty when there is no such property.
const char* Val(const Element& e) {
    return e ? e.node.attribute("w:val").value() : "";
}

PreferredWidth ReadWidth(const Element& w) {
    return w ? ReadWidth(w.node) : PreferredWidth{};
}

// What the reader uses of a w:pPr, in one pass; each is the first of its name.
struct ParagraphProperties {
    Element style, snapToGrid, spacing, jc, rPr;
};
// The children it does not use go to other(node, name).
template <typename Other>
ParagraphProperties ReadParagraphProperties(pugi::xml_node pPr, Other&& other) {
    ParagraphProperties p;
    for (const pugi::xml_node n : Children(pPr)) {
        const char* name = n.name();
        if (Named(name, "w:pStyle"))
            First(p.style, n);
        else if (Named(name, "w:jc"))
            First(p.jc, n);
        else if (Named(name, "w:rPr"))
            First(p.rPr, n);
        else if (Named(name, "w:spacing"))
            First(p.spacing, n);
        else if (Named(name, "w:snapToGrid"))
            First(p.snapToGrid, n);
        else
            other(n, name);
    }
    return p;
}

// What the reader uses of a w:rPr, in one pass; each is the first of its name.
struct CharProperties {
    Element style, fonts, bold, size;
};
template <typename Other>
CharProperties ReadCharProperties(pugi::xml_node rPr, Other&& other) {
    CharProperties p;
    for (const pugi::xml_node n : Children(rPr)) {
        const char* name = n.name();
        if (Named(name, "w:rFonts"))
            First(p.fonts, n);
        else if (Named(name, "w:sz"))
            First(p.size, n);
        else if (Named(name, "w:b"))
            First(p.bold, n);
        else if (Named(name, "w:rStyle"))
            First(p.style, n);
        else
            other(n, name);
    }
    return p;
}

constexpr auto kIgnore = [](pugi::xml_node, const char*) {};

void ReadParagraphFormat(const ParagraphProperties& p, ParagraphFormat& f) {
    if (p.snapToGrid) f.snapToGrid = OnOff(p.snapToGrid.node);
    if (p.spacing) {
        const pugi::xml_node spacing = p.spacing.node;
        if (const auto v = Int(spacing, "w:before", 0, kMaxTwips)) f.spaceBefore = Points(*v);
        if (const auto v = Int(spacing, "w:after", 0, kMaxTwips)) f.spaceAfter = Points(*v);
        if (const auto v = Int(spacing, "w:line", 0, kMaxTwips))
            ParseLineSpacing(*v, spacing.attribute("w:lineRule").value(), f);
    }
    if (p.jc)
        if (const auto jc = ParseJc(Val(p.jc))) f.alignment = *jc;
}

CharFormat ReadCharFormat(const CharProperties& p) {
    CharFormat f;
    if (p.fonts)
        for (const char* attr : {"w:eastAsia", "w:ascii", "w:hAnsi"}) {
            // Cleaned as the writer cleans it, so a name of nothing but invalid characters
            // counts as no name rather than an empty one that would be written back.
            std::string name = CleanFontName(p.fonts.node.attribute(attr).value());
            if (!name.empty()) {
                f.font = std::move(name);
                break;
            }
        }
    if (p.bold) f.bold = OnOff(p.bold.node);
    if (p.size)
        if (const auto hp = Int(p.size.node, "w:val", 1, kMaxHalfPoints)) f.size = *hp / 2.0;
    return f;
}

// The sides of a w:tcBorders, in one pass; each is the first of its name. Left and right
// fall back on the bidirectional-neutral start and end, as LibreOffice writes them.
struct CellBorders {
    Element top, left, bottom, right, start, end, down, up;
};
CellBorders ReadCellBorderNodes(pugi::xml_node tcBorders) {
    CellBorders b;
    for (const pugi::xml_node n : Children(tcBorders)) {
        const char* name = n.name();
        if (Named(name, "w:top"))
            First(b.top, n);
        else if (Named(name, "w:left"))
            First(b.left, n);
        else if (Named(name, "w:bottom"))
            First(b.bottom, n);
        else if (Named(name, "w:right"))
            First(b.right, n);
        else if (Named(name, "w:start"))
            First(b.start, n);
        else if (Named(name, "w:end"))
            First(b.end, n);
        else if (Named(name, "w:tl2br"))
            First(b.down, n);
        else if (Named(name, "w:tr2bl"))
            First(b.up, n);
    }
    return b;
}

// What the reader uses of a w:tcPr, in one pass; each is the first of its name.
struct CellProperties {
    Element width, span, vMerge, vAlign, borders;
    int sides = -1;  // index of the sides its w:tcBorders states, when it has one
};
CellProperties ReadCellProperties(pugi::xml_node tcPr) {
    CellProperties p;
    for (const pugi::xml_node n : Children(tcPr)) {
        const char* name = n.name();
        if (Named(name, "w:tcW"))
            First(p.width, n);
        else if (Named(name, "w:vMerge"))
            First(p.vMerge, n);
        else if (Named(name, "w:tcBorders"))
            First(p.borders, n);
        else if (Named(name, "w:gridSpan"))
            First(p.span, n);
        else if (Named(name, "w:vAlign"))
            First(p.vAlign, n);
    }
    return p;
}

// A cell of a w:tr as the file states it, before merging.
struct RawCell {
    pugi::xml_node tc = kNoNode;
    int properties = -1;     // index of its w:tcPr's properties, when it has one
    int gridSpan = 1;        // grid columns of the file's grid
    int column = 1;          // 1-based column of its left edge in the folded grid
    int span = 1;            // columns of the folded grid
    bool bare = false;       // one paragraph without content or properties, and maybe w:tcPr
    bool continues = false;  // joined to the cell above: it reads to nothing of its own
};

// A w:tr: the grid columns it skips, its height and its cells, [first, end) of the table's.
struct RawRow {
    long before = 0;
    Element height;
    size_t first = 0, end = 0;
    int next = 1;  // the first column of the folded grid after its cells
};

// A table as the file states it. Most cells state no properties; theirs are kept apart, so
// that the passes over every cell stay in a small amount of memory.
struct StatedTable {
    std::vector<RawRow> rows;
    std::vector<RawCell> cells;
    std::vector<CellProperties> properties;
    std::vector<CellBorders> sides;  // read once: the cell, its diagonals and the grid use them

    const CellProperties& PropertiesOf(const RawCell& cell) const {
        return cell.properties < 0 ? kNone : properties[static_cast<size_t>(cell.properties)];
    }
    const CellBorders& SidesOf(const CellProperties& p) const {
        return sides[static_cast<size_t>(p.sides)];
    }
    static inline const CellProperties kNone{};
};

// The rows' cells placed on the folded grid, with vertical merges joined into rectangles.
// Only cells that span columns or may take part in a vertical merge keep one; the others
// are one slot.
class GridPlacement {
  public:
    // edge[e]: where the file's column edge e lies in the table.
    explicit GridPlacement(std::vector<int> edge)
        : edge_(std::move(edge)),
          gridColumns_(static_cast<int>(edge_.size()) - 1),
          columns_(edge_.back()),
          open_(static_cast<size_t>(columns_) + 1, -1),
          next_(open_.size()) {}

    const std::vector<int>& Edge() const { return edge_; }
    int Columns() const { return columns_; }
    const std::vector<CellRect>& Merged() const { return merged_; }

    // Places the next row's cells; throws on a row the grid cannot hold.
    void Place(RawRow& row, StatedTable& stated) {
        if (r_ >= 32767) Damaged("a table has more than 32767 rows");
        const int r = ++r_;
        std::fill(next_.begin(), next_.end(), -1);
        // Slots a row skips before its first cell are empty cells, as are those after.
        if (row.before >= gridColumns_) Damaged("a row is wider than its table");
        int g = static_cast<int>(row.before);
        int c = edge_[static_cast<size_t>(g)] + 1;
        for (size_t i = row.first; i < row.end; ++i) {
            RawCell& raw = stated.cells[i];
            if (g + raw.gridSpan > gridColumns_) Damaged("a row is wider than its table");
            g += raw.gridSpan;
            raw.column = c;
            raw.span = edge_[static_cast<size_t>(g)] - c + 1;
            if (raw.span < 1) Damaged("a cell has no width");
            const Element& vMerge = stated.PropertiesOf(raw).vMerge;
            if (vMerge || raw.span > 1) {
                const bool continues = vMerge && !Named(Val(vMerge), "restart");
                const int above = open_[static_cast<size_t>(c)];
                int cell = above;
                if (continues && above >= 0 && merged_[static_cast<size_t>(above)].left == c &&
                    merged_[static_cast<size_t>(above)].right == c + raw.span - 1) {
                    merged_[static_cast<size_t>(above)].bottom = r;
                    raw.continues = true;
                } else {
                    // A continuation with nothing to continue stands as a cell of its own.
                    cell = static_cast<int>(merged_.size());
                    merged_.push_back({r, c, r, c + raw.span - 1});
                }
                // column -> merged cell that may continue, in the row above and in this one
                if (vMerge) next_[static_cast<size_t>(c)] = cell;
            }
            c += raw.span;
        }
        row.next = c;
        std::swap(open_, next_);
    }

  private:
    std::vector<int> edge_;
    int gridColumns_, columns_;
    std::vector<int> open_, next_;
    std::vector<CellRect> merged_;
    int r_ = 0;
};

// Whether every child of n passes ok(child, name).
template <typename Ok>
bool AllChildren(pugi::xml_node n, Ok&& ok) {
    for (const pugi::xml_node c : Children(n))
        if (c.type() == pugi::node_element && !ok(c, c.name())) return false;
    return true;
}

// What an inline picture says, once the reader has made sure it says nothing more than the
// surface keeps: a PNG or JPEG part stretched to a size, with a description.
struct PictureMarkup {
    std::string relId;
    long cx = 0, cy = 0;  // EMU
    std::string description;
};

// A blip's extensions: only the one that tells how to scale for the screen loses nothing.
bool PlainBlip(pugi::xml_node blip) {
    if (blip.attribute("r:link")) return false;  // a linked picture: the file lies elsewhere
    return AllChildren(blip, [](pugi::xml_node c, const char* name) {
        if (!Named(name, "a:extLst")) return false;
        return AllChildren(c, [](pugi::xml_node ext, const char* extName) {
            return Named(extName, "a:ext") &&
                   std::string_view(ext.attribute("uri").value()) ==
                       "{28A0092B-C50C-407E-A947-70E740481C1C}";  // useLocalDpi
        });
    });
}

// A picture's fill: the whole image, stretched.
bool ReadBlipFill(pugi::xml_node blipFill, PictureMarkup& m) {
    bool blip = false;
    const bool plain = AllChildren(blipFill, [&](pugi::xml_node c, const char* name) {
        if (Named(name, "a:blip")) {
            if (blip || !PlainBlip(c)) return false;
            blip = true;
            m.relId = c.attribute("r:embed").value();
            return !m.relId.empty();
        }
        if (Named(name, "a:srcRect"))  // cropped, unless every side is 0
            return std::all_of(c.attributes_begin(), c.attributes_end(),
                               [](const pugi::xml_attribute& a) { return a.as_llong(1) == 0; });
        if (Named(name, "a:stretch")) return true;
        return false;
    });
    return plain && blip;
}

// The shape's properties: a plain rectangle, unrotated, without outline or effects.
bool PlainShape(pugi::xml_node spPr) {
    return AllChildren(spPr, [](pugi::xml_node c, const char* name) {
        if (Named(name, "a:xfrm"))
            return c.attribute("rot").as_llong(0) == 0 && !c.attribute("flipH").as_bool() &&
                   !c.attribute("flipV").as_bool();
        if (Named(name, "a:prstGeom"))
            return std::string_view(c.attribute("prst").value()) == "rect";
        if (Named(name, "a:ln"))
            return AllChildren(c,
                               [](pugi::xml_node, const char* n) { return Named(n, "a:noFill"); });
        if (Named(name, "a:effectLst")) return !c.first_child();
        return Named(name, "a:noFill") || Named(name, "a:extLst");
    });
}

bool ReadPic(pugi::xml_node pic, PictureMarkup& m) {
    bool fill = false;
    return AllChildren(pic,
                       [&](pugi::xml_node c, const char* name) {
                           if (Named(name, "pic:nvPicPr")) {
                               if (m.description.empty())
                                   m.description = c.child("pic:cNvPr").attribute("descr").value();
                               return true;
                           }
                           if (Named(name, "pic:blipFill")) {
                               if (fill) return false;
                               fill = true;
                               return ReadBlipFill(c, m);
                           }
                           if (Named(name, "pic:spPr")) return PlainShape(c);
                           return false;
                       }) &&
           fill;
}

// A w:drawing that is one picture inline in its line; false for anything else (anchored or
// floating drawings, shapes, charts, cropped or outlined pictures, linked images).
bool ReadInlinePicture(pugi::xml_node drawing, PictureMarkup& m) {
    const pugi::xml_node inlined = drawing.first_child();
    if (!Named(inlined, "wp:inline") || inlined.next_sibling()) return false;
    bool extent = false, graphic = false;
    const bool plain = AllChildren(inlined, [&](pugi::xml_node c, const char* name) {
        if (Named(name, "wp:extent")) {
            const auto cx = Int(c, "cx", 1, kMaxPictureEmu), cy = Int(c, "cy", 1, kMaxPictureEmu);
            if (!cx || !cy) return false;
            m.cx = *cx;
            m.cy = *cy;
            extent = true;
            return true;
        }
        if (Named(name, "wp:docPr")) {
            if (c.attribute("hidden").as_bool()) return false;
            m.description = c.attribute("descr").value();
            // A click that opens a link is kept nowhere.
            return AllChildren(c,
                               [](pugi::xml_node, const char* n) { return Named(n, "a:extLst"); });
        }
        if (Named(name, "wp:effectExtent") || Named(name, "wp:cNvGraphicFramePr")) return true;
        if (Named(name, "a:graphic")) {
            const pugi::xml_node data = c.first_child();
            if (graphic || !Named(data, "a:graphicData") || data.next_sibling() ||
                std::string_view(data.attribute("uri").value()) !=
                    "http://schemas.openxmlformats.org/drawingml/2006/picture")
                return false;
            const pugi::xml_node pic = data.first_child();
            if (!Named(pic, "pic:pic") || pic.next_sibling()) return false;
            graphic = true;
            return ReadPic(pic, m);
        }
        return false;
    });
    return plain && extent && graphic;
}

class BodyReader {
  public:
    BodyReader(Document& doc, const StyleSheet& styles, const ImageLookup& images)
        : doc_(doc), styles_(styles), images_(images) {}

    BodyExtent Read(pugi::xml_node body) {
        Content content;
        ReadStory(body, 0, false, content);
        // The body is a story: it ends with a paragraph.
        if (content.empty() || content.back().IsTable()) AddEmptyParagraph(content);
        doc_.body = std::move(content);
        ReadSection(body.child("w:sectPr"));
        for (Block& b : doc_.body)
            if (b.IsTable()) FillStatedWidth(*b.table, doc_.pageSetup.TextWidth());
        return extent_;
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

    void Unknown(pugi::xml_node, const char* what) {
        if (std::find(doc_.unmodelled.begin(), doc_.unmodelled.end(), what) ==
            doc_.unmodelled.end())
            doc_.unmodelled.emplace_back(what);
    }

    // The paragraphs and tables of a story, appended to content.
    void ReadStory(pugi::xml_node parent, int depth, bool inCell, Content& content) {
        for (const pugi::xml_node n : Children(parent)) {
            const char* name = n.name();
            if (Named(name, "w:p")) {
                CountParagraph();
                ReadParagraph(n, inCell, content.emplace_back().paragraph);
            } else if (Named(name, "w:tbl")) {
                if (depth >= kMaxDocxTableDepth)
                    OverLimit(kMaxDocxTableDepth, "levels of tables nested in tables");
                content.emplace_back(ReadTable(n, depth + 1));
            } else if (Named(name, "w:tcPr") ||
                       (Named(name, "w:sectPr") && depth == 0 && !inCell && !n.next_sibling())) {
                // Read by the cell and the section.
            } else {
                Unknown(n);
            }
        }
    }

    void CountParagraph() {
        if (++paragraphs_ > kMaxDocxParagraphs) OverLimit(kMaxDocxParagraphs, "paragraphs");
        ++extent_.paragraphs;
    }

    // Whether a cell holds one paragraph without content or properties and has no format of
    // its own: most cells of a page grid, which then share the table's blank cell. Its sides
    // belong to the grid's edges; only diagonals are the cell's.
    static bool IsBare(const StatedTable& stated, const RawCell& raw) {
        if (!raw.bare) return false;
        const CellProperties& p = stated.PropertiesOf(raw);
        if (p.vAlign) return false;
        if (!p.borders) return true;
        const CellBorders& borders = stated.SidesOf(p);
        return !borders.down && !borders.up;
    }

    // What a bare cell reads to, the same for every table of the document.
    const Cell& BareCell() {
        if (!bareCell_) {
            pugi::xml_document bare;
            Cell& cell = bareCell_.emplace();
            cell.content.clear();
            ReadParagraph(bare.append_child("w:p"), true, cell.content.emplace_back().paragraph);
        }
        return *bareCell_;
    }

    void AddEmptyParagraph(Content& content) {
        content.emplace_back();
        ++extent_.paragraphs;
    }

    [[noreturn]] static void OverLimit(long limit, const char* what) {
        throw OpenError("The document has more than " + std::to_string(limit) + " " + what +
                        ", the most Varelo opens.");
    }

    void ReadParagraph(pugi::xml_node p, bool inCell, Paragraph& para) {
        const Element properties = Find(p, "w:pPr");
        ParagraphProperties pPr;
        if (properties)
            pPr = ReadParagraphProperties(properties.node, [&](pugi::xml_node n, const char* name) {
                if (Named(name, "w:numPr") || Named(name, "w:sectPr") || Named(name, "w:framePr") ||
                    Named(name, "w:pPrChange"))
                    Unknown(n);
            });
        // The style gives what the paragraph does not say. Styles of the document's own
        // kind stay styles; any other style's formatting becomes the paragraph's own (over
        // Normal's characters, when it is based on Normal).
        const ParagraphStyle& style = styles_.Paragraph(Val(pPr.style));
        const CharFormat& base = style.own          ? noChars_
                                 : style.overNormal ? style.added
                                                    : style.chars;
        if (style.own) {
            para.style = *style.own;
            para.format = doc_.GetStyle(*style.own).paragraph;
        } else {
            para.format = style.paragraph;
        }
        ReadParagraphFormat(pPr, para.format);
        // The writer turns grid snapping off for every paragraph in a table; the flag in a
        // cell says nothing about the document.
        if (inCell) para.format.snapToGrid = true;
        para.markFormat = base;
        if (pPr.rPr)
            para.markFormat.MergeFrom(ReadCharFormat(ReadCharProperties(pPr.rPr.node, kIgnore)));
        for (const pugi::xml_node n : Children(p)) {
            const char* name = n.name();
            if (Named(name, "w:r"))
                ReadRun(n, base, para);
            else if (!Named(name, "w:pPr"))
                Unknown(n);
        }
    }

    void ReadRun(pugi::xml_node r, const CharFormat& base, Paragraph& para) {
        if (++runs_ > kMaxDocxRuns) OverLimit(kMaxDocxRuns, "runs");
        const CharProperties rPr = ReadCharProperties(
            Find(r, "w:rPr").node, [&](pugi::xml_node f, const char*) { NoteUnmodelledFormat(f); });
        Run run;
        run.format = base;
        run.format.MergeFrom(styles_.Character(Val(rPr.style)));
        run.format.MergeFrom(ReadCharFormat(rPr));
        for (const pugi::xml_node c : Children(r)) {
            const char* name = c.name();
            if (Named(name, "w:drawing")) {
                std::shared_ptr<const InlinePicture> picture = ReadPicture(c);
                if (!picture) {
                    Unknown(c);
                    continue;
                }
                // The text before it stands in a run of its own, as does the text after.
                AddTextRun(run, para);
                run.text.clear();
                Run pictureRun;
                pictureRun.format = run.format;
                pictureRun.picture = std::move(picture);
                para.runs.push_back(std::move(pictureRun));
                ++extent_.runs;
            } else if (Named(name, "w:t")) {
                for (const pugi::xml_node t : Children(c))
                    if (const pugi::xml_node_type type = t.type();
                        type == pugi::node_pcdata || type == pugi::node_cdata)
                        AppendCleanText(run.text, t.value());  // the parser keeps bad UTF-8
            } else if (Named(name, "w:tab") || Named(name, "w:ptab")) {
                run.text += '\t';
            } else if (Named(name, "w:br") || Named(name, "w:cr")) {
                const std::string_view type = c.attribute("w:type").value();
                if (type == "page" || type == "column") Unknown(c, "page and column breaks");
                run.text += "\r\n";
            } else if (Named(name, "w:noBreakHyphen")) {
                run.text += "\u2011";
            } else if (!Named(name, "w:rPr")) {
                Unknown(c);
            }
        }
        AddTextRun(run, para);
    }

    void AddTextRun(const Run& run, Paragraph& para) {
        extent_.text += run.text.size();
        if (extent_.text > kMaxDocxText) OverLimit(kMaxDocxText, "bytes of text");
        if (run.text.empty()) return;
        ++extent_.runs;
        para.runs.push_back(run);
    }

    // The picture a w:drawing holds, when the surface keeps all of it; null otherwise.
    // Pictures alike (one image, size and description) share one.
    std::shared_ptr<const InlinePicture> ReadPicture(pugi::xml_node drawing) {
        PictureMarkup m;
        if (!images_ || !ReadInlinePicture(drawing, m)) return nullptr;
        const ImagePart* image = images_(m.relId);
        if (!image) return nullptr;
        if (++extent_.pictures > kMaxDocxPictures) OverLimit(kMaxDocxPictures, "pictures");
        std::string description = CleanText(m.description);
        extent_.text += description.size();
        if (extent_.text > kMaxDocxText) OverLimit(kMaxDocxText, "bytes of text");
        auto [at, added] = pictures_.try_emplace(
            std::make_tuple(image, m.cx, m.cy, std::move(description)), nullptr);
        if (!added) return at->second;
        pictureBytes_ += image->data.size();
        if (pictureBytes_ > kMaxDocxPictureBytes)
            OverLimit(kMaxDocxPictureBytes, "bytes of pictures");
        at->second = std::make_shared<const InlinePicture>(
            InlinePicture{image->data, image->contentType, static_cast<double>(m.cx) / kEmuPerPoint,
                          static_cast<double>(m.cy) / kEmuPerPoint, std::get<3>(at->first)});
        return at->second;
    }

    // Character formatting the surface has no place for.
    void NoteUnmodelledFormat(pugi::xml_node f) {
        const char* name = f.name();
        const auto val = [&] { return std::string_view(f.attribute("w:val").value()); };
        bool shown;
        if (Named(name, "w:i") || Named(name, "w:strike") || Named(name, "w:dstrike") ||
            Named(name, "w:caps") || Named(name, "w:vanish")) {
            shown = OnOff(f);
        } else if (Named(name, "w:u")) {
            shown = val() != "none";
        } else if (Named(name, "w:color")) {
            shown = val() != "auto" && val() != "000000";
        } else if (Named(name, "w:highlight")) {
            shown = val() != "none";
        } else if (Named(name, "w:vertAlign")) {
            shown = val() != "baseline";
        } else {
            if (Named(name, "w:rPrChange")) Unknown(f);
            return;
        }
        if (shown) Unknown(f, "italic, underlined, struck-through, hidden or coloured text");
    }

    // The grid columns' widths as w:tblGrid states them; throws past the limits.
    static std::vector<std::optional<long>> GridWidths(pugi::xml_node tblGrid) {
        std::vector<std::optional<long>> widths;
        for (const pugi::xml_node g : Children(tblGrid)) {
            if (!Named(g, "w:gridCol")) continue;
            if (widths.size() >= kMaxGridColumns)
                Damaged("a table has more than " + std::to_string(kMaxGridColumns) +
                        " grid columns");
            widths.push_back(Int(g, "w:w", 0, 2 * kMaxTwips));
        }
        if (widths.empty()) Damaged("a table has no grid");
        return widths;
    }

    // The grid's columns once rounding slivers are folded away: edge[e] is where the file's
    // column edge e lies in the table. Throws on a grid past the limits.
    static std::vector<int> GridEdges(const std::vector<std::optional<long>>& widths,
                                      const StatedTable& stated) {
        const int columns = static_cast<int>(widths.size());
        if (!HasSliverColumn(widths)) {
            if (columns > 63) Damaged("a table has more than 63 columns");
            std::vector<int> edges(widths.size() + 1);
            std::iota(edges.begin(), edges.end(), 0);
            return edges;
        }
        std::vector<std::pair<int, int>> cells;
        cells.reserve(stated.cells.size());
        for (const RawRow& row : stated.rows) {
            int c = static_cast<int>(row.before);
            for (size_t i = row.first; i < row.end && c < columns; ++i) {
                const int span = std::min(stated.cells[i].gridSpan, columns - c);
                cells.emplace_back(c, c + span);
                c += span;
            }
        }
        std::vector<int> edges = FoldSliverColumns(widths, cells);
        if (edges.back() > 63) Damaged("a table has more than 63 columns");
        return edges;
    }

    // A w:tr's cells appended to the table's, its other content noted.
    RawRow ReadRow(pugi::xml_node tr, StatedTable& stated) {
        RawRow row;
        row.first = stated.cells.size();
        Element trPr;
        for (const pugi::xml_node n : Children(tr)) {
            const char* name = n.name();
            if (Named(name, "w:tc")) {
                RawCell& raw = stated.cells.emplace_back();
                raw.tc = n;
                Element tcPr;
                int emptyParagraphs = 0;
                bool more = false;
                for (const pugi::xml_node c : Children(n)) {
                    const char* child = c.name();
                    if (Named(child, "w:tcPr"))
                        First(tcPr, c);
                    else if (Named(child, "w:p") && !c.first_child())
                        ++emptyParagraphs;
                    else
                        more = true;
                }
                raw.bare = !more && emptyParagraphs == 1;
                if (!tcPr) continue;
                raw.properties = static_cast<int>(stated.properties.size());
                CellProperties& p = stated.properties.emplace_back(ReadCellProperties(tcPr.node));
                if (p.borders) {
                    p.sides = static_cast<int>(stated.sides.size());
                    stated.sides.push_back(ReadCellBorderNodes(p.borders.node));
                }
                if (p.span)
                    raw.gridSpan =
                        static_cast<int>(Int(p.span.node, "w:val", 1, kMaxGridColumns).value_or(1));
            } else if (Named(name, "w:trPr")) {
                First(trPr, n);
            } else if (!Named(name, "w:tblPrEx")) {
                Unknown(n);
            }
        }
        row.end = stated.cells.size();
        Element before;
        for (const pugi::xml_node n : Children(trPr.node)) {
            const char* name = n.name();
            if (Named(name, "w:trHeight"))
                First(row.height, n);
            else if (Named(name, "w:gridBefore"))
                First(before, n);
        }
        if (before) row.before = Int(before.node, "w:val", 0, kMaxGridColumns).value_or(0);
        return row;
    }

    std::unique_ptr<Table> ReadTable(pugi::xml_node tbl, int depth) {
        Element properties, grid;
        std::vector<pugi::xml_node> trs;
        for (const pugi::xml_node n : Children(tbl)) {
            const char* name = n.name();
            if (Named(name, "w:tr"))
                trs.push_back(n);
            else if (Named(name, "w:tblPr"))
                First(properties, n);
            else if (Named(name, "w:tblGrid"))
                First(grid, n);
            else
                Unknown(n);
        }
        const std::vector<std::optional<long>> widths = GridWidths(grid.node);
        StatedTable stated;
        stated.rows.reserve(trs.size());
        // Rows rarely hold more cells than the grid has columns.
        stated.cells.reserve(
            std::min(trs.size() * widths.size(), static_cast<size_t>(kMaxDocxSlots)));
        // A grid without slivers stays the file's whatever its cells: each row is placed as it
        // is read, while its cells are at hand. Folding slivers needs every row first.
        std::optional<GridPlacement> placement;
        if (!HasSliverColumn(widths)) placement.emplace(GridEdges(widths, stated));
        for (const pugi::xml_node tr : trs) {
            stated.rows.push_back(ReadRow(tr, stated));
            if (placement) placement->Place(stated.rows.back(), stated);
        }
        if (!placement) {
            placement.emplace(GridEdges(widths, stated));
            for (RawRow& row : stated.rows) placement->Place(row, stated);
        }
        std::vector<RawRow>& rawRows = stated.rows;
        std::vector<RawCell>& raws = stated.cells;
        const std::vector<int>& edge = placement->Edge();
        const int columns = placement->Columns();
        if (rawRows.empty()) Damaged("a table has no rows");
        extent_.cells += static_cast<long>(rawRows.size()) * columns;
        if (extent_.cells > kMaxDocxSlots) OverLimit(kMaxDocxSlots, "table cells (grid slots)");

        auto table = std::make_unique<Table>(static_cast<int>(rawRows.size()), columns,
                                             TableBehavior::Word8, BareCell());
        Table& t = *table;
        const pugi::xml_node tblPr = properties.node;
        TableStyle style = styles_.Table(Val(Find(tblPr, "w:tblStyle")));
        ReadTableStyle(tblPr, style);
        ReadTableProperties(tblPr, style, t);
        bool tableBorders = false;
        for (const pugi::xml_node b : style.borders) tableBorders = tableBorders || b;
        for (const CellRect& m : placement->Merged())
            if (m.Rows() > 1 || m.Columns() > 1) t.Merge(m);
        // Each cell in reading order, and its sides; slots a row leaves out are empty cells
        // of their own.
        int r = 0;
        for (const RawRow& row : rawRows) {
            ++r;
            ReadRowFormat(row.height, t.Row(r));
            auto leftOut = [&](int c) {
                t.At(r, c) = Cell{};
                ++extent_.paragraphs;  // the empty paragraph the table gave it
            };
            for (int c = 1; c <= edge[static_cast<size_t>(row.before)]; ++c) leftOut(c);
            for (size_t i = row.first; i < row.end; ++i) {
                const RawCell& raw = raws[i];
                if (raw.properties >= 0) ReadCellBorders(stated, raw, r, tableBorders, t);
                if (raw.continues) continue;
                if (IsBare(stated, raw))
                    CountParagraph();  // the table's blank cell is what it reads to
                else
                    ReadCell(stated, raw, depth, t.At(r, raw.column));
            }
            for (int c = row.next; c <= columns; ++c) leftOut(c);
        }
        ReadColumnWidths(stated, t);
        return table;
    }

    // A merged cell's content, read into the one the table made for it, and its own format.
    void ReadCell(const StatedTable& stated, const RawCell& raw, int depth, Cell& cell) {
        cell.content.clear();
        ReadStory(raw.tc, depth, true, cell.content);
        if (cell.content.empty()) AddEmptyParagraph(cell.content);
        const CellProperties& p = stated.PropertiesOf(raw);
        if (p.vAlign)
            if (const auto v = ParseCellVAlign(Val(p.vAlign))) cell.verticalAlignment = *v;
        if (p.borders) {
            const CellBorders& borders = stated.SidesOf(p);
            if (borders.down) cell.diagonalDown = ReadBorder(borders.down.node);
            if (borders.up) cell.diagonalUp = ReadBorder(borders.up.node);
        }
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

    static void ReadRowFormat(const Element& height, RowFormat& f) {
        if (!height) return;
        const pugi::xml_node h = height.node;
        f.height = Points(Int(h, "w:val", 0, kMaxTwips).value_or(0));
        const std::string_view rule = h.attribute("w:hRule").value();
        f.heightRule = rule == "exact"  ? RowHeightRule::Exactly
                       : rule == "auto" ? RowHeightRule::Auto
                                        : RowHeightRule::AtLeast;
    }

    // Each side lands on the grid's edge segments; a side the file leaves out stays as the
    // neighbour across it says.
    static void ReadCellBorders(const StatedTable& stated, const RawCell& raw, int r,
                                bool tableBorders, Table& t) {
        const CellProperties& p = stated.PropertiesOf(raw);
        if (!p.borders) return;
        const CellBorders& borders = stated.SidesOf(p);
        const int right = raw.column + raw.span - 1;
        auto side = [&](const Element& given, const Element& logical) -> std::optional<Border> {
            const Element& b = given ? given : logical;
            if (!b) return std::nullopt;
            const Border border = ReadBorder(b.node);
            // A cell stating no border over a table border removes it; a cell of our own
            // files states only visible ones, and saying nothing leaves the edge alone.
            if (!border.Visible() && !tableBorders) return std::nullopt;
            return border;
        };
        if (const auto b = side(borders.top, {}))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r, c) = *b;
        if (const auto b = side(borders.bottom, {}))
            for (int c = raw.column; c <= right; ++c) t.HorizontalEdge(r + 1, c) = *b;
        if (const auto b = side(borders.left, borders.start)) t.VerticalEdge(r, raw.column) = *b;
        if (const auto b = side(borders.right, borders.end)) t.VerticalEdge(r, right + 1) = *b;
    }

    // A column's preferred width is what its one-column cells say; a column that only
    // spanning cells cover gets what is left of a spanning cell's sum.
    static void ReadColumnWidths(const StatedTable& stated, Table& t) {
        const int columns = t.Columns();
        std::vector<char> known(static_cast<size_t>(columns) + 1, false);
        std::vector<std::pair<const RawCell*, PreferredWidth>> spanning;
        for (const RawCell& raw : stated.cells) {
            // Read only where it counts: a grid's columns are known after its first row.
            if (raw.span > 1) {
                const PreferredWidth w = ReadWidth(stated.PropertiesOf(raw).width);
                if (w.type != PreferredWidthType::Auto) spanning.emplace_back(&raw, w);
            } else if (!known[static_cast<size_t>(raw.column)]) {
                t.ColumnWidth(raw.column) = ReadWidth(stated.PropertiesOf(raw).width);
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
        for (const pugi::xml_node n : Children(sect))
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
    const ImageLookup& images_;
    std::map<std::tuple<const ImagePart*, long, long, std::string>,
             std::shared_ptr<const InlinePicture>>
        pictures_;
    size_t pictureBytes_ = 0;
    const CharFormat noChars_;  // what a style of the document's own adds to its paragraphs
    BodyExtent extent_;
    long paragraphs_ = 0, runs_ = 0;  // as the file has them, for the limits
    std::optional<Cell> bareCell_;
};

}  // namespace

void ReadParagraphFormat(pugi::xml_node pPr, ParagraphFormat& f) {
    ReadParagraphFormat(ReadParagraphProperties(pPr, kIgnore), f);
}

CharFormat ReadCharFormat(pugi::xml_node rPr) {
    return ReadCharFormat(ReadCharProperties(rPr, kIgnore));
}

BodyExtent ReadDocumentXml(pugi::xml_node document, const StyleSheet& styles, Document& doc,
                           const ImageLookup& images) {
    const pugi::xml_node body = document.child("w:body");
    if (!body) Damaged("the document has no body");
    return BodyReader(doc, styles, images).Read(body);
}

}  // namespace varelo::host::docx
