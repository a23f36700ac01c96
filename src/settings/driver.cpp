#include "settings/driver.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "host/errors.h"
#include "host/numbers.h"
#include "host/units.h"
#include "layout/generators.h"
#include "layout/objective_flow.h"
#include "layout/objective_section.h"
#include "layout/written_section.h"
#include "settings/sheet_settings_part.h"

namespace varelo::settings {

namespace {

using host::CentimetersToPoints;
using host::Orientation;

struct PaperLayout {
    const char* name;
    Orientation orientation;
    double widthCm, heightCm, topMarginCm;
    int linesPage;
};

// Indexed by layout code - 1.
constexpr std::array<PaperLayout, layout::kLayoutCount> kLayouts = {{
    {"A3三栏", Orientation::Landscape, 42, 29.7, 1, 48},
    {"A3双栏", Orientation::Landscape, 42, 29.7, 1, 48},
    {"8开三栏", Orientation::Landscape, 38.8, 26.8, 1, 45},
    {"8开双栏", Orientation::Landscape, 38.8, 26.8, 1, 45},
    {"A4单栏", Orientation::Portrait, 21, 29.7, 1.8, 48},
    {"B5单栏", Orientation::Portrait, 18.2, 25.7, 1.8, 42},
}};

constexpr int16_t kEightKaiThreeColumns = 3;  // the one layout that yields to the host

void SetUpPage(host::PageSetup& page, std::optional<int16_t> code) {
    page.bottomMargin = CentimetersToPoints(1);
    page.leftMargin = CentimetersToPoints(1);
    page.rightMargin = CentimetersToPoints(1);
    page.gutter = 0;
    page.gutterPos = host::kGutterPosLeft;
    page.paperSize = host::kPaperCustom;
    page.layoutMode = host::kLayoutModeLineGrid;
    if (code) {
        const PaperLayout& p = kLayouts[static_cast<size_t>(*code - 1)];
        page.orientation = p.orientation;
        page.topMargin = CentimetersToPoints(p.topMarginCm);
        page.pageHeight = CentimetersToPoints(p.heightCm);
        page.pageWidth = CentimetersToPoints(p.widthCm);
        page.linesPage = p.linesPage;
    }
    page.sectionStart = host::kSectionNewPage;
    page.differentFirstPageHeaderFooter = false;
    page.headerDistance = 0;
    page.footerDistance = 0;
    page.verticalAlignment = host::kAlignVerticalTop;
    page.textColumns = 1;
}

// A failing generator leaves what it wrote so far; the sheet goes on with the next one.
void Run(void (*generator)(layout::SheetJob&, int16_t), layout::SheetJob& job, int16_t code) {
    try {
        generator(job, code);  // a fresh copy of the code for every call
    } catch (const host::HostError&) {
    }
}

// A heading wider than the whole box of its page column cannot be printed whole.
std::optional<std::string> RefuseLongHeading(const layout::SheetForm& form, int16_t code,
                                             int startRow, const layout::ObjectivePlan& plan) {
    host::PageSetup page;
    SetUpPage(page, code);
    const std::vector<double> widths = layout::PageGridColumnWidths(code, page.TextWidth());
    const std::vector<layout::PageColumn> columns = layout::ObjectivePageColumns(code, startRow);
    const std::vector<layout::QuestionGrid::Row> groups = form.mfgQuestion.Groups();
    host::Application quiet;  // an unreadable group number is reported by the generator
    for (size_t g = 0; g < groups.size() && g < plan.groups.size(); ++g) {
        const layout::GroupPlacement& placed = plan.groups[g];
        const double width = layout::HeadingWidth(layout::ObjectiveHeading(groups[g], quiet));
        if (!layout::HeadingCells(columns[static_cast<size_t>(placed.pageColumn)],
                                  placed.headingRow, width, widths))
            return "客观题“" + groups[g][layout::QuestionGrid::kName] +
                   "”的标题太长，答题卡中放不下";
    }
    return std::nullopt;
}

// Counts of a written section that a sheet can print: whole numbers a 16-bit count holds.
std::optional<std::string> RefuseSectionValues(const layout::WrittenSection& s) {
    const std::string name = "“" + s.name + "”";
    const auto outside = [](int n) { return n < 1 || n > INT16_MAX; };
    if (s.kind != layout::SectionKind::Essay && outside(s.items))
        return name + "的小题数必须是1到32767之间的整数";
    if (s.kind == layout::SectionKind::Fill && outside(s.blanks))
        return name + "的每题空数必须是1到32767之间的整数";
    if (s.kind == layout::SectionKind::Answer && outside(s.rows))
        return name + "的答题框行数必须是1到32767之间的整数";
    if (s.kind == layout::SectionKind::Essay && outside(s.chars))
        return name + "的字数必须是1到32767之间的整数";
    if (!std::isfinite(s.points) || s.points < 0) return name + "的分值必须是不小于0的数";
    // The heading prints the section's total, which must be a number too.
    if (!std::isfinite(s.points * s.items * s.blanks)) return name + "的分值太大，无法计算总分";
    return std::nullopt;
}

// Sections that cannot be printed whole: odd counts, a heading too long for its page column,
// an item taller than a column, a list longer than the two pages.
std::optional<std::string> RefuseSections(const layout::SheetForm& form, int16_t code) {
    if (form.sections.empty()) return std::nullopt;
    for (const layout::WrittenSection& s : form.sections)
        if (std::optional<std::string> refusal = RefuseSectionValues(s)) return refusal;
    host::PageSetup page;
    SetUpPage(page, code);
    const std::vector<double> widths = layout::PageGridColumnWidths(code, page.TextWidth());
    const layout::WrittenPlan plan = layout::PlanFormSections(code, form, widths);
    if (!plan.fits) return layout::WrittenRefusalMessage(form, plan.refusal);
    const std::vector<layout::PageColumn> columns =
        layout::ObjectivePageColumns(code, layout::ObjectiveStartRow(code));
    host::Application quiet;
    for (size_t i = 0; i < plan.sections.size(); ++i) {
        const layout::SectionPlacement& placed = plan.sections[i];
        const double width = layout::HeadingWidth(layout::WrittenHeading(form, i, quiet));
        if (!layout::HeadingCells(columns[static_cast<size_t>(placed.pageColumn)],
                                  placed.headingRow, width, widths))
            return "“" + form.sections[i].name + "”的标题太长，答题卡中放不下";
    }
    return std::nullopt;
}

}  // namespace

std::optional<int16_t> LayoutCode(const std::string& cmbPage) {
    for (size_t i = 0; i < kLayouts.size(); ++i)
        if (cmbPage == kLayouts[i].name) return static_cast<int16_t>(i + 1);
    return std::nullopt;
}

std::optional<std::string> ValidateSettings(const layout::SheetForm& form) {
    const std::optional<int16_t> code = LayoutCode(form.cmbPage);
    if (!code) return "请从列表中选择纸张规格";

    const std::optional<int16_t> digits = host::ToInt16(form.txtExam_NO);
    if (!digits || *digits < 1 || *digits > 12) return "准考证号位数必须是1到12之间的整数";

    std::vector<layout::GroupShape> shapes;
    for (const layout::QuestionGrid::Row& group : form.mfgQuestion.Groups()) {
        const std::optional<int16_t> items = host::ToInt16(group[layout::QuestionGrid::kItems]);
        if (!items || *items < 0) return "客观题小题数必须是不小于0的整数";
        const std::optional<int16_t> options = host::ToInt16(group[layout::QuestionGrid::kOptions]);
        if (!options || *options < 1 || *options > 26) return "客观题选项数必须是1到26之间的整数";
        const layout::OptionType type = layout::ParseOptionType(group[layout::QuestionGrid::kType]);
        // The bubble font has digits 1 to 9 only; a true-or-false item has exactly two bubbles.
        if (type == layout::OptionType::Digits && *options > 9)
            return "选项类型为数字时，选项数不能超过9";
        if (type == layout::OptionType::TrueFalse && *options != 2) return "判断题的选项数必须是2";
        // The heading prints points x items; a total past what a number can hold would print
        // as nonsense, so such points are refused rather than written.
        const double total = host::LeadingValue(group[layout::QuestionGrid::kPoints]) *
                             host::LeadingValue(group[layout::QuestionGrid::kItems]);
        if (!std::isfinite(total)) return "客观题小题分值太大，无法计算总分";
        shapes.push_back({*items, *options});
    }
    const int startRow = layout::ObjectiveStartRow(*code);
    const layout::ObjectivePlan plan = layout::PlanObjectiveSection(*code, startRow, shapes);
    if (!plan.fits) return "客观题太多，答题卡中放不下";
    if (std::optional<std::string> refusal = RefuseLongHeading(form, *code, startRow, plan))
        return refusal;
    return RefuseSections(form, *code);
}

host::Document* OKButton_Click(host::Application& app, layout::SheetForm& form) {
    if (form.txtVice_Title.empty()) {
        app.ShowMessage("请输入试卷副标题");
        return nullptr;
    }
    if (form.txtTitle.empty()) {
        app.ShowMessage("请输入试卷标题");
        return nullptr;
    }
    // Checked before anything is closed or made, so a refusal changes nothing.
    if (const std::optional<std::string> refusal = ValidateSettings(form)) {
        app.ShowMessage(*refusal);
        return nullptr;
    }

    form.visible = false;  // hidden but loaded: the generators read the controls
    if (app.DocumentCount() > 0)
        app.CloseAllDocuments();  // a document kept open is no reason to stop
    host::Document& doc = app.AddDocument();
    app.view.showParagraphs = false;
    doc.embedTrueTypeFonts = true;
    doc.doNotEmbedSystemFonts = true;
    SetUpPage(doc.pageSetup, LayoutCode(form.cmbPage));
    doc.saved = false;

    form.itemNo = 0;
    if (const std::optional<int16_t> code = LayoutCode(form.cmbPage)) {
        layout::SheetJob job{app, doc, form};
        const bool yields = *code == kEightKaiThreeColumns;
        for (auto* generator :
             {&layout::BuildPageGrid, &layout::BuildTitleBlock, &layout::BuildCandidateInfo}) {
            Run(generator, job, *code);
            if (yields) app.DoEvents();
        }
        if (form.mfgQuestion.Rows() > 1) Run(&layout::BuildObjectiveSection, job, *code);
        if (!form.sections.empty()) Run(&layout::BuildWrittenSections, job, *code);
    }
    // The sheet carries what it was made from, so it can be reopened with its settings.
    AttachSheetSettings(doc, form);

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

    form.loaded = false;
    return &doc;
}

}  // namespace varelo::settings
