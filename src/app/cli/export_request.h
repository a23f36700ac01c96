#pragma once

#include <optional>
#include <string>
#include <vector>

#include "doc/document.h"
#include "options.h"

namespace varelo::cli {

// The exports generate and edit offer: --pdf FILE, --png PREFIX at --dpi.
struct ExportRequest {
    std::optional<std::string> pdf, png;
    int dpi = kDefaultDpi;
    bool Any() const { return pdf || png; }
};

// The render module's entry point, varelo_export: writes the request's files for the
// document and lists their paths in written, or returns false with the reason in error. The
// module and the program are built together from the same sources, so the types agree.
inline constexpr const char* kRenderModule = "varelo-render";
inline constexpr const char* kExportEntry = "varelo_export";
using ExportEntry = bool (*)(const host::Document& doc, const ExportRequest& request,
                             std::vector<std::string>& written, std::string& error);

}  // namespace varelo::cli
