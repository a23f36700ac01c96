#pragma once

// Objective groups entered the way a teacher enters them: the entry fields, then 添加.

#include <string>
#include <vector>

#include "host/application.h"
#include "layout/sheet_form.h"
#include "settings/form_handlers.h"

namespace varelo::fixture {

struct DialogGroup {
    std::string name, items, options, points;
    int type = 0;  // the dialog's option button: 字母, 数字, 判断
};

inline void EnterGroups(host::Application& app, layout::SheetForm& form,
                        const std::vector<DialogGroup>& groups) {
    for (const DialogGroup& g : groups) {
        form.txtQuestion = g.name;
        form.txtQ_Count = g.items;
        form.chkO_Count = true;
        settings::chkO_Count_Click(form);
        form.txtO_Count = g.options;
        form.txtXiaofen = g.points;
        form.optOption = g.type;
        settings::cmdAdd_Click(app, form);
    }
}

}  // namespace varelo::fixture
