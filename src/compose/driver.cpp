#include "compose/driver.h"

#include <cstdint>

#include "compose/generators.h"
#include "compose/page_setup.h"
#include "compose/sheet_settings_part.h"
#include "doc/errors.h"

namespace varelo::settings {

namespace {

// The one layout that yields to the host.
constexpr exam::Layout kEightKaiThreeColumns = exam::Layout::EightKaiThree;

// A failing generator leaves what it wrote so far; the sheet goes on with the next one.
void Run(void (*generator)(layout::SheetJob&, exam::Layout), layout::SheetJob& job,
         exam::Layout layout) {
    try {
        generator(job, layout);  // a fresh copy of the layout for every call
    } catch (const host::HostError&) {
    }
}

}  // namespace

host::Document& MakeSheet(host::Application& app, const ValidExam& valid,
                          const exam::GroupEntry& entry) {
    const exam::Exam& exam = valid.exam;
    if (app.DocumentCount() > 0)
        app.CloseAllDocuments();  // a document kept open is no reason to stop
    host::Document& doc = app.AddDocument();
    app.view.showParagraphs = false;
    doc.embedTrueTypeFonts = true;
    doc.doNotEmbedSystemFonts = true;
    SetUpPage(doc.pageSetup, exam.layout);
    doc.saved = false;

    layout::SheetJob job{app, doc, exam, valid.plan};
    job.itemNo = 0;
    const bool yields = exam.layout == kEightKaiThreeColumns;
    for (auto* generator :
         {&layout::BuildPageGrid, &layout::BuildTitleBlock, &layout::BuildCandidateInfo}) {
        Run(generator, job, exam.layout);
        if (yields) app.DoEvents();
    }
    if (!exam.groups.empty()) Run(&layout::BuildObjectiveSection, job, exam.layout);
    if (!exam.sections.empty()) Run(&layout::BuildWrittenSections, job, exam.layout);
    if (valid.plan.pageCodes) Run(&layout::BuildPageCodes, job, exam.layout);
    // The sheet carries what it was made from, so it can be reopened with its settings. The id
    // goes with the codes that print it: a sheet without them stays as it always was.
    if (valid.plan.pageCodes || exam.examId.empty()) {
        AttachSheetSettings(doc, exam, entry);
    } else {
        exam::Exam recorded = exam;
        recorded.examId.clear();
        AttachSheetSettings(doc, recorded, entry);
    }

    return doc;
}

}  // namespace varelo::settings
