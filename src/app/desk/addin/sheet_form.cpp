#include "app/desk/addin/sheet_form.h"

#include "app/desk/addin/form_handlers.h"

namespace varelo::settings {

exam::GroupEntry EntryOf(const SheetForm& form) {
    return {form.txtQuestion, form.txtQ_Count, form.txtXiaofen,
            form.chkO_Count,  form.txtO_Count, form.optOption};
}

void SetEntry(SheetForm& form, const exam::GroupEntry& entry) {
    form.txtQuestion = entry.name;
    form.txtQ_Count = entry.items;
    form.txtXiaofen = entry.points;
    form.chkO_Count = entry.fixedOptions;
    form.txtO_CountEnabled = entry.fixedOptions;
    form.txtO_Count = entry.options;
    form.optOption = entry.labels;
}

exam::ExamDraft DraftOf(const SheetForm& form) {
    const exam::PageCodeChoice pageCode =
        form.chkPageCode == SheetForm::kChecked     ? exam::PageCodeChoice::On
        : form.chkPageCode == SheetForm::kUnchecked ? exam::PageCodeChoice::Off
                                                    : exam::PageCodeChoice::ByContent;
    exam::ExamDraft d{
        form.cmbPage, form.txtTitle, form.txtVice_Title, form.txtName, form.txtExam_NO,
        {},           form.sections, form.marks,         pageCode,     form.examId};
    for (const QuestionGrid::Row& r : form.mfgQuestion.Groups())
        d.groups.push_back({r[QuestionGrid::kNumber], r[QuestionGrid::kName],
                            r[QuestionGrid::kItems], r[QuestionGrid::kOptions],
                            r[QuestionGrid::kType], r[QuestionGrid::kPoints]});
    return d;
}

SheetForm FormOf(const exam::ExamDraft& draft, const exam::GroupEntry& entry) {
    SheetForm form;
    Form_Load(form);
    form.cmbPage = draft.layout;
    form.txtTitle = draft.title;
    form.txtVice_Title = draft.subtitle;
    form.txtName = draft.setter;
    form.txtExam_NO = draft.digits;
    for (const exam::GroupDraft& g : draft.groups)
        form.mfgQuestion.AddRow({g.number, g.name, g.items, g.options, g.labels, g.points});
    form.sections = draft.sections;
    form.marks = draft.marks;
    form.chkPageCode = draft.pageCode == exam::PageCodeChoice::On    ? SheetForm::kChecked
                       : draft.pageCode == exam::PageCodeChoice::Off ? SheetForm::kUnchecked
                                                                     : SheetForm::kGrayed;
    form.examId = draft.examId;
    SetEntry(form, entry);
    return form;
}

SheetForm FormOf(const SavedSettings& saved) {
    return FormOf(saved.draft, saved.entry);
}

}  // namespace varelo::settings
