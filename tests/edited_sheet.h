#pragma once

// A generated sheet of each layout with composition paper on page 2, as a teacher makes it:
// the settings dialog's OK path, then the 作文 tool on a block of the first page column.
#include <gtest/gtest.h>

#include <cstdint>

#include "compose/generators.h"
#include "dialog_sheet.h"
#include "edit/tools.h"

namespace varelo::fixture {

// 21 rows x 13 columns a few rows below the top of page 2, in columns 3-15, which lie inside
// the first page column of every layout.
inline host::CellRect PageTwoBlock(int16_t code) {
    const int firstRowOfPageTwo =
        layout::PageNumberBlock(static_cast<exam::Layout>(code), 1).first + 2;
    return {firstRowOfPageTwo + 4, 3, firstRowOfPageTwo + 24, 15};
}

// The example sheet of a layout, failing the test when OK refuses it.
struct GeneratedSheet : DialogSheet {
    explicit GeneratedSheet(int16_t code) : DialogSheet(code) {
        if (!doc) ADD_FAILURE() << "no sheet for " << form.cmbPage;
    }
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
