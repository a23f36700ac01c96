#include <QAction>
#include <QMenuBar>
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

}  // namespace
