// Drawing a generated sheet: one page to PNG at 150 dpi, and the whole sheet to PDF.
#ifdef VARELO_WITH_RENDER

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "compose/driver.h"
#include "doc/application.h"
#include "render/export.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"

namespace {

using namespace varelo;

// The A3三栏 example: default texts, nine digits, one group of 30 items with 4 options.
struct Sheet {
    host::Application app;
    host::Document* doc = nullptr;

    Sheet() {
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
        render::EnsureGuiApplication();
        settings::SheetForm form;
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = "A3三栏";
        settings::cmdAdd_Click(app, form);
        doc = settings::OKButton_Click(app, form);
        if (!doc || doc->TableCount() == 0) throw std::runtime_error("no sheet was generated");
    }
};

Sheet& TheSheet() {
    static Sheet sheet;
    return sheet;
}

void BM_LayOutSheet(benchmark::State& state) {
    const host::Document& doc = *TheSheet().doc;
    for (auto _ : state) {
        render::PageRenderer renderer(doc);
        benchmark::DoNotOptimize(renderer.PageCount());
    }
}
BENCHMARK(BM_LayOutSheet)->Unit(benchmark::kMillisecond);

// Layout, drawing and PNG encoding of page 1, in memory.
void BM_PagePng150(benchmark::State& state) {
    const host::Document& doc = *TheSheet().doc;
    const double scale = 150 / 72.0;
    qint64 bytes = 0;
    for (auto _ : state) {
        render::PageRenderer renderer(doc);
        const QSizeF size = renderer.PageSize() * scale;
        QImage image(qRound(size.width()), qRound(size.height()), QImage::Format_RGB32);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.scale(scale, scale);
            renderer.Draw(painter, 0);
        }
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        bytes = png.size();
    }
    state.counters["png_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_PagePng150)->Unit(benchmark::kMillisecond);

void BM_SheetPdf(benchmark::State& state) {
    const host::Document& doc = *TheSheet().doc;
    const std::string path =
        (std::filesystem::temp_directory_path() / "varelo_bench_render.pdf").string();
    for (auto _ : state) render::ExportPdf(doc, path);
    state.counters["pdf_bytes"] = static_cast<double>(std::filesystem::file_size(path));
    std::filesystem::remove(path);
}
BENCHMARK(BM_SheetPdf)->Unit(benchmark::kMillisecond);

}  // namespace

#endif  // VARELO_WITH_RENDER
