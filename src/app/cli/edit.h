#pragma once

#include <string>
#include <vector>

#include "doc/application.h"
#include "options.h"

namespace varelo::cli {

struct EditOutcome {
    enum Status { Done, Refused, Usage } status = Done;
    // Why the steps stopped: the step that stopped them and, unless it is the tool's own
    // message (which went to the application's message sink), the reason; fit to show the user.
    std::string error;
    bool ok() const { return status == Done; }
};

// Runs the steps in order on the page grid (the first table) of the application's active
// document, as a user clicking the command bar's tools would. Stops at the first step that
// is refused: a selection outside the grid (Usage), a tool that shows a message or that the
// host refuses (Refused), a merge that would lose bubbles or marks without `force` (Refused).
// The document may already hold the earlier steps' changes then.
EditOutcome RunEditSteps(host::Application& app, const std::vector<EditStep>& steps,
                         bool force = false);

}  // namespace varelo::cli
