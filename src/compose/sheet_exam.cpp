#include "compose/sheet_exam.h"

#include "compose/sheet_inference.h"
#include "compose/template_reading.h"

namespace varelo::settings {

ValidExam ExamOfSettings(const exam::ExamDraft& draft) {
    if (!exam::ParseLayout(draft.layout))
        throw layout::OmrError("the sheet has no known paper layout");
    std::variant<ValidExam, std::string> checked = ValidateSettings(draft);
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
