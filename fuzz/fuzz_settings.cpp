// The settings dialog driven with arbitrary field texts and objective-question lists, then
// OK: either one refusal message and no document, or a sheet whose .docx parts are
// well-formed XML in a readable package.
#include <fuzzer/FuzzedDataProvider.h>
#include <zip.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>
#include <variant>
#include <vector>

#include "app/desk/addin/form_handlers.h"
#include "app/desk/addin/sheet_form.h"
#include "base/numbers.h"
#include "compose/driver.h"
#include "compose/template_reading.h"
#include "doc/application.h"
#include "docx/writer.h"

namespace {

using namespace varelo;

void Check(bool condition) {
    if (!condition) std::abort();
}

const char* const kLayouts[] = {"A3三栏", "A3双栏", "8开三栏", "8开双栏", "A4单栏", "B5单栏"};

// Mostly a small number, as teachers type them, sometimes any text.
std::string NumberText(FuzzedDataProvider& in, int low, int high) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
        case 0:
            return in.ConsumeRandomLengthString(24);
        case 1:
            return std::to_string(in.ConsumeIntegralInRange(-40000, 40000));
        default:
            return std::to_string(in.ConsumeIntegralInRange(low, high));
    }
}

std::string ReadEntry(zip_t* archive, const char* name) {
    zip_stat_t st;
    Check(zip_stat(archive, name, 0, &st) == 0 && (st.valid & ZIP_STAT_SIZE));
    Check(st.size < (64u << 20));
    zip_file_t* f = zip_fopen(archive, name, 0);
    Check(f != nullptr);
    std::string data(st.size, '\0');
    Check(zip_fread(f, data.data(), st.size) == static_cast<zip_int64_t>(st.size));
    zip_fclose(f);
    return data;
}

void CheckPackage(const std::string& bytes) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* src = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    Check(src != nullptr);
    zip_t* archive = zip_open_from_source(src, ZIP_CHECKCONS | ZIP_RDONLY, &error);
    Check(archive != nullptr);
    const zip_int64_t entries = zip_get_num_entries(archive, 0);
    Check(entries > 0);
    bool sawDocument = false;
    for (zip_uint64_t i = 0; i < static_cast<zip_uint64_t>(entries); ++i) {
        const std::string name = zip_get_name(archive, i, 0);
        if (name.size() < 4 || (name.compare(name.size() - 4, 4, ".xml") != 0 &&
                                name.compare(name.size() - 5, 5, ".rels") != 0))
            continue;  // embedded fonts
        const std::string xml = ReadEntry(archive, name.c_str());
        pugi::xml_document doc;
        Check(doc.load_buffer(xml.data(), xml.size(), pugi::parse_default, pugi::encoding_utf8)
                  .status == pugi::status_ok);
        if (name == "word/document.xml") {
            sawDocument = true;
            Check(doc.child("w:document").child("w:body").child("w:tbl"));
        }
    }
    Check(sawDocument);
    zip_close(archive);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    host::Application app;
    settings::SheetForm form;
    settings::Form_Load(form);
    form.visible = true;

    form.cmbPage = in.ConsumeIntegralInRange(0, 7) < 6 ? kLayouts[in.ConsumeIntegralInRange(0, 5)]
                                                       : in.ConsumeRandomLengthString(16);
    form.txtTitle = in.ConsumeRandomLengthString(64);
    form.txtVice_Title = in.ConsumeRandomLengthString(64);
    form.txtName = in.ConsumeRandomLengthString(32);
    form.txtExam_NO = NumberText(in, 0, 14);

    const int groups = in.ConsumeIntegralInRange(0, 8);
    for (int g = 0; g < groups && in.remaining_bytes() > 0; ++g) {
        if (in.ConsumeIntegralInRange(0, 7) == 0) {  // the user deletes a row now and then
            form.selectedRow = in.ConsumeIntegralInRange(-1, form.mfgQuestion.Rows());
            settings::cmdDel_Click(form);
        }
        form.txtQuestion = in.ConsumeRandomLengthString(24);
        form.txtQ_Count = NumberText(in, 0, 60);
        form.chkO_Count = in.ConsumeBool();
        settings::chkO_Count_Click(form);
        if (form.chkO_Count) form.txtO_Count = NumberText(in, 1, 27);
        form.optOption = in.ConsumeBool() ? 1 : 0;
        form.txtXiaofen =
            in.ConsumeBool() ? NumberText(in, 0, 5) : in.ConsumeRandomLengthString(12);

        const int rowsBefore = form.mfgQuestion.Rows();
        const size_t messagesBefore = app.messages.size();
        settings::cmdAdd_Click(app, form);
        // Each press either adds exactly one row or shows exactly one message.
        const bool added = form.mfgQuestion.Rows() == rowsBefore + 1;
        Check(added ? app.messages.size() == messagesBefore
                    : form.mfgQuestion.Rows() == rowsBefore &&
                          app.messages.size() == messagesBefore + 1);
    }

    app.messages.clear();
    const host::Document* doc = settings::OKButton_Click(app, form);
    if (!doc) {
        Check(app.messages.size() == 1);
        Check(app.DocumentCount() == 0);
        Check(form.loaded);
        return 0;
    }
    Check(app.messages.empty());
    Check(app.DocumentCount() == 1 && &app.Documents(1) == doc);
    Check(!form.loaded);
    // Settings the driver accepts fit the sheet: every group is laid out, all its items numbered.
    int items = 0;
    for (const settings::QuestionGrid::Row& group : form.mfgQuestion.Groups())
        items += *host::ToInt16(group[settings::QuestionGrid::kItems]);
    // The template reads every item back off the sheet, each where the plan put it.
    const auto made =
        std::get<settings::ValidExam>(settings::ValidateExam(settings::DraftOf(form)));
    Check(layout::BuildOmrTemplate(*doc, made.exam, made.plan).items.size() ==
          static_cast<size_t>(items));
    CheckPackage(host::DocxBytes(*doc));
    return 0;
}
