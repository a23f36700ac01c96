// From readings to results: the template file, pairing scans into sheets, the answer key and
// the CSV, on readings made up here rather than scanned.
#include <gtest/gtest.h>

#include <functional>
#include <nlohmann/json.hpp>
#include <tuple>

#include "base/numbers.h"
#include "base/read_error.h"
#include "codes/page_code.h"
#include "omr/template_file.h"
#include "read/scan_simulator.h"
#include "scan/sheet_results.h"
#include "scores/answer_key.h"

using namespace varelo;

namespace {

// A key of some items only, as these tests score.
constexpr read::KeyOptions kSomeItems{.allowPartialKey = true};

std::map<int, std::string> Answers(const read::AnswerKey& key) {
    std::map<int, std::string> out;
    for (const auto& [number, item] : key) out[number] = item.answer;
    return out;
}

// The A4 example (9 digits, 30 items of A-D, 1 point each) with its last item moved to page 2,
// as a sheet whose items cross the page break has it.
layout::OmrTemplate TwoPageTemplate() {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    for (layout::OmrBubble& b : t.items.back().options) b.rect.page = 2;
    return t;
}

// A scan of page `page` read with the given bubbles filled (candidate digits by column, item
// labels by item index) and one doubtful bubble if asked.
read::ScanReading Reading(const layout::OmrTemplate& t, const std::string& name, int page,
                          const std::string& candidate, const std::map<size_t, std::string>& items,
                          std::optional<std::pair<size_t, size_t>> doubtful = {}) {
    read::ScanReading r{name, {}, {}, read::BubbleReadings(t)};
    r.registration.ok = true;
    r.registration.page = page;
    for (size_t c = 0; c < t.candidateColumns.size(); ++c)
        for (size_t d = 0; d < 10; ++d) {
            read::BubbleReading& b = r.bubbles.candidate[c][d];
            b.read = t.candidateColumns[c][d].rect.page == page;
            if (b.read && c < candidate.size() && candidate[c] == static_cast<char>('0' + d))
                b.decision = read::Decision::Filled;
        }
    for (size_t i = 0; i < t.items.size(); ++i)
        for (size_t o = 0; o < t.items[i].options.size(); ++o) {
            read::BubbleReading& b = r.bubbles.items[i][o];
            b.read = t.items[i].options[o].rect.page == page;
            const auto it = items.find(i);
            if (b.read && it != items.end() &&
                it->second.find(t.items[i].options[o].value) != std::string::npos)
                b.decision = read::Decision::Filled;
            if (b.read && doubtful && doubtful->first == i && doubtful->second == o)
                b.decision = read::Decision::Doubtful;
        }
    return r;
}

TEST(ReadResults, TemplateFileRoundTripsAndToleratesAddedFields) {
    const layout::OmrTemplate t = scansim::MakeSheet("B5单栏")->omr;
    nlohmann::json j = nlohmann::json::parse(layout::OmrTemplateJson(t));
    j["marginNotes"] = nlohmann::json::array({{{"kind", "written"}, {"page", 2}}});
    j["items"][3]["options"][1]["note"] = "a field of a later reader";
    const layout::OmrTemplate back = read::ParseTemplate(j.dump());
    ASSERT_EQ(back.items.size(), t.items.size());
    ASSERT_EQ(back.pages.size(), t.pages.size());
    EXPECT_EQ(back.pages[0].marks.size(), t.pages[0].marks.size());
    EXPECT_EQ(back.pages[0].marks[0].corner, t.pages[0].marks[0].corner);
    EXPECT_NEAR(back.items[3].options[1].rect.x, t.items[3].options[1].rect.x, 0.0005);
    EXPECT_EQ(back.candidateColumns[8][9].value, "9");
    EXPECT_EQ(back.groups[0].itemCount, 30);

    const auto refused = [&](nlohmann::json bad) {
        try {
            read::ParseTemplate(bad.dump());
        } catch (const read::ReadError& e) {
            return std::string(e.what());
        }
        return std::string("accepted");
    };
    nlohmann::json v3 = j;
    v3["version"] = 3;
    EXPECT_EQ(refused(v3), "the template's version is not 1 or 2, the ones this reader knows");
    nlohmann::json other = j;
    other["format"] = "omrchecker";
    EXPECT_EQ(refused(other),
              "not a Varelo scanner template (\"format\" is not \"varelo-omr-template\")");
    nlohmann::json noRect = j;
    noRect["items"][0]["options"][1].erase("rect");
    EXPECT_EQ(refused(noRect), "the template's items[0].options[1] has no \"rect\"");
    nlohmann::json badPage = j;
    badPage["candidateNumber"]["columns"][0]["bubbles"][0]["page"] = 3;
    EXPECT_EQ(refused(badPage),
              "the template's candidateNumber.columns[0].bubbles[0].page is not a page");
}

// A sheet's page codes come back as written; a template without them writes neither field; bad
// ones are refused with where they are.
TEST(ReadResults, TemplateFileKeepsPageCodesAndRefusesBadOnes) {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    EXPECT_EQ(layout::OmrTemplateJson(t).find("examId"), std::string::npos);
    EXPECT_TRUE(read::ParseTemplate(layout::OmrTemplateJson(t)).pageCodes.empty());
    t.examId = "0123456789ABCDEF";
    t.pageCodes = {{1, 97, 1.5, 16, 16}, {2, 180.25, 260, 14, 14}};
    const nlohmann::json j = nlohmann::json::parse(layout::OmrTemplateJson(t));
    const layout::OmrTemplate back = read::ParseTemplate(j.dump());
    EXPECT_EQ(back.examId, t.examId);
    ASSERT_EQ(back.pageCodes.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const layout::OmrRect &a = back.pageCodes[i], &b = t.pageCodes[i];
        EXPECT_EQ(std::tie(a.page, a.x, a.y, a.width, a.height),
                  std::tie(b.page, b.x, b.y, b.width, b.height));
    }
    EXPECT_EQ(layout::PageCodeOf(back, 2), &back.pageCodes[1]);

    const std::pair<std::function<void(nlohmann::json&)>, std::string> cases[] = {
        {[](nlohmann::json& c) { c["examId"] = "0123456789abcdeg"; },
         "the template's examId must be 16 hexadecimal digits"},
        {[](nlohmann::json& c) { c["examId"] = "0123456789abcdef0"; },
         "the template's examId must be 16 hexadecimal digits"},
        {[](nlohmann::json& c) { c.erase("examId"); }, "the template's root has no \"examId\""},
        {[](nlohmann::json& c) { c["pageCodes"][1]["page"] = 3; },
         "the template's pageCodes[1].page is not a page"},
        {[](nlohmann::json& c) { c["pageCodes"][0]["page"] = 0; },
         "the template's pageCodes[0].page is not a page"},
        {[](nlohmann::json& c) { c["pageCodes"][1]["page"] = 1; },
         "the template's pageCodes[1].page repeats a page"},
        {[](nlohmann::json& c) { c["pageCodes"][1]["rect"]["x"] = 200; },
         "the template's pageCodes[1].rect must lie on its page"},
        {[](nlohmann::json& c) { c["pageCodes"][0]["rect"]["y"] = -1; },
         "the template's pageCodes[0].rect must lie on its page"},
        {[](nlohmann::json& c) { c["pageCodes"].push_back(c["pageCodes"][0]); },
         "the template has more than 2 pageCodes"},
    };
    for (const auto& [edit, message] : cases) {
        nlohmann::json bad = j;
        edit(bad);
        std::string refusal = "accepted";
        try {
            read::ParseTemplate(bad.dump());
        } catch (const read::ReadError& e) {
            refusal = e.what();
        }
        EXPECT_EQ(refusal, message);
    }
}

TEST(ReadResults, KeyChecksItemsAndLabels) {
    const layout::OmrTemplate t = TwoPageTemplate();
    EXPECT_EQ(Answers(read::ParseAnswerKey(R"({"1": "A", "2": "DB"})", t, kSomeItems)),
              (std::map<int, std::string>{{1, "A"}, {2, "BD"}}));
    for (const auto& [text, message] : std::vector<std::pair<const char*, const char*>>{
             {R"({"31": "A"})", "the key names item \"31\", which the template does not have"},
             {R"({"1": "AE"})",
              "the key of item 1, \"AE\", holds \"E\", which is not an option of the item"},
             {R"({"1": 2})", "the key of item 1 must be text such as \"BD\""},
             {R"(["A"])", "the key must be an object {\"1\": \"A\", ...}"}}) {
        try {
            read::ParseAnswerKey(text, t, kSomeItems);
            ADD_FAILURE() << text << " was accepted";
        } catch (const read::ReadError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

// What would score wrongly or hide the mistake: an empty answer scores every blank item, an item
// named twice keeps whichever came last; a long value is cut, a label given twice said as typed.
TEST(ReadResults, KeyRefusesWhatWouldScoreWronglyAndSaysTheAnswerAsWritten) {
    const layout::OmrTemplate t = TwoPageTemplate();
    const std::string huge(10'000'000, 'Z');
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {R"({"1": "A", "3": ""})",
              "the key of item 3 is empty (\"\"): a key answer names at least one option"},
             {R"({"1": "A", "2": "B", "1": "C"})", "the key names item \"1\" twice"},
             {R"({"2": "B", "2": "B"})", "the key names item \"2\" twice"},
             {R"({"1": "AA"})", "the key of item 1, \"AA\", names \"A\" twice"},
             {R"({"1": "BDB"})", "the key of item 1, \"BDB\", names \"B\" twice"},
             {R"({"1": "A\n="})",
              "the key of item 1, \"A\\n=\", holds \"\\n\", which is not an option of the item"},
             {R"({"1": "A)" + huge + "\"}",
              "the key of item 1, \"A" + std::string(39, 'Z') +
                  "...\", holds \"Z\", which is not an option of the item"},
             {R"({")" + huge + R"(": "A"})", "the key names item \"" + std::string(40, 'Z') +
                                                 "...\", which the template does not have"}}) {
        try {
            read::ParseAnswerKey(text, t, kSomeItems);
            ADD_FAILURE() << text.substr(0, 40) << " was accepted";
        } catch (const read::ReadError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
    // Read as written, in any order.
    EXPECT_EQ(Answers(read::ParseAnswerKey(R"({"1": "DA", "2": "C"})", t, kSomeItems)),
              (std::map<int, std::string>{{1, "AD"}, {2, "C"}}));
}

// Two regions of one item would write one crop over the other; a composition's parts share
// their item, each with its own part.
TEST(ReadResults, TemplateRefusesARegionItemNamedTwice) {
    nlohmann::json j = nlohmann::json::parse(layout::OmrTemplateJson(TwoPageTemplate()));
    const auto region = [](int item, int part) {
        nlohmann::json r = {{"kind", part ? "作文" : "解答"},
                            {"section", 1},
                            {"item", item},
                            {"points", 5},
                            {"page", 1},
                            {"rect", {{"x", 10}, {"y", 10 + item}, {"width", 5}, {"height", 1}}}};
        if (part) r["part"] = part;
        return r;
    };
    const auto outcome = [&](std::vector<nlohmann::json> regions) {
        j["regions"] = regions;
        try {
            return std::to_string(read::ParseTemplate(j.dump()).regions.size()) + " regions";
        } catch (const read::ReadError& e) {
            return std::string(e.what());
        }
    };
    EXPECT_EQ(outcome({region(31, 0), region(32, 1), region(32, 2), region(33, 0)}), "4 regions");
    EXPECT_EQ(outcome({region(31, 0), region(32, 0), region(31, 0)}),
              "the template's regions[2].item repeats item 31");
    EXPECT_EQ(outcome({region(32, 1), region(32, 1)}),
              "the template's regions[1].part repeats part 1 of item 32");
    EXPECT_EQ(outcome({region(32, 1), region(32, 0)}),
              "the template's regions[1].item repeats item 32");
    EXPECT_EQ(outcome({region(32, 0), region(32, 2)}),
              "the template's regions[1].item repeats item 32");
}

// A cell a spreadsheet would take for a formula (a scan named "=1+2.png", a hand-made label
// "-1") is written so that it shows as text; the rest keep their value.
TEST(ReadResults, CsvCellsThatWouldBeFormulasShowAsText) {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    t.items[0].options[0].value = "-1";
    t.items[0].options[1].value = "+1";
    const std::vector<read::ScanReading> scans = {
        Reading(t, "=1+2.png", 1, "1", {{0, "-1+1"}}),
        Reading(t, "+cmd.png", 1, "2", {}),
        Reading(t, "-x.png", 1, "3", {}),
        Reading(t, "@SUM(A1).png", 1, "4", {}),
        Reading(t, "\tx.png", 1, "5", {}),
        Reading(t, "\rx.png", 1, "6", {}),
        Reading(t, "a=b+c-d@e.png", 1, "7", {}),
    };
    const std::string csv =
        read::ResultsCsv(t, scans, read::AssembleSheets(t, scans, nullptr), false);
    std::vector<std::string> rows;
    for (size_t at = csv.find("\r\n"); at != std::string::npos;) {
        const size_t next = csv.find("\r\n", at + 2);
        rows.push_back(csv.substr(at + 2, next - at - 2));
        at = next == csv.size() - 2 ? std::string::npos : next;
    }
    ASSERT_EQ(rows.size(), scans.size());
    const std::vector<std::string> starts = {"'=1+2.png,review,1????????,'-1+1,",
                                             "'+cmd.png,review,2",
                                             "'-x.png,review,3",
                                             "'@SUM(A1).png,review,4",
                                             "'\tx.png,review,5",
                                             "\"'\rx.png\",review,6",
                                             "a=b+c-d@e.png,review,7"};
    for (size_t i = 0; i < rows.size(); ++i)
        EXPECT_EQ(rows[i].substr(0, starts[i].size()), starts[i]) << i;
}

// The JSON gives the scores the CSV gives: points of 0.1 add up to 0.3 in both, never to
// 0.30000000000000004 in one of them.
TEST(ReadResults, JsonScoresAreTheDecimalsOfTheCsv) {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    for (layout::OmrItem& item : t.items) item.points = 0.1;
    std::vector<read::ScanReading> scans;
    std::string keyText = "{";
    std::map<size_t, std::string> right;
    for (size_t i = 0; i < 29; ++i) {
        keyText += (i ? ", \"" : "\"") + std::to_string(i + 1) + "\": \"B\"";
        right[i] = "B";
        scans.push_back(
            Reading(t, std::to_string(i) + ".png", 1, std::to_string(100000000 + i), right));
    }
    const read::AnswerKey key = read::ParseAnswerKey(keyText + "}", t, kSomeItems);
    const std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, &key);
    const std::string csv = read::ResultsCsv(t, scans, sheets, true);
    const nlohmann::json j = nlohmann::json::parse(read::ResultsJson(t, scans, sheets));
    size_t at = csv.find("\r\n");
    for (size_t s = 0; s < sheets.size(); ++s) {
        // The row ends ",group1,total,reason" with an empty reason.
        const size_t end = csv.find("\r\n", at + 2);
        const std::string row = csv.substr(at + 2, end - at - 2);
        at = end;
        std::vector<std::string> cells;
        for (size_t from = 0, comma;; from = comma + 1) {
            comma = row.find(',', from);
            cells.push_back(row.substr(from, comma - from));
            if (comma == std::string::npos) break;
        }
        const std::string& total = cells[cells.size() - 2];
        const std::string& group = cells[cells.size() - 3];
        EXPECT_EQ(total, host::NumberToText(0.1 * static_cast<double>(s + 1))) << s;
        // As written: 0.3, and 1.0 for the CSV's 1 (a whole number stays one of JSON's floats).
        const auto asCsv = [](const nlohmann::json& number) {
            std::string text = number.dump();
            if (text.ends_with(".0")) text.resize(text.size() - 2);
            return text;
        };
        EXPECT_EQ(asCsv(j["sheets"][s]["total"]), total);
        EXPECT_EQ(asCsv(j["sheets"][s]["groupScores"][0]), group);
    }
}

// Scans in the order given: a page-2 scan joins the page-1 scan before it; a page 1 without its
// page 2, a page 2 without its page 1, an unread scan, a doubtful bubble and a candidate number
// on two sheets each show in their row.
TEST(ReadResults, ScansPairIntoSheetsAndScore) {
    const layout::OmrTemplate t = TwoPageTemplate();
    const std::vector<read::ScanReading> scans = {
        Reading(t, "b-1.png", 1, "12345678", {{0, "A"}, {1, "B"}}, std::make_pair(2u, 2u)),
        {"d.pdf#1", "no positioning marks found (a blank page, or not a sheet?)", {}, {}},
        Reading(t, "e, \"odd\" name.png", 1, "000000000", {}),
        Reading(t, "f-1.png", 1, "123456789", {{0, "B"}}),
        Reading(t, "a-1.png", 1, "123456789", {{0, "A"}, {1, "BD"}, {2, "C"}}),
        Reading(t, "a-2.png", 2, "", {{29, "D"}}),
        Reading(t, "c-2.png", 2, "", {}),
    };
    const read::AnswerKey key =
        read::ParseAnswerKey(R"({"1": "A", "2": "BD", "30": "D"})", t, kSomeItems);
    const std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, &key);
    ASSERT_EQ(sheets.size(), 6u);
    EXPECT_EQ(sheets[4].scan2, 5u);
    EXPECT_EQ(sheets[4].total, host::Score::Whole(3));

    std::string expected = "\xEF\xBB\xBFscan,scan2,status,candidate";
    for (int i = 1; i <= 30; ++i) expected += "," + std::to_string(i);
    expected += ",group1,total,reason\r\n";
    const auto row = [](const std::string& head, const std::map<int, std::string>& answers,
                        const std::string& tail) {
        std::string r = head;
        for (int i = 1; i <= 30; ++i) r += "," + (answers.count(i) ? answers.at(i) : std::string());
        return r + tail + "\r\n";
    };
    expected += row("b-1.png,,review,12345678?", {{1, "A"}, {2, "B"}},
                    ",1,1,a candidate-number column has no or several digits filled; doubtful "
                    "bubbles: C of item 3; page 2 missing");
    expected += "d.pdf#1,,error," + std::string(30, ',') +
                ",,,\"no positioning marks found (a blank page, or not a sheet?)\"\r\n";
    expected += row("\"e, \"\"odd\"\" name.png\",,review,000000000", {}, ",0,0,page 2 missing");
    expected += row("f-1.png,,review,123456789", {{1, "B"}},
                    ",0,0,page 2 missing; the same candidate number as a-1.png");
    expected += row("a-1.png,a-2.png,review,123456789", {{1, "A"}, {2, "BD"}, {3, "C"}, {30, "D"}},
                    ",3,3,the same candidate number as f-1.png");
    expected += "c-2.png,,page2," + std::string(30, ',') + ",,,no scan of page 1 next to it\r\n";
    EXPECT_EQ(read::ResultsCsv(t, scans, sheets, true), expected);

    const nlohmann::json j = nlohmann::json::parse(read::ResultsJson(t, scans, sheets));
    EXPECT_EQ(j["sheets"][4]["scan2"], "a-2.png");
    EXPECT_EQ(j["sheets"][4]["answers"]["2"], "BD");
    EXPECT_EQ(j["scans"][5]["itemBubbles"].size(), 4u);  // page 2 holds item 30 only
    EXPECT_EQ(j["scans"][1]["error"], "no positioning marks found (a blank page, or not a sheet?)");
}

// Stacks of made-up readings, one character a scan: 1 and 2 the page, x an unreadable scan.
// Pages that alternate in an even run pair by the run's order (face down: page 2 first); an
// odd run takes the order the stack's other runs agree on; otherwise a page 2 is paired with
// nothing and it and its page 1s are to review.
TEST(ReadResults, StacksPairByTheirOrderOrSayTheyCannot) {
    const layout::OmrTemplate twoPage = TwoPageTemplate();
    // A page 2 with written answers only makes the sheet two-page too.
    layout::OmrTemplate written = scansim::MakeSheet("A4单栏")->omr;
    written.regions.push_back({"作文", 1, 31, 0, 10, {2, 20, 30, 170, 200}});
    const layout::OmrTemplate onePage = scansim::MakeSheet("A4单栏")->omr;
    struct Case {
        const char* stack;
        // Per row: the scan's index, then "+N" for the page 2 read with it, then the status.
        const char* rows;
        const layout::OmrTemplate* t = nullptr;
    };
    const std::vector<Case> cases = {
        {"1212", "0+1 ok|2+3 ok"},
        {"2121", "1+0 ok|3+2 ok"},
        {"212121", "1+0 ok|3+2 ok|5+4 ok"},
        {"1211212", "0+1 ok|2 review|3+4 ok|5+6 ok"},
        {"2121121", "1+0 ok|3+2 ok|4 review|6+5 ok"},
        {"121", "0 review|1 review|2 review"},
        {"12121", "0 review|1 review|2 review|3 review|4 review"},
        {"1221", "0 review|1 review|2 review|3 review"},
        {"12x21", "0 review|1 review|2 error|3 review|4 review"},
        {"x21x", "0 error|1 review|2 review|3 error"},
        {"x21121", "0 error|2+1 ok|3 review|5+4 ok"},
        {"1212x2", "0+1 ok|2+3 ok|4 error|5 page2"},
        {"12", "0+1 ok", &written},
        {"1", "0 review", &written},
        {"2121", "0 page2|1 ok|2 page2|3 ok", &onePage},
    };
    for (const Case& c : cases) {
        const layout::OmrTemplate& t = c.t ? *c.t : twoPage;
        std::vector<read::ScanReading> scans;
        for (const char* k = c.stack; *k; ++k) {
            const std::string name = std::to_string(k - c.stack);
            if (*k == 'x')
                scans.push_back({name, "no positioning marks found", {}, {}});
            else
                // Every sheet its own number, so only pairing decides the status.
                scans.push_back(
                    Reading(t, name, *k - '0', std::string(9, '1' + (k - c.stack)), {}));
        }
        std::string rows;
        for (const read::SheetResult& s : read::AssembleSheets(t, scans, nullptr)) {
            rows += (rows.empty() ? "" : "|") + std::to_string(s.scan);
            if (s.scan2) rows += "+" + std::to_string(*s.scan2);
            rows += std::string(" ") + read::StatusName(s.status);
        }
        EXPECT_EQ(rows, c.rows) << c.stack;
    }
}

// Stacks of made-up readings of coded sheets, two characters a scan: the page, then a, b, ...
// for the code of sheet 1, 2, ..., e for a code without a sheet (printed from the .docx), ? for
// a code not read and ! for one whose page contradicts the marks. Codes that name different
// sheets never pair; an unread or contradicted code pairs by the order, to review.
TEST(ReadResults, CodedStacksPairByTheSheetTheirCodesName) {
    layout::OmrTemplate twoPage = TwoPageTemplate();
    twoPage.examId = "00000000000000aa";
    twoPage.pageCodes = {{1, 97, 1.5, 16, 16}, {2, 97, 1.5, 16, 16}};
    layout::OmrTemplate onePage = scansim::MakeSheet("A4单栏")->omr;
    onePage.examId = twoPage.examId;
    onePage.pageCodes = twoPage.pageCodes;
    struct Case {
        const char* stack;
        const char* rows;
        const layout::OmrTemplate* t = nullptr;
    };
    const std::vector<Case> cases = {
        {"1a2b", "0 review (page 2 of sheet 1 missing)|1 review (page 1 of sheet 2 missing)"},
        {"2b1a1b2a", "1+3 ok|2+0 ok"},
        {"1a2?",
         "0+1 review (the page code of 1 could not be read, so its page was paired by the "
         "order of the scans)"},
        {"2?1a",
         "1+0 review (the page code of 0 could not be read, so its page was paired by the "
         "order of the scans)"},
        {"1!2a",
         "0+1 review (the page code of 0 says page 2, its marks page 1, so its page was "
         "paired by the order of the scans)"},
        {"1e2e", "0+1 ok"},
        {"1a1a",
         "0 review (page 1 of sheet 1 scanned twice: 0 and 1)|1 review (page 1 of sheet 1 "
         "scanned twice: 0 and 1)",
         &onePage},
        {"1a2a2b", "0 ok|1 page2|2 page2", &onePage},
    };
    for (const Case& c : cases) {
        const layout::OmrTemplate& t = c.t ? *c.t : twoPage;
        std::vector<read::ScanReading> scans;
        for (const char* k = c.stack; *k; k += 2) {
            const int page = k[0] - '0';
            const std::string name = std::to_string((k - c.stack) / 2);
            // Every scan its own number, so only pairing decides the status.
            scans.push_back(Reading(t, name, page, std::string(9, '1' + (k - c.stack) / 2), {}));
            scans.back().codeSought = true;
            if (k[1] == '?') continue;
            scans.back().code =
                codes::PageCode{"00000000000000AA", k[1] == '!' ? 3 - page : page, {}, {}};
            if (k[1] >= 'a' && k[1] <= 'd') scans.back().code->serial = k[1] - 'a' + 1;
        }
        std::string rows;
        for (const read::SheetResult& s : read::AssembleSheets(t, scans, nullptr)) {
            rows += (rows.empty() ? "" : "|") + std::to_string(s.scan);
            if (s.scan2) rows += "+" + std::to_string(*s.scan2);
            rows += std::string(" ") + read::StatusName(s.status);
            if (!s.reason.empty()) rows += " (" + s.reason + ")";
        }
        EXPECT_EQ(rows, c.rows) << c.stack;
    }
}

}  // namespace
