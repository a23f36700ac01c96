#include "docx/xml.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/units.h"
#include "base/utf8.h"
#include "base/xml_text.h"

namespace varelo::host::docx {

void AppendEscaped(std::string& out, std::string_view s, bool attribute) {
    FilterXmlText(s, [&](std::string_view piece, char32_t cp) {
        switch (cp) {
            case U'&':
                out += "&amp;";
                return;
            case U'<':
                out += "&lt;";
                return;
            case U'>':
                out += "&gt;";
                return;
            case U'"':
                out += attribute ? "&quot;" : "\"";
                return;
            case U'\t':
                out += attribute ? "&#9;" : "\t";
                return;
            case U'\n':
                out += attribute ? "&#10;" : "\n";
                return;
            case U'\r':
                out += "&#13;";
                return;
            default:
                out.append(piece);
        }
    });
}

std::string CleanText(std::string_view s) {
    return XmlSafeText(s);
}

void AppendCleanText(std::string& out, std::string_view s) {
    FilterXmlText(s, [&](std::string_view piece, char32_t) { out.append(piece); });
}

std::string CleanFontName(std::string_view name) {
    std::string clean = CleanText(name);
    size_t chars = 0, i = 0;
    while (i < clean.size()) {
        if (chars == kMaxFontNameChars) {
            clean.resize(i);
            break;
        }
        const auto b = static_cast<unsigned char>(clean[i]);
        i += b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
        ++chars;
    }
    return clean;
}

long Twips(double points) {
    return std::lround(points * kTwipsPerPoint);
}
long HalfPoints(double points) {
    return std::lround(points * 2.0);
}
long FiftiethsOfPercent(double percent) {
    return std::lround(percent * 50.0);
}

const char* JcName(Alignment a) {
    switch (a) {
        case Alignment::Left:
            return "left";
        case Alignment::Center:
            return "center";
        case Alignment::Right:
            return "right";
        case Alignment::Justify:
            return "both";
    }
    return "left";
}

std::optional<Alignment> ParseJc(std::string_view v) {
    if (v == "left" || v == "start") return Alignment::Left;
    if (v == "center") return Alignment::Center;
    if (v == "right" || v == "end") return Alignment::Right;
    if (v == "both" || v == "distribute") return Alignment::Justify;
    return std::nullopt;
}

const char* RowJcName(RowAlignment a) {
    switch (a) {
        case RowAlignment::Left:
            return "left";
        case RowAlignment::Center:
            return "center";
        case RowAlignment::Right:
            return "right";
    }
    return "left";
}

std::optional<RowAlignment> ParseRowJc(std::string_view v) {
    if (v == "left" || v == "start") return RowAlignment::Left;
    if (v == "center") return RowAlignment::Center;
    if (v == "right" || v == "end") return RowAlignment::Right;
    return std::nullopt;
}

const char* CellVAlignName(CellVAlign a) {
    switch (a) {
        case CellVAlign::Top:
            return "top";
        case CellVAlign::Center:
            return "center";
        case CellVAlign::Bottom:
            return "bottom";
    }
    return "top";
}

std::optional<CellVAlign> ParseCellVAlign(std::string_view v) {
    if (v == "top") return CellVAlign::Top;
    if (v == "center") return CellVAlign::Center;
    if (v == "bottom") return CellVAlign::Bottom;
    return std::nullopt;
}

// wdAlignVerticalTop 0, Center 1, Justify 2, Bottom 3.
const char* PageVAlignName(int v) {
    switch (v) {
        case 1:
            return "center";
        case 2:
            return "both";
        case 3:
            return "bottom";
        default:
            return "top";
    }
}

std::optional<int> ParsePageVAlign(std::string_view v) {
    if (v == "top") return 0;
    if (v == "center") return 1;
    if (v == "both") return 2;
    if (v == "bottom") return 3;
    return std::nullopt;
}

// wdSectionContinuous 0, NewColumn 1, NewPage 2, EvenPage 3, OddPage 4.
const char* SectionTypeName(int v) {
    switch (v) {
        case 0:
            return "continuous";
        case 1:
            return "nextColumn";
        case 3:
            return "evenPage";
        case 4:
            return "oddPage";
        default:
            return "nextPage";
    }
}

std::optional<int> ParseSectionType(std::string_view v) {
    if (v == "continuous") return 0;
    if (v == "nextColumn") return 1;
    if (v == "nextPage") return 2;
    if (v == "evenPage") return 3;
    if (v == "oddPage") return 4;
    return std::nullopt;
}

// wdLayoutModeDefault 0, Grid 1, LineGrid 2, Genko 3.
const char* DocGridTypeName(int v) {
    switch (v) {
        case 1:
            return "linesAndChars";
        case 2:
            return "lines";
        case 3:
            return "snapToChars";
        default:
            return "";
    }
}

std::optional<int> ParseDocGridType(std::string_view v) {
    if (v == "default") return 0;
    if (v == "linesAndChars") return 1;
    if (v == "lines") return 2;
    if (v == "snapToChars") return 3;
    return std::nullopt;
}

const char* StyleIdName(StyleId id) {
    switch (id) {
        case StyleId::Normal:
            return "Normal";
        case StyleId::Heading1:
            return "Heading1";
        case StyleId::Heading2:
            return "Heading2";
    }
    return "Normal";
}

std::optional<StyleId> ParseStyleId(std::string_view v) {
    if (v == "Normal") return StyleId::Normal;
    if (v == "Heading1") return StyleId::Heading1;
    if (v == "Heading2") return StyleId::Heading2;
    return std::nullopt;
}

namespace {
// Word paper size constant -> OOXML paper code.
constexpr int kPaperCodes[][2] = {{2, 1}, {4, 5}, {6, 8}, {7, 9}, {9, 11}, {11, 13}};
}  // namespace

int PaperCode(int wdPaperSize) {
    for (const auto& p : kPaperCodes)
        if (p[0] == wdPaperSize) return p[1];
    return 0;
}

int PaperSizeFromCode(int code) {
    for (const auto& p : kPaperCodes)
        if (p[1] == code) return p[0];
    return kPaperCustom;
}

namespace {
constexpr const char* kBorderNames[] = {"nil",     "single",     "dotted", "dashSmallGap", "dashed",
                                        "dotDash", "dotDotDash", "double", "triple"};
constexpr int kBorderNameCount = sizeof kBorderNames / sizeof kBorderNames[0];
}  // namespace

const char* BorderValName(int style) {
    if (style <= kLineStyleNone) return "nil";
    return style < kBorderNameCount ? kBorderNames[style] : "single";
}

int ParseBorderVal(std::string_view v) {
    if (v == "none") return kLineStyleNone;
    for (int i = 0; i < kBorderNameCount; ++i)
        if (v == kBorderNames[i]) return i;
    return v.empty() ? kLineStyleNone : kLineStyleSingle;
}

std::string ColorName(int c) {
    if (c == kColorAutomatic || c < 0) return "auto";
    const unsigned u = static_cast<unsigned>(c);
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02X%02X%02X", u & 0xFF, (u >> 8) & 0xFF, (u >> 16) & 0xFF);
    return buf;
}

int ParseColor(std::string_view v) {
    if (v.size() != 6) return kColorAutomatic;
    unsigned rgb = 0;
    for (char ch : v) {
        int d;
        if (ch >= '0' && ch <= '9')
            d = ch - '0';
        else if (ch >= 'A' && ch <= 'F')
            d = ch - 'A' + 10;
        else if (ch >= 'a' && ch <= 'f')
            d = ch - 'a' + 10;
        else
            return kColorAutomatic;
        rgb = rgb * 16 + static_cast<unsigned>(d);
    }
    const unsigned bgr = ((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF);
    return static_cast<int>(bgr);
}

bool OnOff(pugi::xml_node element) {
    if (!element) return false;
    const pugi::xml_attribute val = element.attribute("w:val");
    if (!val) return true;
    const std::string_view v = val.value();
    return !(v == "0" || v == "false" || v == "off");
}

namespace {
struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};
}  // namespace

void AddDeclaration(pugi::xml_document& doc) {
    pugi::xml_node decl = doc.prepend_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    decl.append_attribute("standalone") = "yes";
}

std::string ToXmlString(const pugi::xml_document& doc) {
    StringWriter w;
    doc.save(w, "", pugi::format_raw, pugi::encoding_utf8);
    return std::move(w.out);
}

}  // namespace varelo::host::docx
