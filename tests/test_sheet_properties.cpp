// Properties every generated sheet must have, checked over a few hundred random settings
// that the dialog accepts, in all six layouts.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <random>
#include <string>
#include <vector>

#include "compose/chinese_numeral.h"
#include "dialog_sheet.h"
#include "doc/constants.h"
#include "doc/page_layout.h"
#include "docx/writer.h"
#include "docx_test_util.h"

using namespace varelo;

namespace {

const std::array<std::string, 6> kLayouts = {"A3三栏",  "A3双栏", "8开三栏",
                                             "8开双栏", "A4单栏", "B5单栏"};
// Where each layout puts the positioning marks of its objective groups.
const std::array<int, 6> kMarkColumns = {1, 1, 1, 1, 28, 26};

struct Settings {
    int layout = 0;  // index into kLayouts
    std::string title, subtitle, setter, digits;
    std::vector<settings::QuestionGrid::Row> groups;

    std::string Describe() const {
        std::string s = kLayouts[layout] + " digits " + digits + " groups:";
        for (const auto& g : groups) s += " [" + g[1] + " " + g[2] + "x" + g[3] + " @" + g[5] + "]";
        return s;
    }
};

template <typename T, size_t N>
const T& Pick(std::mt19937& rng, const std::array<T, N>& items) {
    return items[std::uniform_int_distribution<size_t>(0, N - 1)(rng)];
}

// Fills the dialog as a user would, adding groups until the next one would not fit.
Settings RandomSettings(std::mt19937& rng, int layoutIndex, host::Application& app,
                        settings::SheetForm& form) {
    static const std::array<std::string, 5> kTitles = {"中考试卷", "期末考试", "2024",
                                                       "Test <&> \"Quiz\"", "第一次月考"};
    static const std::array<std::string, 6> kNames = {"选择题",  "单项选择", "判断题",
                                                      "A&B <x>", "多选\t题", "听力"};
    static const std::array<std::string, 6> kPoints = {"1", "2", "1.5", "0.5", "3", "10"};
    const auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };

    fixture::OpenSettings(form, kLayouts[layoutIndex]);
    form.txtTitle = Pick(rng, kTitles);
    form.txtVice_Title = Pick(rng, kTitles);
    form.txtName = number(0, 3) == 0 ? "" : "王老师";
    form.txtExam_NO = std::to_string(number(1, 12));

    // Up to long lists that run through the page columns of both pages.
    const int wanted = number(0, 14);
    for (int g = 0; g < wanted; ++g) {
        form.txtQuestion = Pick(rng, kNames);
        // Mostly everyday groups; now and then an empty or a very wide one.
        form.txtQ_Count = std::to_string(number(0, 9) == 0 ? 0 : number(1, 60));
        form.chkO_Count = number(0, 2) != 0;
        settings::chkO_Count_Click(form);
        form.optOption = number(0, 2);
        settings::optOption_Click(form);
        if (form.chkO_Count && form.optOption != 2)
            form.txtO_Count = std::to_string(number(0, 7) == 0     ? number(1, 26)
                                             : form.optOption == 1 ? number(2, 9)
                                                                   : number(2, 5));
        form.txtXiaofen = Pick(rng, kPoints);
        settings::cmdAdd_Click(app, form);
        if (std::holds_alternative<std::string>(
                settings::ValidateSettings(settings::DraftOf(form)))) {
            form.selectedRow = form.mfgQuestion.Rows() - 1;
            settings::cmdDel_Click(form);
            break;
        }
    }

    return {layoutIndex,  form.txtTitle,   form.txtVice_Title,
            form.txtName, form.txtExam_NO, form.mfgQuestion.Groups()};
}

struct CellView {
    host::CellRect area;
    const host::Cell* cell;
    std::string text;
    std::vector<host::CharFormat> runFormats;  // resolved, one per non-empty run

    bool Single() const { return area.Rows() == 1 && area.Columns() == 1; }
    bool AllIn(const char* font, std::optional<double> size = std::nullopt) const {
        if (runFormats.empty()) return false;
        for (const host::CharFormat& f : runFormats)
            if (f.font != font || (size && f.size != size)) return false;
        return true;
    }
    bool HasRun(const char* font, const std::string& text) const;
};

std::vector<CellView> Cells(const host::Document& doc) {
    const host::Table& t = doc.Tables(1);
    std::vector<CellView> cells;
    for (const host::CellRect& a : t.CellsIn({1, 1, t.Rows(), t.Columns()})) {
        CellView v{t.CellArea(a.top, a.left), &t.At(a.top, a.left), t.At(a.top, a.left).Text(), {}};
        for (const host::Block& b : v.cell->content)
            for (const host::Run& r : b.paragraph.runs)
                if (!r.text.empty()) v.runFormats.push_back(doc.Resolve(b.paragraph, r.format));
        cells.push_back(std::move(v));
    }
    return cells;
}

bool CellView::HasRun(const char* font, const std::string& part) const {
    size_t i = 0;
    for (const host::Block& b : cell->content)
        for (const host::Run& r : b.paragraph.runs) {
            if (r.text.empty()) continue;
            if (runFormats[i++].font == font && r.text.find(part) != std::string::npos) return true;
        }
    return false;
}

bool IsDigits(const std::string& s) {
    return !s.empty() && s.find_first_not_of("0123456789") == std::string::npos;
}

void CheckSheet(const Settings& s, host::Application& app, const host::Document& doc,
                bool checkDocx) {
    const std::vector<CellView> cells = Cells(doc);
    const auto anyCell = [&](const std::string& part) {
        for (const CellView& c : cells)
            if (c.text.find(part) != std::string::npos) return true;
        return false;
    };

    // Every region is there.
    for (const std::string& part :
         {s.title, s.subtitle + "（答题卡）", "命题人：" + s.setter, std::string("准 考 证 号"),
          std::string("姓名"), std::string("班级"), std::string("填涂样例"),
          std::string("注意事项")})
        EXPECT_TRUE(anyCell(part)) << part;

    // One bubble column per digit of the candidate number: each holds one "0".
    int zeros = 0;
    for (const CellView& c : cells) zeros += c.AllIn(host::kFontBubble) && c.text == "0";
    EXPECT_EQ(zeros, std::stoi(s.digits));

    // Positioning marks stand alone in their cells; the only other "!" is the fill example.
    int examples = 0;
    for (const CellView& c : cells) {
        if (!c.HasRun(host::kFontBubble, "!")) continue;
        if (c.Single()) {
            EXPECT_EQ(c.text, "!") << "row " << c.area.top << " column " << c.area.left;
            EXPECT_TRUE(c.AllIn(host::kFontBubble, 12));
        } else {
            ++examples;
            EXPECT_NE(c.text.find("正确填涂"), std::string::npos) << c.text;
        }
    }
    EXPECT_EQ(examples, 1);

    // Each item number once, in its own cell, three digits set smaller.
    std::map<int, int> numbers;
    std::map<int, host::CellRect> numberCells;
    for (const CellView& c : cells)
        if (c.Single() && IsDigits(c.text) && c.AllIn(host::kFontSong)) {
            const int n = std::stoi(c.text);
            ++numbers[n];
            numberCells[n] = c.area;
            EXPECT_TRUE(c.AllIn(host::kFontSong, n >= 100 ? 8 : 10.5)) << n;
        }
    int items = 0;
    for (const auto& g : s.groups) items += std::stoi(g[settings::QuestionGrid::kItems]);
    EXPECT_EQ(static_cast<int>(numbers.size()), items);
    for (const auto& [number, count] : numbers) {
        EXPECT_TRUE(number >= 1 && number <= items) << number;
        EXPECT_EQ(count, 1) << "item " << number;
    }
    int headings = 0;
    for (const CellView& c : cells) headings += c.text.find(" （每小题") != std::string::npos;
    EXPECT_EQ(headings, static_cast<int>(s.groups.size()));

    // No block crosses a page break: an item's number and its option bubbles lie on one page,
    // each bubble beside a mark; and each group's heading stands right above its first item.
    const host::Table& grid = doc.Tables(1);
    const int markColumn = kMarkColumns[s.layout];
    const host::PageLayout pages = host::LayOutPages(doc);
    const host::PlacedTable& placed = *pages.FirstTable();
    EXPECT_EQ(pages.pageCount, 2);
    int first = 1;
    for (const auto& g : s.groups) {
        const int count = std::stoi(g[settings::QuestionGrid::kItems]);
        const int options = std::stoi(g[settings::QuestionGrid::kOptions]);
        for (int n = first; n < first + count && numberCells.count(n); ++n) {
            const host::CellRect at = numberCells[n];
            for (int j = 1; j <= options; ++j) {
                EXPECT_EQ(placed.RowPage(at.top + j), placed.RowPage(at.top)) << "item " << n;
                EXPECT_EQ(
                    grid.At(at.top + j, at.left).content.front().paragraph.runs.front().format.font,
                    host::kFontBubble)
                    << "item " << n;
                EXPECT_EQ(grid.At(at.top + j, markColumn).Text(), "!") << "item " << n;
            }
        }
        if (count > 0 && numberCells.count(first)) {
            const host::CellRect at = numberCells[first];
            std::string number = g[settings::QuestionGrid::kNumber];
            const std::string start = layout::ToChineseNumeral(number, app) + "、" +
                                      g[settings::QuestionGrid::kName] + " （每小题";
            EXPECT_EQ(grid.At(at.top - 1, at.left).Text().rfind(start, 0), 0u) << "item " << first;
            EXPECT_EQ(placed.RowPage(at.top - 1), placed.RowPage(at.top));
        }
        first += count;
    }

    // Option labels stand only in rows the optical reader finds by their mark.
    int labels = 0;
    for (const CellView& c : cells) {
        // Letters, digits (also the candidate number's, which have their marks too), √ and ×.
        const bool label =
            (c.text.size() == 1 && std::isalnum(static_cast<unsigned char>(c.text[0]))) ||
            c.text == "\u221A" || c.text == "\u00D7";
        if (!c.Single() || !label || !c.AllIn(host::kFontBubble)) continue;
        ++labels;
        EXPECT_EQ(grid.At(c.area.top, markColumn).Text(), "!")
            << "label " << c.text << " in row " << c.area.top;
    }
    if (items > 0) {
        EXPECT_GT(labels, 0);
    }

    if (checkDocx) {  // throws when the package or its main part cannot be read
        const pugi::xml_document parsed = varelo::testing::ParseXml(
            varelo::testing::Unzip(host::DocxBytes(doc)).at("word/document.xml"));
        EXPECT_TRUE(parsed.child("w:document").child("w:body").child("w:tbl"));
    }
}

}  // namespace

TEST(SheetProperties, RandomAcceptedSettingsMakeWholeConsistentSheets) {
    std::mt19937 rng(20240611);
    constexpr int kSheets = 300;
    for (int i = 0; i < kSheets; ++i) {
        host::Application app;
        settings::SheetForm form;
        const Settings s = RandomSettings(rng, i % 6, app, form);
        SCOPED_TRACE("sheet " + std::to_string(i) + ": " + s.Describe());

        app.messages.clear();
        const host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr) << (app.messages.empty() ? "" : app.messages.front());
        EXPECT_TRUE(app.messages.empty());
        CheckSheet(s, app, *doc, i % 10 == 0);
        if (HasFailure()) break;  // one sheet's report is enough to start from
    }
}
