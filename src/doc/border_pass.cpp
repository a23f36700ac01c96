#include "doc/border_pass.h"

namespace varelo::host {

void BorderPass(Application& app, Table& table, const CellRect& rect, const BorderSet& set) {
    const auto pass = [&](BorderType type, bool on) {
        table.SetBorder(rect, type, on ? kSolidBorder : Border{});
    };
    pass(BorderType::Left, set.left);
    pass(BorderType::Right, set.right);
    pass(BorderType::Top, set.top);
    pass(BorderType::Bottom, set.bottom);
    pass(BorderType::Horizontal, set.insideHorizontal);
    pass(BorderType::Vertical, set.insideVertical);
    pass(BorderType::DiagonalDown, false);
    pass(BorderType::DiagonalUp, false);
    ResetDefaultBorderOptions(app);
}

void ResetDefaultBorderOptions(Application& app) {
    app.options.defaultBorderLineStyle = kLineStyleSingle;
    app.options.defaultBorderLineWidth = kLineWidth050pt;
    app.options.defaultBorderColor = kColorAutomatic;
}

}  // namespace varelo::host
