#pragma once

// Sheets made the way a teacher makes them: the settings dialog opened at its defaults, a paper
// picked, objective groups entered with 添加, then OK.

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/driver.h"
#include "compose/page_setup.h"
#include "compose/sheet_exam.h"
#include "compose/template_reading.h"
#include "doc/application.h"
#include "doc/document.h"
#include "doc/table.h"

namespace varelo::fixture {

inline constexpr std::array<const char*, 6> kLayoutNames = {"A3三栏",  "A3双栏", "8开三栏",
                                                            "8开双栏", "A4单栏", "B5单栏"};

struct DialogGroup {
    std::string name, items;
    std::string options;  // empty: the count stays unfixed, at the dialog's 4
    std::string points;
    int type = 0;  // the dialog's option button: 字母, 数字, 判断
};

// The dialog's own group, added without touching an entry field: 30 items, 4 options, 1 point.
inline const DialogGroup kExampleGroup = {"选择题", "30", "", "1"};

// The dialog as the settings button shows it.
inline void OpenSettings(settings::SheetForm& form) {
    settings::Form_Load(form);
    form.visible = true;
}

inline void OpenSettings(settings::SheetForm& form, const std::string& layoutName) {
    OpenSettings(form);
    form.cmbPage = layoutName;
}

inline void EnterGroups(host::Application& app, settings::SheetForm& form,
                        const std::vector<DialogGroup>& groups) {
    for (const DialogGroup& g : groups) {
        form.txtQuestion = g.name;
        form.txtQ_Count = g.items;
        form.chkO_Count = !g.options.empty();
        settings::chkO_Count_Click(form);
        if (form.chkO_Count) form.txtO_Count = g.options;
        form.txtXiaofen = g.points;
        form.optOption = g.type;
        settings::cmdAdd_Click(app, form);
    }
}

using FormFill = std::function<void(settings::SheetForm&)>;

// The groups are entered in order; `fill` sets any other field just before OK. Null when OK
// refuses (the reason is in app.messages).
inline host::Document* MakeSheet(host::Application& app, settings::SheetForm& form,
                                 const std::string& layoutName,
                                 const std::vector<DialogGroup>& groups = {kExampleGroup},
                                 const FormFill& fill = {}) {
    OpenSettings(form, layoutName);
    EnterGroups(app, form, groups);
    if (fill) fill(form);
    return settings::OKButton_Click(app, form);
}

// A sheet made in the dialog, with the application and the form it was made in.
struct DialogSheet {
    host::Application app;
    settings::SheetForm form;
    host::Document* doc = nullptr;

    explicit DialogSheet(const std::string& layoutName,
                         const std::vector<DialogGroup>& groups = {kExampleGroup},
                         const FormFill& fill = {})
        : doc(MakeSheet(app, form, layoutName, groups, fill)) {}
    // The example sheet of a layout code, 1 (A3三栏) to 6 (B5单栏).
    explicit DialogSheet(int16_t code)
        : DialogSheet(kLayoutNames.at(static_cast<size_t>(code - 1))) {}

    int16_t Code() const {
        const auto layout = exam::ParseLayout(form.cmbPage);
        return layout ? exam::Code(*layout) : 0;
    }
    host::Table& Grid() { return doc->Tables(1); }
    // The scanner template from the sheet's form, for its own layout or for the layout `code`.
    layout::OmrTemplate Template(int16_t code = 0) const {
        settings::ValidExam made = settings::ExamOfSettings(settings::DraftOf(form));
        if (code != 0 && code != Code()) {
            made.exam.layout = static_cast<exam::Layout>(code);
            made.plan = layout::PlanSheet(made.exam, settings::TextWidth(made.exam.layout));
        }
        return layout::BuildOmrTemplate(*doc, made.exam, made.plan);
    }
};

}  // namespace varelo::fixture
