// Page codes on the sheet: where they stand, when they print, and the exam id that every sheet
// remade from one keeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <opencv2/imgcodecs.hpp>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "cli_run.h"
#include "codes/page_code.h"
#include "codes/qr_code.h"
#include "compose/generators.h"
#include "compose/sheet_settings_part.h"
#include "dialog_sheet.h"
#include "docx/reader.h"
#include "docx/writer.h"
#include "omr/template_file.h"
#include "temp_dir.h"

using namespace varelo;

namespace {

constexpr const char* kId = "00112233445566aa";

// The reader looks for corner marks this far (a share of the longer side) around each corner
// mark and around where the marks of a sheet turned upside down would be.
constexpr double kCornerSearchShare = 0.12;
constexpr double kClearOfMarks = 3;  // mm

// The distance from a rectangle to a point or to another rectangle, in mm; 0 when they touch.
double Gap(const layout::OmrRect& a, double x, double y) {
    const double dx = std::max({a.x - x, 0.0, x - (a.x + a.width)});
    const double dy = std::max({a.y - y, 0.0, y - (a.y + a.height)});
    return std::hypot(dx, dy);
}
double Gap(const layout::OmrRect& a, const layout::OmrRect& b) {
    const double dx = std::max({a.x - (b.x + b.width), 0.0, b.x - (a.x + a.width)});
    const double dy = std::max({a.y - (b.y + b.height), 0.0, b.y - (a.y + a.height)});
    return std::hypot(dx, dy);
}

// Everything the code must keep clear of, checked on the sheet and its template.
void CheckCodesStandFree(fixture::DialogSheet& sheet, exam::Layout layout) {
    const layout::OmrTemplate t = sheet.Template();
    ASSERT_EQ(t.pageCodes.size(), 2u);
    EXPECT_EQ(t.examId.size(), 16u);
    const host::Table& grid = sheet.Grid();
    for (int page = 1; page <= 2; ++page) {
        const layout::OmrRect& code = t.pageCodes[static_cast<size_t>(page - 1)];
        ASSERT_EQ(code.page, page);
        EXPECT_NEAR(code.width, 16, 1e-9);
        const layout::OmrPage& p = t.pages[static_cast<size_t>(page - 1)];
        const double radius = kCornerSearchShare * std::max(p.width, p.height);
        for (const layout::OmrMark& m : p.marks) {
            EXPECT_GE(Gap(code, m.rect), kClearOfMarks) << "page " << page;
            if (!m.corner) continue;
            EXPECT_GT(Gap(code, m.rect.CenterX(), m.rect.CenterY()), radius);
            EXPECT_GT(Gap(code, p.width - m.rect.CenterX(), p.height - m.rect.CenterY()), radius);
        }
        for (const layout::OmrItem& item : t.items)
            for (const layout::OmrBubble& b : item.options)
                if (b.rect.page == page) {
                    EXPECT_GT(Gap(code, b.rect), 0) << "item " << item.number;
                }
        for (const auto& column : t.candidateColumns)
            for (const layout::OmrBubble& b : column)
                if (b.rect.page == page) {
                    EXPECT_GT(Gap(code, b.rect), 0);
                }
        for (const layout::OmrRegion& r : t.regions)
            if (r.rect.page == page) {
                EXPECT_GT(Gap(code, r.rect), 0) << "item " << r.item;
            }

        // On the grid: the code's cell holds the picture alone, no other cell's text or frame
        // reaches into it or onto its edges, and the picture says what the template says.
        const host::CellRect area = layout::PageCodeArea(layout, page);
        ASSERT_EQ(grid.CellArea(area.top, area.left), area);
        // The edge below the block is the next page's top: the block ends its page.
        for (int r = area.top; r <= area.bottom; ++r)
            for (int c = area.left; c <= area.right + 1; ++c) {
                const bool above = c <= area.right && grid.HorizontalEdge(r, c).Visible();
                EXPECT_FALSE(above || grid.VerticalEdge(r, c).Visible()) << r << "," << c;
            }
        EXPECT_EQ(grid.At(area.top, area.left).Text(), "");
        const host::InlinePicture* picture = layout::PageCodePicture(grid, layout, page);
        ASSERT_NE(picture, nullptr);
        EXPECT_EQ(picture->description, codes::PageCodePayload({t.examId, page, std::nullopt, {}}));
    }
}

}  // namespace

// Over random exams in every layout, with codes on: the square of each page's code is free of
// bubbles, regions, text and frames, 3 mm clear of every mark and outside the corner searches;
// the sheet fits as the check said, and its code cell and square are those of every other sheet
// of the layout.
TEST(PageCodes, SquareIsFreeOnEveryLayoutForRandomExams) {
    for (int16_t code = 1; code <= 6; ++code) {
        const auto layout = static_cast<exam::Layout>(code);
        std::mt19937 rng(static_cast<unsigned>(code) * 104729u);
        const auto pick = [&](int lo, int hi) {
            return std::uniform_int_distribution(lo, hi)(rng);
        };
        std::optional<layout::OmrRect> first;
        int sheets = 0;
        for (int trial = 0; trial < 6; ++trial) {
            std::vector<fixture::DialogGroup> groups;
            for (int g = pick(1, 4); g > 0; --g)
                groups.push_back(
                    {"选择题", std::to_string(pick(1, 60)), std::to_string(pick(2, 7)), "1"});
            std::vector<exam::WrittenSection> sections;
            for (int n = pick(0, 3); n > 0; --n) {
                exam::WrittenSection s;
                s.kind = static_cast<exam::SectionKind>(pick(0, 2));
                s.name = "题";
                s.items = pick(1, 10);
                s.blanks = pick(1, 4);
                s.rows = pick(3, 20);
                s.chars = pick(50, 600);
                s.points = 2;
                sections.push_back(s);
            }
            // Shortened until it fits: full pages are the point here.
            const auto fill = [&](settings::SheetForm& form) {
                form.sections = sections;
                form.chkPageCode = settings::SheetForm::kChecked;
            };
            for (;;) {
                settings::SheetForm probe;
                host::Application quiet;
                fixture::OpenSettings(probe, fixture::kLayoutNames[code - 1]);
                fixture::EnterGroups(quiet, probe, groups);
                fill(probe);
                if (std::holds_alternative<settings::ValidExam>(
                        settings::ValidateExam(settings::DraftOf(probe))))
                    break;
                if (!sections.empty())
                    sections.pop_back();
                else
                    groups.pop_back();
            }
            SCOPED_TRACE(std::string(fixture::kLayoutNames[code - 1]) + " trial " +
                         std::to_string(trial));
            fixture::DialogSheet sheet(fixture::kLayoutNames[code - 1], groups, fill);
            ASSERT_NE(sheet.doc, nullptr)
                << (sheet.app.messages.empty() ? "" : sheet.app.messages[0]);
            CheckCodesStandFree(sheet, layout);
            const layout::OmrRect square = sheet.Template().pageCodes[0];
            if (!first) first = square;
            EXPECT_NEAR(square.x, first->x, 1e-9);
            EXPECT_NEAR(square.y, first->y, 1e-9);
            ++sheets;
        }
        EXPECT_GE(sheets, 6);
    }
}

// Codes print by default exactly when page 2 has something to read, and then only where they
// leave the content room; the teacher's on and off decide otherwise. A sheet without codes is
// the sheet as it was before codes: no picture, no id, no choice in its settings.
TEST(PageCodes, PrintWhenPageTwoHasSomethingToReadOrWhenChosen) {
    const auto settingsXml = [](const host::Document& doc) {
        for (const host::CustomXmlPart& p : doc.customXml)
            if (p.schemaUri == settings::kSheetSettingsNamespace) return p.xml;
        return std::string();
    };
    const auto codesOf = [](fixture::DialogSheet& s) { return s.Template().pageCodes.size(); };
    const std::vector<fixture::DialogGroup> pageTwo = {
        {"选择题", "60", "", "1"}, {"阅读", "60", "", "1"}, {"听力", "60", "", "1"}};
    {
        fixture::DialogSheet example("A3三栏");
        EXPECT_EQ(codesOf(example), 0u);
        EXPECT_EQ(settingsXml(*example.doc).find("examId"), std::string::npos);
        EXPECT_EQ(settingsXml(*example.doc).find("pageCode"), std::string::npos);
        EXPECT_EQ(layout::PageCodePicture(example.Grid(), exam::Layout::A3Three, 1), nullptr);
    }
    {
        fixture::DialogSheet full("A4单栏", pageTwo);
        ASSERT_NE(full.doc, nullptr);
        EXPECT_EQ(codesOf(full), 2u);
        const std::string xml = settingsXml(*full.doc);
        EXPECT_NE(xml.find("<examId>"), std::string::npos);
        EXPECT_EQ(xml.find("pageCode"), std::string::npos);
    }
    {
        fixture::DialogSheet off("A4单栏", pageTwo, [](settings::SheetForm& f) {
            f.chkPageCode = settings::SheetForm::kUnchecked;
        });
        EXPECT_EQ(codesOf(off), 0u);
        EXPECT_NE(settingsXml(*off.doc).find("<pageCode>off</pageCode>"), std::string::npos);
        EXPECT_EQ(settingsXml(*off.doc).find("examId"), std::string::npos);
        fixture::DialogSheet on("A3三栏", {fixture::kExampleGroup}, [](settings::SheetForm& f) {
            f.chkPageCode = settings::SheetForm::kChecked;
        });
        EXPECT_EQ(codesOf(on), 2u);
    }
    // Answer boxes as many as fit without codes in 8开双栏, where the codes would leave them no
    // room: by default the codes step aside, asked for they are refused with the sheet's own
    // message.
    const auto checked = [](const exam::WrittenSection& s, int choice) {
        settings::SheetForm form;
        fixture::OpenSettings(form, "8开双栏");
        host::Application app;
        fixture::EnterGroups(app, form, {fixture::kExampleGroup});
        form.sections = {s};
        form.chkPageCode = choice;
        return settings::ValidateExam(settings::DraftOf(form));
    };
    std::optional<exam::WrittenSection> tightest;
    for (int rows = 3; rows <= 30 && !tightest; ++rows) {
        exam::WrittenSection answers{exam::SectionKind::Answer, "解答题", 1, 1, rows, 0, 5};
        while (std::holds_alternative<settings::ValidExam>(
            checked(answers, settings::SheetForm::kUnchecked)))
            ++answers.items;
        --answers.items;
        if (std::holds_alternative<std::string>(checked(answers, settings::SheetForm::kChecked)))
            tightest = answers;
    }
    ASSERT_TRUE(tightest);
    fixture::DialogSheet tight("8开双栏", {fixture::kExampleGroup},
                               [&](settings::SheetForm& f) { f.sections = {*tightest}; });
    ASSERT_NE(tight.doc, nullptr);
    EXPECT_EQ(codesOf(tight), 0u);
    fixture::DialogSheet refused("8开双栏", {fixture::kExampleGroup}, [&](settings::SheetForm& f) {
        f.sections = {*tightest};
        f.chkPageCode = settings::SheetForm::kChecked;
    });
    EXPECT_EQ(refused.doc, nullptr);
    ASSERT_EQ(refused.app.messages.size(), 1u);
    EXPECT_NE(refused.app.messages[0].find("放不下"), std::string::npos);
}

// The picture in the sheet is a QR code of its payload, and numbering a copy changes only
// what the codes say.
TEST(PageCodes, PicturesDecodeToTheirPayloadAndNumberPerCopy) {
    fixture::DialogSheet sheet("B5单栏", {fixture::kExampleGroup}, [](settings::SheetForm& f) {
        f.chkPageCode = settings::SheetForm::kChecked;
        f.examId = kId;
    });
    ASSERT_NE(sheet.doc, nullptr);
    const host::Table before(sheet.Grid());
    EXPECT_EQ(layout::NumberPageCodes(*sheet.doc, exam::Layout::B5One, kId, 7), 2);
    for (int page = 1; page <= 2; ++page) {
        const host::InlinePicture* p =
            layout::PageCodePicture(sheet.Grid(), exam::Layout::B5One, page);
        ASSERT_NE(p, nullptr);
        const std::vector<uchar> png(p->data.begin(), p->data.end());
        const std::vector<codes::FoundCode> found =
            codes::ReadQrCodes(cv::imdecode(png, cv::IMREAD_GRAYSCALE));
        ASSERT_EQ(found.size(), 1u);
        EXPECT_EQ(found[0].text, "VRL1|" + std::string(kId) + "|" + std::to_string(page) + "|S7");
        EXPECT_EQ(found[0].text, p->description);
    }
    layout::NumberPageCodes(*sheet.doc, exam::Layout::B5One, kId, std::nullopt);
    EXPECT_TRUE(sheet.Grid() == before);
}

// The exam id stays with the exam: through the settings part, the dialog filled from a sheet
// (按此卡设置新建), generate --from with a corrected title, and edit; --exam-id sets it, and only
// 16 hex digits are taken.
TEST(PageCodes, ExamIdKeptThroughSettingsFromAndEdit) {
    const varelo::testing::TempDir tmp("varelo-codes");
    const std::string dir = tmp.path().string() + "/";
    const auto idIn = [](const std::string& json) { return read::LoadTemplate(json).examId; };
    const std::string exam =
        "--layout A4单栏 --group 选择题,60,4,1 --group 阅读,60,4,1 --group 听力,60,4,1 "
        "--absent-mark --paper-types AB";
    ASSERT_EQ(varelo::testing::RunVarelo("generate " + exam + " --exam-id 00112233445566AA -o " +
                                         dir + "a.docx --omr " + dir + "a.json")
                  .status,
              0);
    EXPECT_EQ(idIn(dir + "a.json"), kId);

    const std::unique_ptr<host::Document> a = host::OpenDocx(dir + "a.docx");
    const settings::SavedSettings saved = *settings::SheetSettingsOf(*a);
    EXPECT_EQ(saved.draft.examId, kId);
    EXPECT_EQ(settings::DraftOf(settings::FormOf(saved)).examId, kId);
    // The dialog has no box for the marks: reopened and remade, the sheet keeps them.
    EXPECT_EQ(settings::DraftOf(settings::FormOf(saved)).marks, (exam::SheetMarks{true, "AB"}));

    const varelo::testing::CliRun from =
        varelo::testing::RunVarelo("generate --from " + dir + "a.docx --title 期末考试 -o " + dir +
                                   "b.docx --omr " + dir + "b.json");
    ASSERT_EQ(from.status, 0) << from.output;
    EXPECT_EQ(idIn(dir + "b.json"), kId);
    const settings::SavedSettings remade =
        *settings::SheetSettingsOf(*host::OpenDocx(dir + "b.docx"));
    EXPECT_EQ(remade.draft.title, "期末考试");
    EXPECT_EQ(remade.draft.groups.size(), 3u);

    ASSERT_EQ(varelo::testing::RunVarelo("edit " + dir + "b.docx -o " + dir +
                                         "c.docx --select 2,2:3,3 "
                                         "--box --omr " +
                                         dir + "c.json")
                  .status,
              0);
    EXPECT_EQ(idIn(dir + "c.json"), kId);
    EXPECT_EQ(settings::SheetSettingsOf(*host::OpenDocx(dir + "c.docx"))->draft.examId, kId);

    for (const char* bad : {"0011223344556", "00112233445566ag", "00112233445566aa0"}) {
        const varelo::testing::CliRun r = varelo::testing::RunVarelo(
            std::string("generate --exam-id ") + bad + " -o " + dir + "x.docx");
        EXPECT_EQ(r.status, 2) << bad;
        EXPECT_NE(r.output.find("--exam-id wants 16 hexadecimal digits"), std::string::npos);
    }
    EXPECT_THROW(settings::ParseSheetSettings(
                     "<sheetSettings xmlns=\"urn:varelo:sheet-settings\" version=\"1\">"
                     "<examId>xyz</examId></sheetSettings>"),
                 settings::SheetSettingsError);
    EXPECT_FALSE(std::filesystem::exists(dir + "x.docx"));
}

// --copies wants --pdf, a number in bounds, and codes.
TEST(PageCodes, CopiesOptionsRefusedWhereTheyCannotBeMet) {
    const varelo::testing::TempDir tmp("varelo-copies");
    const std::string out = " -o " + tmp.path().string() + "/x.docx";
    for (const auto& [args, message] : std::vector<std::pair<std::string, std::string>>{
             {"--copies 3", "--copies wants --pdf FILE"},
             {"--copies 0 --pdf a.pdf", "--copies wants a number of sheets from 1 to 10000"},
             {"--copies 10001 --pdf a.pdf", "from 1 to 10000, not \"10001\""},
             {"--copies 3 --pdf a.pdf --page-code off", "not with --page-code off"},
             {"--page-code maybe", "--page-code is on or off"},
         }) {
        const varelo::testing::CliRun r = varelo::testing::RunVarelo("generate " + args + out);
        EXPECT_EQ(r.status, 2) << args;
        EXPECT_NE(r.output.find(message), std::string::npos) << r.output;
    }
    EXPECT_FALSE(std::filesystem::exists(tmp.path() / "x.docx"));
}
