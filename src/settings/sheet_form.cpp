#include "settings/sheet_form.h"

namespace varelo::settings {

GroupEntry EntryOf(const SheetForm& form) {
    return {form.txtQuestion, form.txtQ_Count, form.txtXiaofen,
            form.chkO_Count,  form.txtO_Count, form.optOption};
}

void SetEntry(SheetForm& form, const GroupEntry& entry) {
    form.txtQuestion = entry.name;
    form.txtQ_Count = entry.items;
    form.txtXiaofen = entry.points;
    form.chkO_Count = entry.fixedOptions;
    form.txtO_CountEnabled = entry.fixedOptions;
    form.txtO_Count = entry.options;
    form.optOption = entry.labels;
}

exam::ExamDraft DraftOf(const SheetForm& form) {
    exam::ExamDraft d{form.cmbPage, form.txtTitle,   form.txtVice_Title,
                      form.txtName, form.txtExam_NO, {},
                      form.sections};
    for (const QuestionGrid::Row& r : form.mfgQuestion.Groups())
        d.groups.push_back({r[QuestionGrid::kNumber], r[QuestionGrid::kName],
                            r[QuestionGrid::kItems], r[QuestionGrid::kOptions],
                            r[QuestionGrid::kType], r[QuestionGrid::kPoints]});
    return d;
}

}  // namespace varelo::settings
