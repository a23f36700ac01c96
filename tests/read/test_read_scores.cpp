// Written scores merged into the results, and the results as a teacher opens them, on readings
// made up here rather than scanned.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "base/read_error.h"
#include "read/scan_simulator.h"
#include "scan/results_table.h"
#include "scan/sheet_results.h"
#include "scan/written_scores.h"
#include "scores/answer_key.h"
#include "tables/marks_table.h"
#include "tables/table.h"

using namespace varelo;

namespace {

// The A4 example (9 digits, 30 items of A-D) with three written items after its bubbles: 31 (10
// points), 32 (12.5) and a composition 33 (60) over two columns.
layout::OmrTemplate WithWrittenItems() {
    layout::OmrTemplate t = scansim::MakeSheet("A4单栏")->omr;
    const auto region = [](int item, int part, double points) {
        return layout::OmrRegion{"解答", 1, item, part, points, {1, 10, 200, 20, 20}};
    };
    t.regions = {region(31, 0, 10), region(32, 0, 12.5), region(33, 1, 60), region(33, 2, 60)};
    return t;
}

// A page-1 scan read with the candidate digits (a blank for a column left empty) and the
// answers filled.
read::ScanReading Reading(const layout::OmrTemplate& t, const std::string& name,
                          const std::string& candidate,
                          const std::map<size_t, std::string>& items) {
    read::ScanReading r{name, {}, {}, read::BubbleReadings(t)};
    r.registration.ok = true;
    r.registration.page = 1;
    for (size_t c = 0; c < t.candidateColumns.size(); ++c)
        for (size_t d = 0; d < 10; ++d) {
            read::BubbleReading& b = r.bubbles.candidate[c][d];
            b.read = true;
            if (c < candidate.size() && candidate[c] == static_cast<char>('0' + d))
                b.decision = read::Decision::Filled;
        }
    for (size_t i = 0; i < t.items.size(); ++i)
        for (size_t o = 0; o < t.items[i].options.size(); ++o) {
            read::BubbleReading& b = r.bubbles.items[i][o];
            b.read = true;
            const auto it = items.find(i);
            if (it != items.end() &&
                it->second.find(t.items[i].options[o].value) != std::string::npos)
                b.decision = read::Decision::Filled;
        }
    return r;
}

read::WrittenMark Mark(const std::string& where, const std::string& candidate,
                       const std::string& item, const std::string& scan, const char* score) {
    return {where, candidate, item, scan, *host::Score::Parse(score)};
}

std::string Message(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing refused)";
}

}  // namespace

// A mark finds its sheet by scan, or by a 考号 read whole on one sheet (one a spreadsheet cut
// short of its zeros included), and joins the written scores, their sum and the total, exactly.
TEST(WrittenScores, JoinTheirSheetsByScanOrCandidate) {
    const layout::OmrTemplate t = WithWrittenItems();
    const std::vector<read::ScanReading> scans = {
        Reading(t, "a.png", "000000001", {{0, "A"}}), Reading(t, "b.png", "000000002", {}),
        Reading(t, "c.png", "000000003", {{0, "A"}}), Reading(t, "d.png", "000000003", {}),
        Reading(t, "e.png", "00000000", {})};
    const read::AnswerKey key =
        read::ParseAnswerKey(R"({"1": "A"})", t, read::KeyOptions{.allowPartialKey = true});
    std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, &key);
    const std::vector<read::WrittenMark> marks = {
        Mark("row 2: ", "1", "31", "", "8.5"),         // 000000001 as a number
        Mark("row 3: ", "000000002", "33", "", "60"),  // a composition's whole points
        Mark("row 4: ", "000000003", "31", "c.png", "10"),
        Mark("row 5: ", "", "32", "e.png", "12.5"),  // by scan alone: 考号 reads "?"
        Mark("row 6: ", "000000001", "33", "a.png", "0.25"),
        Mark("row 7: ", "00000000?", "31", "e.png", "0.1"),
    };
    read::CheckWrittenMarks(marks, t);
    read::AddWrittenScores(marks, t, scans, sheets);
    using S = host::Score;
    EXPECT_EQ(sheets[0].writtenScores,
              (std::map<int, S>{{31, S::Hundredths(850)}, {33, S::Hundredths(25)}}));
    EXPECT_EQ(sheets[0].written, S::Hundredths(875));
    EXPECT_EQ(sheets[0].total, S::Hundredths(975));  // with item 1's point
    EXPECT_EQ(sheets[2].total, S::Whole(11));
    EXPECT_TRUE(sheets[3].writtenScores.empty());
    EXPECT_EQ(sheets[4].total, S::Hundredths(1260));

    const std::string csv = read::ResultsCsv(read::MakeResultsTable(
        t, scans, sheets,
        {.headers = read::Headers::English, .withKey = true, .withWritten = true}));
    const auto line = [&](size_t n) {
        size_t at = 0;
        for (size_t i = 0; i < n; ++i) at = csv.find("\r\n", at) + 2;
        return csv.substr(at, csv.find("\r\n", at) - at);
    };
    EXPECT_TRUE(line(0).ends_with(",30,group1,score31,score32,score33,written,total,reason"));
    EXPECT_TRUE(line(1).ends_with(",1,8.5,,0.25,8.75,9.75,")) << line(1);
    EXPECT_TRUE(line(4).ends_with(",0,,,,0,0,the same candidate number as c.png")) << line(4);
    const nlohmann::json j =
        nlohmann::json::parse(read::ResultsJson(t, scans, sheets, true))["sheets"];
    EXPECT_EQ(j[0]["writtenScores"].dump(), R"({"31":8.5,"33":0.25})");
    EXPECT_EQ(j[0]["itemScores"].dump(), R"({"1":1.0})");
    EXPECT_EQ(j[0]["total"].dump(), "9.75");
    EXPECT_EQ(j[3]["written"].dump(), "0.0");
}

// Every row that would score wrongly is refused, each named, and nothing is added.
TEST(WrittenScores, RefusedNamingTheRows) {
    const layout::OmrTemplate t = WithWrittenItems();
    EXPECT_EQ(Message([&] {
                  read::CheckWrittenMarks(
                      {Mark("row 2: ", "1", "31", "", "10.01"), Mark("row 3: ", "1", "5", "", "1"),
                       Mark("row 4: ", "1", "99", "", "1"), Mark("row 5: ", "1", "三", "", "1"),
                       Mark("row 6: ", "1", "32", "", "12.5")},
                      t);
              }),
              "row 2: item 31 scores 10.01, more than its 10 points; row 3: item \"5\" is "
              "answered in bubbles: the key scores it; row 4: item \"99\" is no written item of "
              "the template; row 5: item \"三\" is no written item of the template");

    const std::vector<read::ScanReading> scans = {
        Reading(t, "a.png", "000000001", {}), Reading(t, "c.png", "000000003", {}),
        Reading(t, "d.png", "000000003", {}), Reading(t, "e.png", "00000000", {})};
    std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, nullptr);
    const std::vector<read::SheetResult> before = sheets;
    EXPECT_EQ(Message([&] {
                  read::AddWrittenScores({Mark("row 2: ", "000000001", "31", "", "1"),
                                          Mark("row 3: ", "000000009", "31", "", "1"),
                                          Mark("row 4: ", "000000003", "31", "", "1"),
                                          Mark("row 5: ", "00000000?", "31", "", "1"),
                                          Mark("row 6: ", "", "31", "x.png", "1"),
                                          Mark("row 7: ", "000000002", "31", "a.png", "1"),
                                          Mark("row 8: ", "", "31", "a.png", "2")},
                                         t, scans, sheets);
              }),
              "row 3: no sheet read 考号 000000009; row 4: 考号 000000003 is on 2 sheets (c.png, "
              "d.png): the 扫描 column must say which sheet it is; row 5: 考号 00000000? was not "
              "read whole: the 扫描 column must say which sheet it is; row 6: no sheet was read "
              "from the scan \"x.png\"; row 7: 考号 000000002 is not the 考号 000000001 read from "
              "a.png; row 8: item 31 of a.png is scored already, in row 2");
    EXPECT_TRUE(sheets[0].writtenScores.empty());
    EXPECT_EQ(sheets[0].total, before[0].total);

    // The table itself: a negative score, a third decimal, a missing column.
    const auto table = [](const std::string& csv) {
        return Message([&] { tables::ReadMarksTable(tables::ReadTableBytes(csv, "marks.csv")); });
    };
    EXPECT_EQ(table("考号,题号,得分\n1,31,-1\n"),
              "\"marks.csv\", row 2, column C: 得分 \"-1\" is not a score: a number from 0 with at "
              "most two decimals");
    EXPECT_EQ(
        table("考号,题号,得分\n1,31,2\n1,32,2.555\n"),
        "\"marks.csv\", row 3, column C: 得分 \"2.555\" is not a score: a number from 0 with at "
        "most two decimals");
    EXPECT_EQ(table("考号,题号,分数\n1,31,2\n"),
              "\"marks.csv\", row 1: the header row has no 得分 column");
    const auto rows = tables::ReadMarksTable(
        tables::ReadTableBytes("扫描,得分,题号,考号\r\nb.png + b2.png,7.5,18,0024\r\n", "m.csv"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].row, 2u);
    EXPECT_EQ(rows[0].candidate + "|" + rows[0].item + "|" + rows[0].scan,
              "0024|18|b.png + b2.png");
    EXPECT_EQ(rows[0].score, host::Score::Hundredths(750));
}
