#include "compose/sheet_exam.h"

#include "compose/sheet_inference.h"
#include "compose/template_reading.h"

namespace varelo::settings {

ValidExam ExamOfSettings(const exam::ExamDraft& draft) {
    if (!exam::ParseLayout(draft.layout))
        throw layout::OmrError("the sheet has no known paper layout");
    // The settings record an id exactly when the sheet prints codes: the sheet is laid out as
    // it was printed, also one made before codes existed.
    exam::ExamDraft printed = draft;
    printed.pageCode = draft.examId.empty() ? exam::PageCodeChoice::Off : exam::PageCodeChoice::On;
    std::variant<ValidExam, std::string> checked = ValidateSettings(printed);
    if (const std::string* refusal = std::get_if<std::string>(&checked))
        throw layout::OmrError(*refusal);
    ValidExam valid = std::move(std::get<ValidExam>(checked));
    valid.exam.pageCode = draft.pageCode;  // the choice, for a sheet made from this one
    return valid;
}

ValidExam ExamOfGrid(const host::Document& doc) {
    ValidExam v{layout::InferExam(doc), {}};
    v.plan = layout::PlanSheet(v.exam, doc.pageSetup.TextWidth());
    return v;
}

}  // namespace varelo::settings
