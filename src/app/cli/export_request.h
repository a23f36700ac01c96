#pragma once

#include <functional>
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

// Its entry point for numbered copies, varelo_export_copies: count copies of the document in
// the one PDF, each made by prepare(copy) (copy from 1) before it is drawn, with
// progress(done, count) after each; false with the reason in error.
inline constexpr const char* kCopiesEntry = "varelo_export_copies";
using CopiesEntry = bool (*)(const host::Document& doc, int count,
                             const std::function<void(int)>& prepare, const std::string& pdf,
                             const std::function<void(size_t, size_t)>& progress,
                             std::string& error);

}  // namespace varelo::cli
