#pragma once

#include "doc/application.h"

// The command-bar editing tools. Each acts on the application's selection in the active
// document and leaves the cancel-default flag alone. A selection that is not a rectangle of
// cells of a table in the active document makes the box, line, merge and composition tools
// do nothing and report nothing.
namespace varelo::tools {

// The tools act on the cells the selection touches, a merged cell counting whole, and never
// on others. A merge that would turn bubbles or positioning marks into loose characters is
// done only when the application's Confirm agrees.
//
// "方框&B": a single 0.5 pt frame around the selected cells, nothing inside it.
void cbbBox_Click(host::Application& app, bool& cancelDefault);
// "直线&L": a single 0.5 pt line under the selected cells; other borders stay.
void cbbLine_Click(host::Application& app, bool& cancelDefault);
// "合并单元格&M": merges the selected cells and centres the result vertically. Fewer than two
// cells: the message "请先选择要合并的区域". A merge the host refuses (the selection cuts a
// merged cell) is skipped with a notice saying so; the centring still happens.
void cbbHebing_Click(host::Application& app, bool& cancelDefault);
// "网格&G": shows or hides the non-printing table gridlines.
void cbbGrid_Click(host::Application& app, bool& cancelDefault);
// "作文&C": turns the selected block into composition paper (see composition.h). A block
// that cannot hold the grid is refused with "请先选定合适的区域" before anything changes, the
// reason given as a notice.
void cbbZuwen_Click(host::Application& app, bool& cancelDefault);

}  // namespace varelo::tools
