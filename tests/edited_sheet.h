#pragma once

// A generated sheet of each layout with composition paper on page 2, as a teacher makes it:
// the settings dialog's OK path, then the 作文 tool on a block of the first page column.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "host/application.h"
#include "host/table.h"
#include "layout/generators.h"
#include "layout/sheet_form.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"
#include "tools/tools.h"

namespace varelo::fixture {

inline constexpr std::array<const char*, 6> kLayoutNames = {"A3三栏",  "A3双栏", "8开三栏",
                                                            "8开双栏", "A4单栏", "B5单栏"};

// 21 rows x 13 columns a few rows below the top of page 2, in columns 3-15, which lie inside
// the first page column of every layout.
inline host::CellRect PageTwoBlock(int16_t code) {
    const int firstRowOfPageTwo = layout::PageNumberBlock(code, 1).first + 2;
    return {firstRowOfPageTwo + 4, 3, firstRowOfPageTwo + 24, 15};
}

// A sheet made through the settings dialog's OK path with one default group.
struct GeneratedSheet {
    host::Application app;
    layout::SheetForm form;
    host::Document* doc = nullptr;

    explicit GeneratedSheet(int16_t code) {
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = kLayoutNames[static_cast<size_t>(code - 1)];
        settings::cmdAdd_Click(app, form);
        doc = settings::OKButton_Click(app, form);
        if (!doc) ADD_FAILURE() << "no sheet for " << form.cmbPage;
    }
    host::Table& Grid() { return doc->Tables(1); }
};

// The same with composition paper on page 2, as a teacher adds it with the 作文 tool.
struct EditedSheet : GeneratedSheet {
    host::CellRect block;

    explicit EditedSheet(int16_t code) : GeneratedSheet(code), block(PageTwoBlock(code)) {
        if (!doc) return;
        app.selection.SelectCells(Grid(), block);
        bool cancel = false;
        tools::cbbZuwen_Click(app, cancel);
    }
};

}  // namespace varelo::fixture
