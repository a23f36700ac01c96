// The page grid's cells take their format from the default paragraph style, a cell style,
// instead of stating it, and say nothing of an auto width. LibreOffice must print such a
// sheet exactly as the same sheet with Normal the default style again and every cell
// spelling its format out: same pages, every word (marks and bubbles are glyphs of the
// bubble font) within 0.05 mm.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>
#include <pugixml.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "docx/writer.h"
#include "docx/zip.h"
#include "docx_test_util.h"
#include "office_support.h"

namespace fs = std::filesystem;
using namespace varelo;
using namespace varelo::interop;

namespace {

constexpr double kToleranceMm = 0.05;

std::string XmlText(const pugi::xml_document& doc) {
    std::ostringstream out;
    doc.save(out, "", pugi::format_raw);
    return out.str();
}

// The paragraph's properties with what its style gives written into them, in schema order.
void SpellOut(pugi::xml_node p, pugi::xml_node stylePPr) {
    const pugi::xml_node own = p.child("w:pPr");
    pugi::xml_node pPr = p.insert_child_before("w:pPr", p.first_child());
    for (const char* name : {"w:snapToGrid", "w:spacing", "w:jc"}) {
        const pugi::xml_node mine = own.child(name), style = stylePPr.child(name);
        if (!mine && !style) continue;
        pugi::xml_node out = pPr.append_copy(mine ? mine : style);
        for (pugi::xml_attribute a : style.attributes())
            if (!out.attribute(a.name())) out.append_copy(a);
    }
    if (own.child("w:rPr")) pPr.append_copy(own.child("w:rPr"));
    p.remove_child(own);
}

// document.xml as it reads with every cell's format stated in the cell, and styles.xml with
// Normal the default paragraph style; returns how many paragraphs took their format from the
// cell style.
int SpellOutCells(pugi::xml_document& document, pugi::xml_document& styles) {
    pugi::xml_node cellStyle =
        styles.child("w:styles").find_child_by_attribute("w:style", "w:styleId", "Cell");
    cellStyle.remove_attribute("w:default");
    pugi::xml_node normal =
        styles.child("w:styles").find_child_by_attribute("w:style", "w:styleId", "Normal");
    normal.insert_attribute_after("w:default", normal.attribute("w:type")).set_value("1");
    int spelled = 0;
    for (pugi::xpath_node n : document.select_nodes("//w:tc")) {
        pugi::xml_node tc = n.node();
        pugi::xml_node tcPr = tc.child("w:tcPr");
        if (!tcPr) tcPr = tc.prepend_child("w:tcPr");
        if (!tcPr.child("w:tcW")) {
            pugi::xml_node w = tcPr.prepend_child("w:tcW");
            w.append_attribute("w:w") = "0";
            w.append_attribute("w:type") = "auto";
        }
        for (pugi::xml_node p : tc.children("w:p")) {
            if (p.child("w:pPr").child("w:pStyle")) continue;
            SpellOut(p, cellStyle.child("w:pPr"));
            ++spelled;
        }
    }
    return spelled;
}

struct Word {
    int page;
    std::string text;
    double box[4];  // xMin, yMin, xMax, yMax in points
};

std::vector<Word> Words(const fs::path& pdf, std::string& log) {
    std::string html;
    if (RunCommand("pdftotext -bbox " + Quote(pdf.string()) + " -", html) != 0) {
        log += html;
        return {};
    }
    const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>|<page )re");
    std::vector<Word> out;
    int page = 0;
    for (auto it = std::sregex_iterator(html.begin(), html.end(), word);
         it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        if (!m[1].matched) {
            ++page;
            continue;
        }
        out.push_back(
            {page, m[5], {std::stod(m[1]), std::stod(m[2]), std::stod(m[3]), std::stod(m[4])}});
    }
    return out;
}

}  // namespace

TEST(CellStyle, LibreOfficePrintsTheSheetAsWithEveryCellSpelledOut) {
    for (const char* program : {"soffice", "pdftotext"})
        if (!OnPath(program))
            GTEST_SKIP() << program
                         << " is not installed (libreoffice-writer-nogui, poppler-utils)";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    const fixture::DialogSheet sheet("A3三栏");
    ASSERT_NE(sheet.doc, nullptr);
    const std::string bytes = host::DocxBytes(*sheet.doc);

    std::map<std::string, std::string> parts = varelo::testing::Unzip(bytes);
    pugi::xml_document document = varelo::testing::ParseXml(parts.at("word/document.xml"));
    pugi::xml_document styles = varelo::testing::ParseXml(parts.at("word/styles.xml"));
    EXPECT_GT(SpellOutCells(document, styles), 7000);
    parts["word/document.xml"] = XmlText(document);
    parts["word/styles.xml"] = XmlText(styles);
    host::docx::ZipWriter zip(1);
    zip.Add("[Content_Types].xml", parts.at("[Content_Types].xml"));
    for (const auto& [name, data] : parts)
        if (name != "[Content_Types].xml") zip.Add(name, data);

    const fs::path compact = tmp.path() / "compact.docx", spelled = tmp.path() / "spelled.docx";
    host::SaveDocx(*sheet.doc, compact.string());
    host::SaveFileAtomically(spelled.string(), zip.Finish());
    const fs::path pdfDir = tmp.path() / "pdf";
    std::string log;
    ASSERT_EQ(ConvertToPdf({compact, spelled}, tmp.path() / "home", pdfDir, log), 0) << log;

    const std::vector<Word> a = Words(pdfDir / "compact.pdf", log),
                            b = Words(pdfDir / "spelled.pdf", log);
    ASSERT_GT(a.size(), 200u) << log;
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(a.back().page, 2);
    int far = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ASSERT_EQ(a[i].text, b[i].text) << "word " << i;
        EXPECT_EQ(a[i].page, b[i].page) << a[i].text;
        for (int k = 0; k < 4; ++k)
            if (std::abs(a[i].box[k] - b[i].box[k]) * 25.4 / 72 > kToleranceMm && ++far <= 8)
                ADD_FAILURE() << "\"" << a[i].text << "\" on page " << a[i].page << " moved from "
                              << b[i].box[k] << " to " << a[i].box[k] << " pt";
    }
    EXPECT_EQ(far, 0);
}
