#include "settings/sheet_exam.h"

#include "layout/omr_template.h"
#include "layout/sheet_inference.h"

namespace varelo::settings {

ValidExam ExamOfForm(const SheetForm& form) {
    if (!exam::ParseLayout(form.cmbPage))
        throw layout::OmrError("the sheet has no known paper layout");
    std::variant<ValidExam, std::string> checked = ValidateSettings(DraftOf(form));
    if (const std::string* refusal = std::get_if<std::string>(&checked))
        throw layout::OmrError(*refusal);
    return std::move(std::get<ValidExam>(checked));
}

ValidExam ExamOfGrid(const host::Document& doc) {
    ValidExam v{layout::InferExam(doc), {}};
    v.plan = layout::PlanSheet(v.exam, doc.pageSetup.TextWidth());
    return v;
}

}  // namespace varelo::settings
