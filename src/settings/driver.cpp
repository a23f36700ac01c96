#include "settings/driver.h"

#include <cstdint>

#include "host/errors.h"
#include "layout/generators.h"
#include "settings/page_setup.h"
#include "settings/sheet_settings_part.h"

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

host::Document& MakeSheet(host::Application& app, const ValidExam& valid, const GroupEntry& entry) {
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
    // The sheet carries what it was made from, so it can be reopened with its settings.
    AttachSheetSettings(doc, exam, entry);

    for (auto& bar : app.commandBars.All()) {
        if (bar->name != "Varelo") continue;
        for (int i = 2; i <= 6; ++i) {
            try {
                bar->Control(i).enabled = true;
            } catch (const host::HostError&) {  // a bar short of tools: enable what is there
            }
        }
    }
    app.commandBars.NotifyChanged();
    return doc;
}

host::Document* OKButton_Click(host::Application& app, SheetForm& form) {
    // Checked before anything is closed or made, so a refusal changes nothing.
    std::variant<ValidExam, std::string> checked = ValidateExam(DraftOf(form));
    if (const std::string* refusal = std::get_if<std::string>(&checked)) {
        app.ShowMessage(*refusal);
        return nullptr;
    }
    form.visible = false;  // hidden but loaded, as the dialog stays until the sheet is made
    host::Document& doc = MakeSheet(app, std::get<ValidExam>(checked), EntryOf(form));
    form.loaded = false;
    return &doc;
}

}  // namespace varelo::settings
