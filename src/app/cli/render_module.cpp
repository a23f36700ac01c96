// The render module: Qt's renderer behind one entry point, loaded only by the commands that
// export PDF or PNG.
#include <exception>

#include "export_request.h"
#include "render/export.h"
#include "render/gui_app.h"

extern "C" __attribute__((visibility("default"))) bool varelo_export(
    const varelo::host::Document& doc, const varelo::cli::ExportRequest& request,
    std::vector<std::string>& written, std::string& error) {
    using namespace varelo;
    try {
        render::EnsureGuiApplication();
        if (request.pdf) {
            render::ExportPdf(doc, *request.pdf);
            written.push_back(*request.pdf);
        }
        if (request.png)
            for (std::string& path : render::ExportPng(doc, *request.png, request.dpi))
                written.push_back(std::move(path));
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}

extern "C" __attribute__((visibility("default"))) bool varelo_export_copies(
    const varelo::host::Document& doc, int count, const std::function<void(int)>& prepare,
    const std::string& pdf, const std::function<void(size_t, size_t)>& progress,
    std::string& error) {
    using namespace varelo;
    try {
        render::EnsureGuiApplication();
        render::ExportPdfCopies(doc, count, prepare, pdf, progress);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
}
