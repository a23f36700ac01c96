#pragma once

#include <cstdint>

#include "host/application.h"
#include "host/document.h"
#include "host/table.h"
#include "layout/generators.h"
#include "layout/sheet_form.h"

namespace varelo::fixture {

// An application with one new document and a settings form at the dialog's defaults,
// ready for the region generators.
struct SheetFixture {
    enum Upto { kPageGrid = 1, kTitleBlock, kCandidateInfo, kObjectiveSection };

    host::Application app;
    layout::SheetForm form;
    host::Document& doc = app.AddDocument();
    layout::SheetJob job{app, doc, form};

    // Runs the generators in the driver's order, from the page grid up to `last`.
    void Build(int16_t code, Upto last = kCandidateInfo) {
        if (last >= kPageGrid) layout::BuildPageGrid(job, code);
        if (last >= kTitleBlock) layout::BuildTitleBlock(job, code);
        if (last >= kCandidateInfo) layout::BuildCandidateInfo(job, code);
        if (last >= kObjectiveSection) layout::BuildObjectiveSection(job, code);
    }

    host::Table& Grid() { return doc.Tables(1); }
};

}  // namespace varelo::fixture
