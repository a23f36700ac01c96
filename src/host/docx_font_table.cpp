// word/fontTable.xml: every font the document names, with what a reader needs to find a
// substitute when the font is missing.

#include <string>
#include <vector>

#include "host/docx_parts.h"
#include "host/docx_xml.h"
#include "host/table.h"

namespace varelo::host::docx {

namespace {

struct FontInfo {
    const char* name;
    const char* altName;
    const char* charset;
    const char* family;
    const char* pitch;
};

// The Chinese fonts of the sheet (GB 2312 character set, 0x86).
constexpr FontInfo kKnownFonts[] = {
    {kFontSong, "SimSun", "86", "auto", "variable"},
    {kFontHei, "SimHei", "86", "modern", "fixed"},
    {kFontKai, "KaiTi_GB2312", "86", "modern", "fixed"},
};

class FontCollector {
public:
    void Add(const std::string& font) {
        if (font.empty()) return;
        const std::string clean = CleanFontName(font);
        for (const std::string& f : fonts_)
            if (f == clean) return;
        fonts_.push_back(clean);
    }
    void Add(const CharFormat& f) {
        if (f.font) Add(*f.font);
    }
    void Add(const Content& content) {
        for (const Block& b : content) {
            if (b.IsTable()) {
                Add(*b.table);
                continue;
            }
            Add(b.paragraph.markFormat);
            for (const Run& r : b.paragraph.runs) Add(r.format);
        }
    }
    void Add(const Table& t) {
        for (int r = 1; r <= t.Rows(); ++r)
            for (int c = 1; c <= t.Columns(); ++c)
                if (t.IsAnchor(r, c)) Add(t.At(r, c).content);
    }
    const std::vector<std::string>& Fonts() const { return fonts_; }

private:
    std::vector<std::string> fonts_;
};

}  // namespace

std::string FontTableXml(const Document& doc) {
    FontCollector fonts;
    for (StyleId id : {StyleId::Normal, StyleId::Heading1, StyleId::Heading2})
        fonts.Add(doc.GetStyle(id).font);
    fonts.Add(doc.body);

    pugi::xml_document xml;
    AddDeclaration(xml);
    pugi::xml_node table = xml.append_child("w:fonts");
    table.append_attribute("xmlns:w") = kNsW;
    for (const std::string& name : fonts.Fonts()) {
        pugi::xml_node font = table.append_child("w:font");
        font.append_attribute("w:name") = name.c_str();
        const FontInfo* info = nullptr;
        for (const FontInfo& k : kKnownFonts)
            if (name == k.name) info = &k;
        if (info) {
            font.append_child("w:altName").append_attribute("w:val") = info->altName;
            font.append_child("w:charset").append_attribute("w:val") = info->charset;
        }
        font.append_child("w:family").append_attribute("w:val") = info ? info->family : "auto";
        font.append_child("w:pitch").append_attribute("w:val") = info ? info->pitch : "variable";
    }
    return ToXmlString(xml);
}

}  // namespace varelo::host::docx
