#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "host/application.h"
#include "layout/omr_template.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

using namespace varelo;
using layout::OmrBubble;
using layout::OmrTemplate;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

struct Group {
    std::string name, items, options, points;
};

// A sheet made through the dialog's OK handler, and the form it was made from.
struct Sheet {
    host::Application app;
    layout::SheetForm form;
    host::Document* doc = nullptr;
    int16_t code = 0;

    explicit Sheet(const std::string& layout,
                   const std::vector<Group>& groups = {{"选择题", "30", "4", "1"}},
                   const std::string& digits = "9") {
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = layout;
        form.txtExam_NO = digits;
        for (const Group& g : groups) {
            form.txtQuestion = g.name;
            form.txtQ_Count = g.items;
            form.chkO_Count = true;
            settings::chkO_Count_Click(form);
            form.txtO_Count = g.options;
            form.txtXiaofen = g.points;
            settings::cmdAdd_Click(app, form);
        }
        doc = settings::OKButton_Click(app, form);
        code = *settings::LayoutCode(layout);
    }
    OmrTemplate Template() const { return layout::BuildOmrTemplate(*doc, form, code); }
};

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

struct PaperMm {
    double width, height;
};
constexpr PaperMm kPapers[] = {{420, 297}, {420, 297}, {388, 268},
                               {388, 268}, {210, 297}, {182, 257}};

int Corners(const layout::OmrPage& p) {
    int n = 0;
    for (const layout::OmrMark& m : p.marks) n += m.corner ? 1 : 0;
    return n;
}

TEST(OmrTemplate, ExampleSheetInEveryLayout) {
    for (size_t i = 0; i < std::size(kLayouts); ++i) {
        SCOPED_TRACE(kLayouts[i]);
        const Sheet sheet(kLayouts[i]);
        ASSERT_NE(sheet.doc, nullptr);
        const OmrTemplate t = sheet.Template();

        ASSERT_EQ(t.pages.size(), 2u);
        for (const layout::OmrPage& p : t.pages) {
            EXPECT_NEAR(p.width, kPapers[i].width, 0.01);
            EXPECT_NEAR(p.height, kPapers[i].height, 0.01);
            EXPECT_EQ(Corners(p), 3);
        }
        // Ten candidate rows and two blocks of four option rows carry a row mark each.
        EXPECT_EQ(t.pages[0].marks.size(), 3u + 10 + 8);
        EXPECT_EQ(t.pages[1].marks.size(), 3u);
        for (const layout::OmrMark& m : t.pages[0].marks) {
            EXPECT_NEAR(m.rect.width, 12 * 0.82 * 25.4 / 72, 1e-9);
            EXPECT_GT(m.rect.x, 0);
            EXPECT_LT(m.rect.x + m.rect.width, kPapers[i].width);
        }

        ASSERT_EQ(t.candidateColumns.size(), 9u);
        for (size_t c = 0; c < t.candidateColumns.size(); ++c) {
            const std::vector<OmrBubble>& column = t.candidateColumns[c];
            ASSERT_EQ(column.size(), 10u);
            for (size_t d = 0; d < column.size(); ++d) {
                EXPECT_EQ(column[d].value, std::to_string(d));
                EXPECT_EQ(column[d].rect.x, column[0].rect.x);
                if (d > 0) {
                    EXPECT_NEAR(column[d].rect.y - column[d - 1].rect.y, 4.2324, 1e-6);
                }
            }
            if (c > 0) {
                EXPECT_GT(column[0].rect.x, t.candidateColumns[c - 1][0].rect.x);
            }
        }

        ASSERT_EQ(t.groups.size(), 1u);
        EXPECT_EQ(t.groups[0].firstItem, 1);
        ASSERT_EQ(t.items.size(), 30u);
        for (size_t k = 0; k < t.items.size(); ++k) {
            const layout::OmrItem& item = t.items[k];
            EXPECT_EQ(item.number, static_cast<int>(k) + 1);
            EXPECT_EQ(item.group, 1);
            EXPECT_EQ(item.points, 1);
            ASSERT_EQ(item.options.size(), 4u);
            EXPECT_EQ(item.options[0].value + item.options[1].value + item.options[2].value +
                          item.options[3].value,
                      "ABCD");
            EXPECT_GT(item.options[3].rect.y, item.options[0].rect.y);
        }
    }
}

// The example sheet pins the geometry: rows 30-40 of the A3 three-column grid hold the
// items, so the first option row (31) starts 30 rows of 0.42324 cm below the top margin.
TEST(OmrTemplate, ExampleItemsStandInTheirGridRows) {
    const OmrTemplate t = Sheet("A3三栏").Template();
    const double row = 4.2324;
    const double optionTop = 10 + 30 * row;  // top margin 1 cm, row 31
    // The bubble sits 0.62 em above a baseline 0.8 em below the top of its 12 pt line.
    EXPECT_NEAR(t.items[0].options[0].rect.y, optionTop + (9.6 - 7.44) * 25.4 / 72, 1e-6);
    EXPECT_NEAR(t.items[15].options[0].rect.y, optionTop + 6 * row + (9.6 - 7.44) * 25.4 / 72,
                1e-6);
    // Item 6 begins the second five-group, one empty column further right than item 5's neighbour.
    const double pitch = t.items[1].options[0].rect.x - t.items[0].options[0].rect.x;
    EXPECT_NEAR(t.items[5].options[0].rect.x - t.items[4].options[0].rect.x, 2 * pitch, 1e-9);
}

TEST(OmrTemplate, GroupsNumberItemsOnAndKeepTheirPoints) {
    const OmrTemplate t =
        Sheet("A4单栏",
              {{"单选", "20", "4", "2"}, {"判断", "10", "2", "1.5"}, {"多选", "0", "5", "3"}}, "12")
            .Template();
    EXPECT_EQ(t.candidateColumns.size(), 12u);
    ASSERT_EQ(t.groups.size(), 3u);
    EXPECT_EQ(t.groups[1].name, "判断");
    EXPECT_EQ(t.groups[1].firstItem, 21);
    EXPECT_EQ(t.groups[1].itemCount, 10);
    EXPECT_EQ(t.groups[2].itemCount, 0);
    ASSERT_EQ(t.items.size(), 30u);
    EXPECT_EQ(t.items[19].group, 1);
    EXPECT_EQ(t.items[19].points, 2);
    EXPECT_EQ(t.items[20].number, 21);
    EXPECT_EQ(t.items[20].group, 2);
    EXPECT_EQ(t.items[20].points, 1.5);
    EXPECT_EQ(t.items[20].options.size(), 2u);
    // The second group starts below the first one's block and its spacer row.
    EXPECT_NEAR(t.items[20].options[0].rect.y - t.items[0].options[0].rect.y, 6 * 4.2324, 1e-6);
    // The empty group still has its marks: one per option row of its one block.
    EXPECT_EQ(t.pages[0].marks.size(), 3u + 10 + 4 + 2 + 5);
}

TEST(OmrTemplate, RefusesASheetThatDoesNotMatchItsForm) {
    Sheet sheet("A3三栏");
    sheet.form.txtExam_NO = "8";
    EXPECT_THROW(sheet.Template(), layout::OmrError);
    sheet.form.txtExam_NO = "9";

    sheet.form.mfgQuestion.SetRow(1, {"1", "选择题", "25", "4", "字母", "1"});
    EXPECT_THROW(sheet.Template(), layout::OmrError);
    sheet.form.mfgQuestion.SetRow(1, {"1", "选择题", "31", "4", "字母", "1"});
    EXPECT_THROW(sheet.Template(), layout::OmrError);
    sheet.form.mfgQuestion.SetRow(1, {"1", "选择题", "30", "5", "字母", "1"});
    EXPECT_THROW(sheet.Template(), layout::OmrError);
    sheet.form.mfgQuestion.SetRow(1, {"1", "选择题", "30", "4", "字母", "1"});
    EXPECT_NO_THROW(sheet.Template());

    EXPECT_THROW(layout::BuildOmrTemplate(*sheet.doc, sheet.form, 2),
                 layout::OmrError);  // same grid size
    EXPECT_THROW(layout::BuildOmrTemplate(*sheet.doc, sheet.form, 5), layout::OmrError);
    EXPECT_THROW(layout::BuildOmrTemplate(host::Document{}, sheet.form, 1), layout::OmrError);
}

TEST(OmrTemplate, JsonHoldsTheTemplate) {
    const Sheet sheet("8开双栏", {{"选择题", "7", "3", "0.5"}}, "4");
    const OmrTemplate t = sheet.Template();
    const json j = json::parse(layout::OmrTemplateJson(t));

    EXPECT_EQ(j["format"], "varelo-omr-template");
    EXPECT_EQ(j["version"], 1);
    EXPECT_EQ(j["unit"], "mm");
    EXPECT_EQ(j["layout"], "8开双栏");
    ASSERT_EQ(j["pages"].size(), 2u);
    EXPECT_EQ(j["pages"][1]["page"], 2);
    EXPECT_EQ(j["pages"][0]["marks"].size(), t.pages[0].marks.size());
    EXPECT_EQ(j["pages"][0]["marks"][0]["kind"], "corner");

    EXPECT_EQ(j["candidateNumber"]["digits"], 4);
    const json& bubble = j["candidateNumber"]["columns"][3]["bubbles"][7];
    EXPECT_EQ(bubble["digit"], 7);
    EXPECT_EQ(bubble["page"], 1);
    EXPECT_NEAR(bubble["rect"]["x"].get<double>(), t.candidateColumns[3][7].rect.x, 0.0005);
    EXPECT_NEAR(bubble["rect"]["height"].get<double>(), t.candidateColumns[3][7].rect.height,
                0.0005);

    EXPECT_EQ(j["groups"][0]["points"], 0.5);
    EXPECT_EQ(j["groups"][0]["optionCount"], 3);
    ASSERT_EQ(j["items"].size(), 7u);
    EXPECT_EQ(j["items"][6]["number"], 7);
    EXPECT_EQ(j["items"][6]["options"][2]["label"], "C");
    EXPECT_NEAR(j["items"][6]["options"][2]["rect"]["y"].get<double>(),
                t.items[6].options[2].rect.y, 0.0005);
}

// Where OMRChecker puts the bubbles of a field block: field f, value v at
// origin + f * labelsGap across and v * bubblesGap down.
std::vector<std::pair<double, double>> Expand(const json& block) {
    std::vector<std::pair<double, double>> at;
    for (size_t f = 0; f < block["fieldLabels"].size(); ++f)
        for (size_t v = 0; v < block["bubbleValues"].size(); ++v)
            at.emplace_back(block["origin"][0].get<double>() +
                                static_cast<double>(f) * block["labelsGap"].get<double>(),
                            block["origin"][1].get<double>() +
                                static_cast<double>(v) * block["bubblesGap"].get<double>());
    return at;
}

TEST(OmrTemplate, OmrCheckerBlocksReproduceEveryBubble) {
    constexpr int kDpi = 200;
    const double px = kDpi / 25.4;
    const OmrTemplate t = Sheet("A3三栏").Template();
    const std::vector<std::string> pages = layout::OmrCheckerJson(t, kDpi);
    ASSERT_EQ(pages.size(), 2u);
    const json p1 = json::parse(pages[0]);

    EXPECT_EQ(p1["pageDimensions"], json::array({3307, 2339}));
    EXPECT_EQ(p1["bubbleDimensions"][0], std::lround(t.items[0].options[0].rect.width * px));
    EXPECT_TRUE(p1["preProcessors"].is_array());
    EXPECT_EQ(p1["customLabels"]["candidateNumber"].size(), 9u);

    // The candidate field is one block; the items come in five-groups (the empty column
    // between them breaks the spacing), six of them for 30 items.
    const json& blocks = p1["fieldBlocks"];
    ASSERT_EQ(blocks.size(), 7u);
    const json& digits = blocks["candidateNumber"];
    EXPECT_EQ(digits["direction"], "vertical");
    EXPECT_EQ(digits["bubbleValues"].size(), 10u);
    const std::vector<std::pair<double, double>> at = Expand(digits);
    for (size_t c = 0; c < 9; ++c)
        for (size_t d = 0; d < 10; ++d) {
            const layout::OmrRect& r = t.candidateColumns[c][d].rect;
            EXPECT_NEAR(at[c * 10 + d].first, r.x * px, 0.6);
            EXPECT_NEAR(at[c * 10 + d].second, r.y * px, 0.6);
        }
    const json& last = blocks["q26-q30"];
    EXPECT_EQ(last["fieldLabels"], json::array({"q26", "q27", "q28", "q29", "q30"}));
    EXPECT_EQ(last["bubbleValues"], json::array({"A", "B", "C", "D"}));
    const std::vector<std::pair<double, double>> q = Expand(last);
    EXPECT_NEAR(q[4 * 4 + 3].first, t.items[29].options[3].rect.x * px, 0.6);
    EXPECT_NEAR(q[4 * 4 + 3].second, t.items[29].options[3].rect.y * px, 0.6);

    const json p2 = json::parse(pages[1]);
    EXPECT_TRUE(p2["fieldBlocks"].empty());
    EXPECT_FALSE(p2.contains("customLabels"));
}

TEST(OmrTemplate, WritesFilesAtomically) {
    const fs::path dir = fs::temp_directory_path() / "varelo_omr_template_write";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const OmrTemplate t = Sheet("B5单栏").Template();

    const std::string plain = (dir / "sheet.json").string();
    EXPECT_EQ(layout::WriteOmrTemplate(t, plain, layout::OmrFormat::Varelo, 150),
              std::vector<std::string>{plain});
    std::ifstream in(plain);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str(), layout::OmrTemplateJson(t));

    const std::vector<std::string> written = layout::WriteOmrTemplate(
        t, (dir / "scan.JSON").string(), layout::OmrFormat::OmrChecker, 150);
    EXPECT_EQ(written, (std::vector<std::string>{(dir / "scan-1.json").string(),
                                                 (dir / "scan-2.json").string()}));
    for (const std::string& f : written) EXPECT_TRUE(fs::exists(f));

    EXPECT_THROW(layout::WriteOmrTemplate(t, (dir / "missing" / "t.json").string(),
                                          layout::OmrFormat::Varelo, 150),
                 layout::OmrError);
    EXPECT_THROW(layout::WriteOmrTemplate(t, dir.string(), layout::OmrFormat::Varelo, 150),
                 layout::OmrError);
    // Nothing half-written is left beside the files.
    int files = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 3);
    fs::remove_all(dir);
}

}  // namespace
