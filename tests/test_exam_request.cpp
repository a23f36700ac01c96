// The command line builds the exam itself, without the dialog: it must make what the dialog
// makes of the same groups, down to the settings part, and refuse what the dialog refuses.
#include <gtest/gtest.h>

#include <string>
#include <variant>
#include <vector>

#include "compose/sheet_settings_part.h"
#include "dialog_sheet.h"
#include "doc/application.h"
#include "exam_request.h"

using namespace varelo;

namespace {

// The dialog's option button for a --group's labels.
int Button(const std::string& labels) {
    return labels == "判断" ? 2 : labels == "数字" ? 1 : 0;
}

// What the dialog leaves in its message box, or the sheet's settings part when it makes one.
std::string ByDialog(const std::string& layout, const std::vector<cli::GroupEntry>& groups) {
    host::Application app;
    settings::SheetForm form;
    fixture::OpenSettings(form, layout);
    for (const cli::GroupEntry& g : groups) {
        form.txtQuestion = g.name;
        form.txtQ_Count = g.items;
        form.chkO_Count = !g.options.empty();
        settings::chkO_Count_Click(form);
        form.optOption = Button(g.labels);
        settings::optOption_Click(form);
        if (form.chkO_Count) form.txtO_Count = g.options;
        form.txtXiaofen = g.points;
        const int rows = form.mfgQuestion.Rows();
        settings::cmdAdd_Click(app, form);
        if (form.mfgQuestion.Rows() == rows) return app.messages.back();
    }
    const host::Document* doc = settings::OKButton_Click(app, form);
    return doc ? doc->customXml.at(0).xml : app.messages.back();
}

std::string ByCommandLine(const std::string& layout, const std::vector<cli::GroupEntry>& groups) {
    cli::ExamRequest request;
    request.layout = layout;
    request.title = "中考试卷";
    request.subtitle = "英语";
    request.setter = "王老师";
    request.digits = "9";
    request.groups = groups;
    const auto checked = cli::CheckRequest(request);
    if (const std::string* refusal = std::get_if<std::string>(&checked)) return *refusal;
    const cli::RequestedExam& made = std::get<cli::RequestedExam>(checked);
    return settings::SheetSettingsXml(made.valid.exam, made.entry);
}

}  // namespace

TEST(ExamRequest, TheCommandLineMakesWhatTheDialogMakes) {
    const std::vector<std::vector<cli::GroupEntry>> lists = {
        {},
        {{"选择题", "30", "", "1"}},
        {{"单选", "030", "4", "1.50"},
         {"判断", "10", "", "2", "判断"},
         {"排序", "5", "", "1", "数字"}},
        {{"多选", "2.5", "5", "3", "数字"}, {"名\t字", "4\t", "", "1\t"}},
        {{"x", "12", "3", "abc"}, {"y", "30.0", "26", "0"}},
        // Refusals, in the dialog's order: the entry first, then the settings.
        {{"", "5", "", "1"}},
        {{"选择题", "", "", "1"}},
        {{"选择题", "5", "10", "1", "数字"}},
        {{"选择题", "5", "3", "1", "判断"}},
        {{"选择题", "900", "", "1"}},
        {{"选择题", "abc", "", "1"}, {"", "5", "", "1"}},
    };
    for (const char* layout : {"A3三栏", "B5单栏", "A5"}) {
        for (const auto& groups : lists) {
            SCOPED_TRACE(std::string(layout) + ", " + std::to_string(groups.size()) + " groups");
            EXPECT_EQ(ByCommandLine(layout, groups), ByDialog(layout, groups));
        }
    }
}
