#include "edit.h"

#include "doc/errors.h"
#include "edit/tools.h"

namespace varelo::cli {

namespace {

using Tool = void (*)(host::Application&, bool&);

Tool ToolFor(EditAction action) {
    switch (action) {
        case EditAction::Box:
            return &tools::cbbBox_Click;
        case EditAction::Line:
            return &tools::cbbLine_Click;
        case EditAction::Merge:
            return &tools::cbbHebing_Click;
        case EditAction::Composition:
            return &tools::cbbZuwen_Click;
        case EditAction::Select:
            break;
    }
    return nullptr;
}

}  // namespace

EditOutcome RunEditSteps(host::Application& app, const std::vector<EditStep>& steps, bool force) {
    host::Document* doc = app.ActiveDocument();
    if (!doc || doc->TableCount() == 0) {
        if (steps.empty()) return {};
        return {EditOutcome::Refused, "the document has no page grid to select cells in"};
    }
    host::Table& grid = doc->Tables(1);
    const host::CellRect* latest = nullptr;
    // A script cannot be asked: --force is its answer, given beforehand.
    bool declined = false;
    app.askToConfirm = [&declined, force](const std::string&) {
        declined = !force;
        return force;
    };
    struct Forget {
        host::Application& app;
        ~Forget() { app.askToConfirm = nullptr; }
    } forget{app};
    for (const EditStep& step : steps) {
        if (step.action == EditAction::Select) {
            const host::CellRect& r = step.rect;
            if (r.top < 1 || r.left < 1 || r.bottom > grid.Rows() || r.right > grid.Columns())
                return {EditOutcome::Usage, DescribeStep(step) + " lies outside the page grid of " +
                                                std::to_string(grid.Rows()) + " rows and " +
                                                std::to_string(grid.Columns()) + " columns"};
            latest = &step.rect;
            continue;
        }
        if (!latest)
            return {EditOutcome::Usage,
                    DescribeStep(step) + " acts on a selection: put --select before it"};
        const std::string what = DescribeStep(step) + " on rows " + std::to_string(latest->top) +
                                 "-" + std::to_string(latest->bottom) + ", columns " +
                                 std::to_string(latest->left) + "-" + std::to_string(latest->right);
        // Every tool acts on the latest --select, whatever an earlier tool left selected.
        const size_t shown = app.messages.size();
        declined = false;
        bool cancelDefault = false;
        try {
            app.selection.SelectCells(grid, *latest);
            ToolFor(step.action)(app, cancelDefault);
        } catch (const host::HostError& e) {
            return {EditOutcome::Refused, what + " was refused: " + e.what()};
        }
        if (declined)
            return {EditOutcome::Refused,
                    what +
                        " would join cells holding bubbles or positioning marks, which the "
                        "scanner could then not find; add --force to do it anyway"};
        // The tool's message has gone to the sink already; say which step it belongs to.
        if (app.messages.size() != shown) return {EditOutcome::Refused, what + " was refused"};
    }
    return {};
}

}  // namespace varelo::cli
