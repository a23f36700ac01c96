#pragma once

// The page grid as the written document.xml holds it: rows of w:tc with their spans and
// vertical merges resolved to rectangles, independent of the reader under test.

#include <algorithm>
#include <map>
#include <pugixml.hpp>
#include <stdexcept>
#include <string>
#include <vector>

namespace varelo::testing {

struct DocxCell {
    int top = 0, left = 0, bottom = 0, right = 0;
    pugi::xml_node tc;  // the first (restart) w:tc of the cell

    bool Merged() const { return bottom > top || right > left; }
    std::vector<pugi::xml_node> Paragraphs() const {
        std::vector<pugi::xml_node> out;
        for (pugi::xml_node p : tc.children("w:p")) out.push_back(p);
        return out;
    }
    static std::string ParagraphText(pugi::xml_node p) {
        std::string text;
        for (pugi::xml_node r : p.children("w:r"))
            for (pugi::xml_node t : r.children("w:t")) text += t.text().get();
        return text;
    }
    // Paragraph texts joined with "\r".
    std::string Text() const {
        std::string text;
        bool first = true;
        for (pugi::xml_node p : Paragraphs()) {
            if (!first) text += '\r';
            text += ParagraphText(p);
            first = false;
        }
        return text;
    }
    // The value of a tcPr child's w:val, e.g. "w:vAlign"; empty when absent.
    std::string CellProperty(const char* name) const {
        return tc.child("w:tcPr").child(name).attribute("w:val").value();
    }
    // The border on one side ("top", "left", ...): its w:val, empty when none is written.
    std::string Border(const char* side) const {
        return tc.child("w:tcPr")
            .child("w:tcBorders")
            .child((std::string("w:") + side).c_str())
            .attribute("w:val")
            .value();
    }
};

// A property of a run or paragraph mark: rPr child's attribute, e.g. ("w:sz", "w:val").
inline std::string RunProperty(pugi::xml_node run, const char* child, const char* attr = "w:val") {
    pugi::xml_node rPr = run.child("w:rPr");
    pugi::xml_node c = rPr.child(child);
    if (!c) return {};
    const pugi::xml_attribute a = c.attribute(attr);
    return a ? a.value() : "1";  // a bare <w:b/> means on
}
inline std::string ParagraphProperty(pugi::xml_node p, const char* child,
                                     const char* attr = "w:val") {
    return p.child("w:pPr").child(child).attribute(attr).value();
}
// The same, where the paragraph does not say it, from its style (or the default paragraph
// style) and the styles it is based on (w:styles of styles.xml).
inline std::string StyledParagraphProperty(pugi::xml_node styles, pugi::xml_node p,
                                           const char* child, const char* attr = "w:val") {
    if (const pugi::xml_attribute a = p.child("w:pPr").child(child).attribute(attr))
        return a.value();
    std::string id = ParagraphProperty(p, "w:pStyle");
    if (id.empty())
        for (pugi::xml_node s : styles.children("w:style"))
            if (std::string_view(s.attribute("w:type").value()) == "paragraph" &&
                s.attribute("w:default").as_bool())
                id = s.attribute("w:styleId").value();
    for (int depth = 0; !id.empty() && depth < 8; ++depth) {
        const pugi::xml_node style =
            styles.find_child_by_attribute("w:style", "w:styleId", id.c_str());
        if (const pugi::xml_attribute a = style.child("w:pPr").child(child).attribute(attr))
            return a.value();
        id = style.child("w:basedOn").attribute("w:val").value();
    }
    return {};
}

class DocxGrid {
  public:
    explicit DocxGrid(pugi::xml_node tbl) : table_(tbl) {
        for (pugi::xml_node g : tbl.child("w:tblGrid").children("w:gridCol")) (void)g, ++columns_;
        int r = 0;
        for (pugi::xml_node tr : tbl.children("w:tr")) {
            ++r;
            rows_.push_back(tr);
            int c = 1;
            for (pugi::xml_node tc : tr.children("w:tc")) {
                const int span = std::max(
                    1, tc.child("w:tcPr").child("w:gridSpan").attribute("w:val").as_int(1));
                const pugi::xml_node vm = tc.child("w:tcPr").child("w:vMerge");
                const bool continues =
                    vm && std::string(vm.attribute("w:val").value()) != "restart";
                if (continues) {
                    const int index = at_.at(Key(r - 1, c));
                    cells_[static_cast<size_t>(index)].bottom = r;
                    for (int k = 0; k < span; ++k) at_[Key(r, c + k)] = index;
                } else {
                    cells_.push_back({r, c, r, c + span - 1, tc});
                    for (int k = 0; k < span; ++k)
                        at_[Key(r, c + k)] = static_cast<int>(cells_.size() - 1);
                }
                c += span;
            }
            if (c - 1 != columns_)
                throw std::runtime_error("row " + std::to_string(r) + " spans " +
                                         std::to_string(c - 1));
        }
    }
    int Rows() const { return static_cast<int>(rows_.size()); }
    int Columns() const { return columns_; }
    pugi::xml_node Row(int r) const { return rows_.at(static_cast<size_t>(r - 1)); }
    pugi::xml_node Table() const { return table_; }
    const DocxCell& At(int r, int c) const {
        return cells_.at(static_cast<size_t>(at_.at(Key(r, c))));
    }
    const std::vector<DocxCell>& Cells() const { return cells_; }

  private:
    static long Key(int r, int c) { return static_cast<long>(r) * 1000 + c; }
    pugi::xml_node table_;
    int columns_ = 0;
    std::vector<pugi::xml_node> rows_;
    std::vector<DocxCell> cells_;
    std::map<long, int> at_;
};

}  // namespace varelo::testing
