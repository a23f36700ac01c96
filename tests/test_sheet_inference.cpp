// A sheet whose settings part is gone: its settings read back from the page grid give the
// template its settings gave; a grid that does not tell them is refused with the reason.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "compose/sheet_exam.h"
#include "compose/sheet_inference.h"
#include "compose/template_reading.h"
#include "dialog_sheet.h"
#include "edited_sheet.h"

using namespace varelo;

namespace {

using Group = fixture::DialogGroup;

// A sheet made through the dialog's OK handler, then stripped of its settings part.
struct Stripped : fixture::DialogSheet {
    Stripped(const std::string& layout, const std::vector<Group>& groups, const std::string& digits,
             const std::vector<exam::WrittenSection>& sections = {})
        : DialogSheet(layout, groups, [&](settings::SheetForm& f) {
              f.txtTitle = "期末考试";
              f.txtVice_Title = "数学";
              f.txtExam_NO = digits;
              f.sections = sections;
          }) {
        if (doc) doc->customXml.clear();
    }
};

std::string Refusal(const host::Document& doc) {
    try {
        layout::InferExam(doc);
    } catch (const layout::OmrError& e) {
        return e.what();
    }
    return "(inferred)";
}

}  // namespace

TEST(SheetInference, TheGridGivesBackTheTemplateItsSettingsGave) {
    const struct {
        const char* layout;
        std::vector<Group> groups;
        const char* digits;
    } cases[] = {
        {"A3三栏", {{"选择题", "30", "4", "1"}}, "9"},
        {"A3双栏", {{"单选", "17", "4", "2"}, {"判断题", "10", "2", "1.5", 2}}, "7"},
        {"8开三栏",
         {{"单选", "12", "3", "2"}, {"多选", "12", "5", "3"}, {"排序", "8", "6", "1", 1}},
         "12"},
        {"8开双栏", {{"选择题", "41", "4", "1"}}, "1"},
        {"A4单栏", {{"选择题", "20", "4", "2"}, {"判断题", "5", "2", "1", 2}}, "10"},
        {"B5单栏", {{"听力", "5", "3", "1"}, {"阅读", "15", "4", "2"}}, "8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        Stripped sheet(c.layout, c.groups, c.digits);
        ASSERT_NE(sheet.doc, nullptr);
        const settings::ValidExam inferred = settings::ExamOfGrid(*sheet.doc);
        const exam::ExamDraft got = exam::DraftOf(inferred.exam);
        EXPECT_EQ(got.layout, c.layout);
        EXPECT_EQ(got.digits, c.digits);
        EXPECT_EQ(got.title, "期末考试");
        EXPECT_EQ(got.subtitle, "数学");
        EXPECT_EQ(got.groups, settings::DraftOf(sheet.form).groups);
        const settings::ValidExam made = settings::ExamOfSettings(settings::DraftOf(sheet.form));
        EXPECT_EQ(
            layout::OmrTemplateJson(
                layout::BuildOmrTemplate(*sheet.doc, inferred.exam, inferred.plan)),
            layout::OmrTemplateJson(layout::BuildOmrTemplate(*sheet.doc, made.exam, made.plan)));
    }
    // Composition paper drawn with the tools is no part of the template and no obstacle.
    fixture::EditedSheet edited(1);
    edited.doc->customXml.clear();
    EXPECT_EQ(exam::DraftOf(layout::InferExam(*edited.doc)).groups,
              settings::DraftOf(edited.form).groups);
}

TEST(SheetInference, AGridThatDoesNotTellIsRefusedWithTheReason) {
    const std::vector<Group> one = {{"选择题", "20", "4", "1"}};
    host::Application app;
    Stripped written("A3三栏", one, "9", {{exam::SectionKind::Answer, "解答题", 2, 1, 6, 0, 10}});
    Stripped option("A3三栏", one, "9"), digit("A4单栏", one, "9"), heights("A4单栏", one, "9");
    // The first item's last option gone; a digit bubble gone; a row grown by an office program.
    host::Table& grid = option.doc->Tables(1);
    for (int r = 1; r <= grid.Rows(); ++r)
        for (int c = 1; c <= grid.Columns(); ++c)
            if (grid.IsAnchor(r, c) && grid.At(r, c).Text() == "D") {
                grid.At(r, c).content = {host::Block()};
                r = grid.Rows();
                break;
            }
    host::Table& digits = digit.doc->Tables(1);
    const host::CellRect area = layout::CandidateBubbleArea(exam::Layout::A4One, 9);
    digits.At(area.top + 3, area.left).content = {host::Block()};
    heights.doc->Tables(1).Row(10).height += 40;

    const struct {
        const char* what;
        const host::Document& doc;
        const char* reason;
    } cases[] = {
        {"no grid", app.AddDocument(), "no page grid"},
        {"written sections", *written.doc, "written-answer sections"},
        {"an item with fewer options", *option.doc, "holds more options"},
        {"a digit bubble missing", *digit.doc, "candidate-number bubbles"},
        {"rows grown", *heights.doc, "no longer lies on two pages"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_NE(Refusal(c.doc).find(c.reason), std::string::npos) << Refusal(c.doc);
    }
    // The settings do not save a grid an office program moved.
    const settings::ValidExam made = settings::ExamOfSettings(settings::DraftOf(heights.form));
    EXPECT_THROW(layout::BuildOmrTemplate(*heights.doc, made.exam, made.plan), layout::OmrError);
}
