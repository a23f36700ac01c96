#include <QAction>
#include <QMenuBar>
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "desk_harness.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "temp_dir.h"

using namespace varelo;
using desk_harness::Desk;
namespace fs = std::filesystem;

namespace {

QAction* ExportAction(varelo::desk::MainWindow& window) {
    for (QAction* a : window.menuBar()->findChildren<QAction*>())
        if (a->text().startsWith(QStringLiteral("导出答题卡模板"))) return a;
    return nullptr;
}

TEST(DeskOmrExport, SheetsMadeHereExportTheirTemplate) {
    const varelo::testing::TempDir tmp("varelo-desk-omr");
    const fs::path& dir = tmp.path();
    Desk desk;
    QAction* action = ExportAction(*desk.window);
    ASSERT_NE(action, nullptr);
    EXPECT_FALSE(action->isEnabled());

    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_TRUE(action->isEnabled());

    const fs::path plain = dir / "sheet.json";
    ASSERT_TRUE(desk.window->WriteOmrTemplate(*sheet, QString::fromStdString(plain.string()),
                                              layout::OmrFormat::Varelo, 150));
    std::ifstream in(plain);
    const nlohmann::json j = nlohmann::json::parse(in);
    EXPECT_EQ(j["layout"], "A3三栏");
    EXPECT_EQ(j["candidateNumber"]["digits"], 9);
    EXPECT_EQ(j["items"].size(), 30u);

    ASSERT_TRUE(desk.window->WriteOmrTemplate(*sheet,
                                              QString::fromStdString((dir / "scan.json").string()),
                                              layout::OmrFormat::OmrChecker, 200));
    EXPECT_TRUE(fs::exists(dir / "scan-1.json"));
    EXPECT_FALSE(fs::exists(dir / "scan-2.json"));  // no bubbles on page 2
    EXPECT_TRUE(desk.messages.empty());

    // A document the dialog did not make has no settings to read its template with.
    host::Document& other = desk.app().AddDocument();
    EXPECT_FALSE(action->isEnabled());
    EXPECT_FALSE(
        desk.window->WriteOmrTemplate(other, QString::fromStdString((dir / "other.json").string()),
                                      layout::OmrFormat::Varelo, 150));
    EXPECT_EQ(desk.messages,
              std::vector<std::string>{"只有用答题卡设置生成的文档才能导出答题卡模板。"});
    EXPECT_FALSE(fs::exists(dir / "other.json"));

    // A sheet whose settings part an office program dropped has its template read off the grid.
    std::unique_ptr<host::Document> copy = host::OpenDocxBytes(host::DocxBytes(*sheet));
    copy->customXml.clear();
    host::Document& dropped = desk.app().AdoptDocument(std::move(copy));
    EXPECT_TRUE(action->isEnabled());
    ASSERT_TRUE(desk.window->WriteOmrTemplate(
        dropped, QString::fromStdString((dir / "dropped.json").string()), layout::OmrFormat::Varelo,
        150));
    std::ifstream again(dir / "dropped.json");
    const nlohmann::json read = nlohmann::json::parse(again);
    EXPECT_EQ(read["groups"], j["groups"]);
    EXPECT_EQ(read["candidateNumber"]["digits"], 9);
    EXPECT_EQ(desk.messages.size(), 1u);

    // Once the sheet is closed its settings are forgotten.
    desk.app().Activate(*sheet);
    EXPECT_TRUE(action->isEnabled());
    EXPECT_TRUE(desk.window->CloseDocument());
    desk.app().CloseAllDocuments();
    EXPECT_FALSE(action->isEnabled());
}

// Why a sheet's template cannot be read is said in Chinese, with the cell it concerns; the
// English of the template builder goes to stderr only.
TEST(DeskOmrExport, ASheetChangedSinceItWasMadeSaysWhyInChinese) {
    const varelo::testing::TempDir tmp("varelo-desk-omr-changed");
    Desk desk;
    host::Document* sheet = desk.window->GenerateExampleSheet();
    ASSERT_NE(sheet, nullptr);
    // A teacher types over the first bubble of the grid.
    host::Table& grid = sheet->Tables(1);
    int row = 0, column = 0;
    for (int r = 1; r <= grid.Rows() && !row; ++r)
        for (int c = 1; c <= grid.Columns() && !row; ++c) {
            if (!grid.IsAnchor(r, c)) continue;
            const host::Paragraph& p = grid.At(r, c).FirstParagraph();
            if (p.runs.empty() || p.runs.front().text == "!") continue;
            if (sheet->Resolve(p, p.runs.front().format).font == host::kFontBubble) {
                row = r;
                column = c;
            }
        }
    ASSERT_GT(row, 0);
    grid.At(row, column).SetText("x");

    const auto said = [&](host::Document& doc) {
        desk.messages.clear();
        EXPECT_FALSE(desk.window->WriteOmrTemplate(
            doc, QString::fromStdString((tmp.path() / "t.json").string()),
            layout::OmrFormat::Varelo, 150));
        return desk.messages.size() == 1 ? desk.messages.front() : std::string();
    };
    const auto latin = [](const std::string& s) {
        return std::any_of(s.begin(), s.end(), [](char c) { return std::isalpha(c); });
    };
    const std::string changed = said(*sheet);
    EXPECT_EQ(changed, "无法导出答题卡模板：答题卡与它的设置不符：页面网格第 " +
                           std::to_string(row) + " 行第 " + std::to_string(column) +
                           " 列已被改动。");
    EXPECT_FALSE(latin(changed)) << changed;
}

}  // namespace
