#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dialog_sheet.h"
#include "temp_dir.h"

using namespace varelo;
using layout::OmrTemplate;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

constexpr double kRowMm = 4.2324;
constexpr double kMmPerPt = 25.4 / 72;

using Group = fixture::DialogGroup;

// A sheet made through the dialog's OK handler, and the form it was made from.
struct Sheet : fixture::DialogSheet {
    explicit Sheet(const std::string& layout,
                   const std::vector<Group>& groups = {{"选择题", "30", "4", "1"}},
                   const std::string& digits = "9")
        : DialogSheet(layout, groups, [&](settings::SheetForm& f) { f.txtExam_NO = digits; }) {}
};

TEST(OmrTemplate, ExampleSheetInEveryLayout) {
    const struct {
        const char* layout;
        double width, height;  // mm
    } cases[] = {{"A3三栏", 420, 297},  {"A3双栏", 420, 297}, {"8开三栏", 388, 268},
                 {"8开双栏", 388, 268}, {"A4单栏", 210, 297}, {"B5单栏", 182, 257}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        const OmrTemplate t = Sheet(c.layout).Template();
        ASSERT_EQ(t.pages.size(), 2u);
        for (const layout::OmrPage& p : t.pages) {
            EXPECT_NEAR(p.width, c.width, 0.01);
            EXPECT_NEAR(p.height, c.height, 0.01);
            EXPECT_EQ(std::count_if(p.marks.begin(), p.marks.end(),
                                    [](const auto& m) { return m.corner; }),
                      3);
        }
        // Ten candidate rows and two blocks of four option rows carry a row mark each.
        EXPECT_EQ(t.pages[0].marks.size(), 3u + 10 + 8);
        EXPECT_EQ(t.pages[1].marks.size(), 3u);

        ASSERT_EQ(t.candidateColumns.size(), 9u);
        for (size_t c = 0; c < 9; ++c)
            for (size_t d = 0; d < 10; ++d) {
                const layout::OmrBubble& b = t.candidateColumns[c][d];
                EXPECT_EQ(b.value, std::to_string(d));
                EXPECT_NEAR(b.rect.y - t.candidateColumns[c][0].rect.y, d * kRowMm, 1e-6);
                if (c > 0) {
                    EXPECT_GT(b.rect.x, t.candidateColumns[c - 1][d].rect.x);
                }
            }
        ASSERT_EQ(t.items.size(), 30u);
        for (size_t k = 0; k < 30; ++k) {
            EXPECT_EQ(t.items[k].number, static_cast<int>(k) + 1);
            ASSERT_EQ(t.items[k].options.size(), 4u);
            EXPECT_EQ(t.items[k].options[3].value, "D");
        }
    }
}

// Rows 30-40 of the A3 three-column grid hold the example's items: the first option row (31)
// starts 30 rows below the 1 cm top margin, and a bubble's top is 0.62 em above a baseline
// 0.8 em down its 12 pt line.
TEST(OmrTemplate, ExampleItemsStandInTheirGridRowsAndColumns) {
    const OmrTemplate t = Sheet("A3三栏").Template();
    const double bubbleTop = (9.6 - 7.44) * kMmPerPt;
    EXPECT_NEAR(t.items[0].options[0].rect.y, 10 + 30 * kRowMm + bubbleTop, 1e-6);
    EXPECT_NEAR(t.items[15].options[0].rect.y, 10 + 36 * kRowMm + bubbleTop, 1e-6);
    EXPECT_NEAR(t.items[0].options[0].rect.width, 12 * 0.82 * kMmPerPt, 1e-9);
    // Item 6 begins the second five-group, one empty column on.
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
    EXPECT_EQ(t.groups[1].firstItem, 21);
    EXPECT_EQ(t.groups[2].itemCount, 0);
    ASSERT_EQ(t.items.size(), 30u);
    EXPECT_EQ(t.items[19].points, 2);
    EXPECT_EQ(t.items[20].group, 2);
    EXPECT_EQ(t.items[20].points, 1.5);
    EXPECT_EQ(t.items[20].options.size(), 2u);
    EXPECT_NEAR(t.items[20].options[0].rect.y - t.items[0].options[0].rect.y, 6 * kRowMm, 1e-6);
    // The empty group keeps its marks: one per option row of its one block.
    EXPECT_EQ(t.pages[0].marks.size(), 3u + 10 + 4 + 2 + 5);
}

// A list longer than the first page column: items follow the blocks into the next columns and
// onto page 2, each item's bubbles in one column of one page, labelled as printed.
TEST(OmrTemplate, ItemsFollowTheBlocksThroughThePageColumns) {
    const Sheet sheet(
        "A3三栏",
        {{"单选", "500", "4", "1"}, {"排序", "20", "3", "2", 1}, {"判断", "30", "2", "1", 2}});
    ASSERT_NE(sheet.doc, nullptr);
    const OmrTemplate t = sheet.Template();
    ASSERT_EQ(t.items.size(), 550u);
    EXPECT_EQ(t.groups[2].labels, "判断");
    for (const layout::OmrItem& item : t.items)
        for (const layout::OmrBubble& b : item.options) {
            EXPECT_EQ(b.rect.page, item.options.front().rect.page) << item.number;
            EXPECT_NEAR(b.rect.x, item.options.front().rect.x, 1e-9) << item.number;
        }
    // Item 91 opens the second page column at its top; items 391 and on are on page 2.
    EXPECT_GT(t.items[90].options[0].rect.x, t.items[14].options[0].rect.x + 20);
    EXPECT_LT(t.items[90].options[0].rect.y, t.items[0].options[0].rect.y);
    EXPECT_EQ(t.items[389].options[0].rect.page, 1);
    EXPECT_EQ(t.items[390].options[0].rect.page, 2);
    EXPECT_EQ(t.items[500].options[2].value, "3");
    EXPECT_EQ(t.items[549].options[0].value, "T");
    EXPECT_EQ(t.items[549].options[1].value, "F");
}

TEST(OmrTemplate, RefusesASheetThatDoesNotMatchItsForm) {
    Sheet sheet("A3三栏");
    const auto refused = [&](const std::string& digits, const std::string& items,
                             const std::string& options, int16_t code) {
        sheet.form.txtExam_NO = digits;
        sheet.form.mfgQuestion.SetRow(1, {"1", "选择题", items, options, "字母", "1"});
        bool threw = false;
        try {
            sheet.Template(code);
        } catch (const layout::OmrError&) {
            threw = true;
        }
        return threw;
    };
    EXPECT_FALSE(refused("9", "30", "4", 1));
    EXPECT_TRUE(refused("8", "30", "4", 1));  // a leading digit column would be lost
    EXPECT_TRUE(refused("9", "25", "4", 1));  // items the template would not list
    EXPECT_TRUE(refused("9", "31", "4", 1));
    EXPECT_TRUE(refused("9", "30", "5", 1));
    EXPECT_TRUE(refused("9", "30", "4", 2));  // another layout of the same grid size
    const settings::ValidExam made = settings::ExamOfSettings(settings::DraftOf(sheet.form));
    EXPECT_THROW(layout::BuildOmrTemplate(host::Document{}, made.exam, made.plan),
                 layout::OmrError);
}

TEST(OmrTemplate, WritesItsJsonAtomically) {
    const varelo::testing::TempDir tmp("varelo-omr-template");
    const fs::path& dir = tmp.path();
    const OmrTemplate t = Sheet("8开双栏", {{"选择题", "7", "3", "0.5"}}, "4").Template();

    const std::string file = (dir / "sheet.json").string();
    EXPECT_EQ(layout::WriteOmrTemplate(t, file, layout::OmrFormat::Varelo, 150),
              std::vector<std::string>{file});
    std::ifstream in(file);
    const json j = json::parse(in);
    EXPECT_EQ(j["format"], "varelo-omr-template");
    EXPECT_EQ(j["version"], 1);
    EXPECT_EQ(j["pages"][0]["marks"].size(), t.pages[0].marks.size());
    EXPECT_EQ(j["candidateNumber"]["columns"][3]["bubbles"][7]["digit"], 7);
    EXPECT_NEAR(j["candidateNumber"]["columns"][3]["bubbles"][7]["rect"]["x"].get<double>(),
                t.candidateColumns[3][7].rect.x, 0.0005);
    EXPECT_EQ(j["groups"][0]["points"], 0.5);
    EXPECT_EQ(j["items"][6]["options"][2]["label"], "C");

    EXPECT_EQ(layout::WriteOmrTemplate(t, (dir / "scan.JSON").string(),
                                       layout::OmrFormat::OmrChecker, 150),
              std::vector<std::string>{(dir / "scan-1.json").string()});  // page 2 has no bubbles
    EXPECT_THROW(layout::WriteOmrTemplate(t, (dir / "no" / "t.json").string(),
                                          layout::OmrFormat::Varelo, 150),
                 layout::OmrError);
    EXPECT_THROW(layout::WriteOmrTemplate(t, dir.string(), layout::OmrFormat::Varelo, 150),
                 layout::OmrError);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()),
              2);  // no leftovers
}

// OMRChecker puts value v of field f of a block at origin + (f * labelsGap, v * bubblesGap).
TEST(OmrTemplate, OmrCheckerBlocksReproduceEveryBubble) {
    const double px = 200 / 25.4;
    const OmrTemplate t = Sheet("A3三栏").Template();
    const std::vector<std::string> pages = layout::OmrCheckerJson(t, 200);
    ASSERT_EQ(pages.size(), 2u);
    const json p1 = json::parse(pages[0]);
    EXPECT_EQ(p1["pageDimensions"], json::array({3307, 2339}));
    EXPECT_EQ(p1["customLabels"]["candidateNumber"].size(), 9u);
    EXPECT_TRUE(json::parse(pages[1])["fieldBlocks"].empty());

    // The candidate field is one block; the items come by five-group, since the empty column
    // between five-groups breaks the even spacing.
    const json& blocks = p1["fieldBlocks"];
    ASSERT_EQ(blocks.size(), 7u);
    const auto check = [&](const json& b,
                           const std::vector<std::vector<layout::OmrBubble>>& fields) {
        ASSERT_EQ(b["fieldLabels"].size(), fields.size());
        for (size_t f = 0; f < fields.size(); ++f) {
            ASSERT_EQ(b["bubbleValues"].size(), fields[f].size());
            for (size_t v = 0; v < fields[f].size(); ++v) {
                EXPECT_EQ(b["bubbleValues"][v], fields[f][v].value);
                EXPECT_NEAR(b["origin"][0].get<double>() + f * b["labelsGap"].get<double>(),
                            fields[f][v].rect.x * px, 0.6);
                EXPECT_NEAR(b["origin"][1].get<double>() + v * b["bubblesGap"].get<double>(),
                            fields[f][v].rect.y * px, 0.6);
            }
        }
    };
    check(blocks["candidateNumber"], t.candidateColumns);
    std::vector<std::vector<layout::OmrBubble>> last;
    for (size_t k = 25; k < 30; ++k) last.push_back(t.items[k].options);
    check(blocks["q26-q30"], last);
    EXPECT_EQ(blocks["q26-q30"]["fieldLabels"][4], "q30");
}

}  // namespace
