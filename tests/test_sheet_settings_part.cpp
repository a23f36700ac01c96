// The sheet's settings travel inside its .docx and come back from it.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <variant>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/driver.h"
#include "compose/sheet_settings_part.h"
#include "doc/application.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "docx_test_util.h"

using namespace varelo;
using varelo::testing::ParseXml;
using varelo::testing::Unzip;

namespace {

// The dialog as a teacher leaves it: two groups, texts with markup and a forbidden character.
settings::SheetForm TeachersForm(host::Application& app) {
    settings::SheetForm form;
    settings::Form_Load(form);
    form.cmbPage = "A3双栏";
    form.txtTitle = "期末<考试> & \"复习\"";
    form.txtVice_Title = "数学\x01";
    form.txtExam_NO = "8";
    form.txtQuestion = "单选";
    form.txtQ_Count = "12";
    settings::cmdAdd_Click(app, form);
    form.txtQuestion = "多选";
    form.chkO_Count = true;
    form.txtO_CountEnabled = true;
    form.txtO_Count = "5";
    form.optOption = 1;
    form.txtXiaofen = "2.5";
    settings::cmdAdd_Click(app, form);
    form.sections = {
        {exam::SectionKind::Fill, "填空<题> & \"空\"", 10, 3, 1, 0, 1.5},
        {exam::SectionKind::Answer, "解答]]>题", 4, 1, 12, 0, 0.1 * 3},
        {exam::SectionKind::Essay, "", 1, 1, 1, 600, 50},
    };
    return form;
}

void ExpectSameSections(const std::vector<exam::WrittenSection>& got,
                        const std::vector<exam::WrittenSection>& want) {
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        SCOPED_TRACE("section " + std::to_string(i + 1));
        EXPECT_EQ(got[i].kind, want[i].kind);
        EXPECT_EQ(got[i].name, want[i].name);
        EXPECT_EQ(got[i].items, want[i].items);
        EXPECT_EQ(got[i].blanks, want[i].blanks);
        EXPECT_EQ(got[i].rows, want[i].rows);
        EXPECT_EQ(got[i].chars, want[i].chars);
        EXPECT_EQ(got[i].points, want[i].points);
    }
}

void ExpectSameDialog(const settings::SheetForm& got, const settings::SheetForm& want) {
    EXPECT_EQ(got.cmbPage, want.cmbPage);
    EXPECT_EQ(got.txtTitle, want.txtTitle);
    EXPECT_EQ(got.txtVice_Title, want.txtVice_Title);
    EXPECT_EQ(got.txtName, want.txtName);
    EXPECT_EQ(got.txtExam_NO, want.txtExam_NO);
    EXPECT_EQ(got.txtQuestion, want.txtQuestion);
    EXPECT_EQ(got.txtQ_Count, want.txtQ_Count);
    EXPECT_EQ(got.txtXiaofen, want.txtXiaofen);
    EXPECT_EQ(got.chkO_Count, want.chkO_Count);
    EXPECT_EQ(got.txtO_CountEnabled, want.txtO_CountEnabled);
    EXPECT_EQ(got.txtO_Count, want.txtO_Count);
    EXPECT_EQ(got.optOption, want.optOption);
    ASSERT_EQ(got.mfgQuestion.Rows(), want.mfgQuestion.Rows());
    for (int r = 0; r < want.mfgQuestion.Rows(); ++r)
        EXPECT_EQ(got.mfgQuestion.GetRow(r), want.mfgQuestion.GetRow(r)) << "row " << r;
    ExpectSameSections(got.sections, want.sections);
    EXPECT_TRUE(got.loaded);
}

}  // namespace

TEST(SheetSettingsPart, DefaultSettingsAreWrittenAsDocumented) {
    settings::SheetForm form;
    settings::Form_Load(form);
    host::Application app;
    settings::cmdAdd_Click(app, form);
    const auto made =
        std::get<settings::ValidExam>(settings::ValidateExam(settings::DraftOf(form)));
    EXPECT_EQ(settings::SheetSettingsXml(made.exam, settings::EntryOf(form)),
              "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
              "<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\">"
              "<paper>8开三栏</paper><title>中考试卷</title><subtitle>英语</subtitle>"
              "<setter>王老师</setter><digits>9</digits>"
              "<groupEntry name=\"选择题\" items=\"30\" options=\"4\" fixedOptions=\"false\" "
              "type=\"字母\" points=\"1\"/>"
              "<objective><group number=\"1\" name=\"选择题\" items=\"30\" options=\"4\" "
              "type=\"字母\" points=\"1\"/></objective></sheetSettings>");
}

TEST(SheetSettingsPart, AGeneratedSheetReopensWithTheDialogItWasMadeFrom) {
    host::Application app;
    settings::SheetForm form = TeachersForm(app);
    host::Document* doc = settings::OKButton_Click(app, form);
    ASSERT_NE(doc, nullptr);

    const std::string bytes = host::DocxBytes(*doc);
    const auto parts = Unzip(bytes);
    ASSERT_TRUE(parts.count("customXml/item1.xml"));
    EXPECT_NE(parts.at("word/_rels/document.xml.rels")
                  .find("relationships/customXml\" Target=\"../customXml/item1.xml\""),
              std::string::npos);
    EXPECT_NE(parts.at("customXml/_rels/item1.xml.rels").find("Target=\"itemProps1.xml\""),
              std::string::npos);
    const pugi::xml_document props = ParseXml(parts.at("customXml/itemProps1.xml"));
    EXPECT_STREQ(props.child("ds:datastoreItem").attribute("ds:itemID").value(),
                 settings::kSheetSettingsItemId);
    EXPECT_STREQ(props.select_node("//ds:schemaRef").node().attribute("ds:uri").value(),
                 settings::kSheetSettingsNamespace);
    EXPECT_NE(parts.at("[Content_Types].xml")
                  .find("PartName=\"/customXml/itemProps1.xml\" "
                        "ContentType=\"application/vnd.openxmlformats-officedocument."
                        "customXmlProperties+xml\""),
              std::string::npos);

    const std::unique_ptr<host::Document> reopened = host::OpenDocxBytes(bytes);
    const std::optional<settings::SheetForm> settings =
        settings::FormOf(*settings::SheetSettingsOf(*reopened));
    ASSERT_TRUE(settings.has_value());
    settings::SheetForm expected = form;
    expected.txtVice_Title = "数学";  // XML cannot carry U+0001
    ExpectSameDialog(*settings, expected);

    // Saved again, the part goes on unchanged; another program's item goes with it.
    reopened->customXml.push_back({"<b:Sources xmlns:b=\"urn:other\"/>", "{0-1}", "urn:other"});
    const std::string resaved = host::DocxBytes(*reopened);
    const std::unique_ptr<host::Document> again = host::OpenDocxBytes(resaved);
    EXPECT_EQ(again->customXml, reopened->customXml);
    EXPECT_EQ(Unzip(resaved).at("customXml/item1.xml"), parts.at("customXml/item1.xml"));
}

TEST(SheetSettingsPart, WhatIsNotVersionOneSheetSettingsIsRefusedWithItsReason) {
    const struct {
        const char* xml;
        const char* message;
    } cases[] = {
        {"<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"2\"/>",
         "The sheet's settings are of version \"2\", which this program cannot read."},
        {"<sheetSettings xmlns=\"urn:elsewhere\" version=\"1\"/>",
         "The part does not hold a sheet's settings."},
        {"<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\"><title>",
         "The sheet's settings are not well-formed XML (Start-end tags mismatch)."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xml);
        try {
            settings::ParseSheetSettings(c.xml);
            ADD_FAILURE() << "accepted";
        } catch (const settings::SheetSettingsError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST(SheetSettingsPart, LaterAdditionsAreSkippedAndMissingValuesTakeTheDefaults) {
    const settings::SheetForm form = settings::FormOf(settings::ParseSheetSettings(
        "<s:sheetSettings xmlns:s=\"urn:varelo:sheet-settings\" version=\"1\" extra=\"x\">"
        "<s:title>月考</s:title><s:sections><s:fill name=\"填空\"/></s:sections>"
        "<s:objective><s:group number=\"1\" name=\"判断\" items=\"5\" options=\"2\" "
        "type=\"判断\" points=\"1\" blocks=\"1\"/></s:objective></s:sheetSettings>"));
    settings::SheetForm defaults;
    settings::Form_Load(defaults);
    EXPECT_EQ(form.txtTitle, "月考");
    EXPECT_EQ(form.cmbPage, defaults.cmbPage);
    EXPECT_EQ(form.txtQuestion, defaults.txtQuestion);
    ASSERT_EQ(form.mfgQuestion.Rows(), 2);
    EXPECT_EQ(form.mfgQuestion.GetRow(0), defaults.mfgQuestion.GetRow(0));
    EXPECT_EQ(form.mfgQuestion.GetRow(1),
              (settings::QuestionGrid::Row{"1", "判断", "5", "2", "判断", "1"}));

    // A section keeps only the counts of its kind; what it leaves out takes the default.
    const settings::SheetForm sections = settings::FormOf(settings::ParseSheetSettings(
        "<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\"><sections>"
        "<section kind=\"作文\" items=\"7\" rows=\"9\"/><section kind=\"解答\" name=\"x\" "
        "chars=\"800\" points=\"6\" later=\"1\"/></sections></sheetSettings>"));
    ExpectSameSections(sections.sections, {{exam::SectionKind::Essay, "", 1, 1, 1, 1, 0},
                                           {exam::SectionKind::Answer, "x", 1, 1, 1, 0, 6}});

    // A document without the part has no settings to give.
    EXPECT_FALSE(settings::SheetSettingsOf(host::Document()).has_value());
}

TEST(SheetSettingsPart, WrittenSectionsNoSheetCanHoldAreRefusedByName) {
    const struct {
        const char* section;
        const char* message;
    } cases[] = {
        {"<section name=\"a\"/>",
         "Written section 2 has the kind \"\"; it must be 填空, 解答 or 作文."},
        {"<section kind=\"选做\"/>",
         "Written section 2 has the kind \"选做\"; it must be 填空, 解答 or 作文."},
        {"<section kind=\"填空\" name=\"填空题\" items=\"-3\"/>",
         "Written section 2 (\"填空题\") has items=\"-3\"; it must be a whole number from 1 to "
         "32767."},
        {"<section kind=\"解答\" name=\"b\" rows=\"99999999999999999999\"/>",
         "Written section 2 (\"b\") has rows=\"99999999999999999999\"; it must be a whole "
         "number from 1 to 32767."},
        {"<section kind=\"作文\" name=\"c\" chars=\"32768\"/>",
         "Written section 2 (\"c\") has chars=\"32768\"; it must be a whole number from 1 to "
         "32767."},
        {"<section kind=\"填空\" name=\"d\" blanks=\"2.5\"/>",
         "Written section 2 (\"d\") has blanks=\"2.5\"; it must be a whole number from 1 to "
         "32767."},
        {"<section kind=\"填空\" name=\"e\" points=\"1e999\"/>",
         "Written section 2 (\"e\") has points=\"1e999\"; it must be a number not below 0."},
        {"<section kind=\"解答\" name=\"f\" points=\"-1\"/>",
         "Written section 2 (\"f\") has points=\"-1\"; it must be a number not below 0."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.section);
        const std::string xml =
            std::string(
                "<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\">"
                "<sections><section kind=\"作文\" chars=\"100\"/>") +
            c.section + "</sections></sheetSettings>";
        try {
            settings::ParseSheetSettings(xml);
            ADD_FAILURE() << "accepted";
        } catch (const settings::SheetSettingsError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }

    std::string many =
        "<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\"><sections>";
    for (int i = 0; i <= 4096; ++i) many += "<section kind=\"作文\"/>";
    many += "</sections></sheetSettings>";
    EXPECT_THROW(settings::ParseSheetSettings(many), settings::SheetSettingsError);
}

// The marks a sheet prints come back with it, so reopening and regenerating keeps them.
TEST(SheetSettingsPart, MarksComeBackWithTheSheet) {
    exam::ExamDraft draft = settings::SavedSettings{}.draft;
    draft.marks = {.absent = true, .paperTypes = "AB"};
    const auto valid = settings::ValidateExam(draft);
    ASSERT_TRUE(std::holds_alternative<settings::ValidExam>(valid)) << std::get<std::string>(valid);
    const std::string xml =
        settings::SheetSettingsXml(std::get<settings::ValidExam>(valid).exam, {});
    EXPECT_EQ(settings::ParseSheetSettings(xml).draft.marks, draft.marks) << xml;
}
