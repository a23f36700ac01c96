#include "form_filling.h"

#include "settings/form_handlers.h"

namespace varelo::cli {

bool AddGroup(host::Application& app, layout::SheetForm& form, const GroupEntry& g) {
    form.txtQuestion = g.name;
    form.txtQ_Count = g.items;
    form.chkO_Count = !g.options.empty();
    settings::chkO_Count_Click(form);
    form.optOption = g.labels == "判断" ? 2 : g.labels == "数字" ? 1 : 0;
    settings::optOption_Click(form);
    if (form.chkO_Count) form.txtO_Count = g.options;
    form.txtXiaofen = g.points;
    const int before = form.mfgQuestion.Rows();
    settings::cmdAdd_Click(app, form);
    return form.mfgQuestion.Rows() > before;
}

GroupEntry DefaultGroup(const layout::SheetForm& form) {
    return {form.txtQuestion, form.txtQ_Count, "", form.txtXiaofen};
}

}  // namespace varelo::cli
