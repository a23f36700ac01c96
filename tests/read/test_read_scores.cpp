// Written scores merged into the results, and the results as a teacher opens them, on readings
// made up here rather than scanned.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zip.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "base/read_error.h"
#include "read/scan_simulator.h"
#include "results_xlsx.h"
#include "scan/results_table.h"
#include "scan/sheet_results.h"
#include "scan/written_scores.h"
#include "scores/answer_key.h"
#include "tables/marks_table.h"
#include "tables/table.h"

using namespace varelo;
namespace fs = std::filesystem;

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

// The teacher's table: Chinese columns, words and reasons, names from the roster, a 考号 the
// roster lacks sent to review; the JSON keeps its English and gives each reason's code.
TEST(ResultsTable, ChineseColumnsWordsAndReasons) {
    layout::OmrTemplate t = WithWrittenItems();
    t.items.resize(3);
    t.groups[0].itemCount = 3;
    std::vector<read::ScanReading> scans = {
        Reading(t, "a.png", "000000001", {{0, "A"}, {1, "AB"}}),
        Reading(t, "b.png", "000000002", {{0, "B"}}),
        Reading(t, "c.png", "00000000", {{0, "A"}}),
        {"d.png", "no positioning marks found (a blank page, or not a sheet?)", {}, {}}};
    scans[1].bubbles.items[2][3].decision = read::Decision::Doubtful;
    const read::AnswerKey key = read::ParseAnswerKey(
        R"({"format": "varelo-key", "version": 1, "items": {"1": "A", "2": {"answer": "ABD",
            "points": 5, "rule": "partial", "partial": 2}, "3": "C"}})",
        t);
    std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, &key);
    read::AddWrittenScores({Mark("row 2: ", "000000001", "31", "", "7.5")}, t, scans, sheets);
    read::MarkNotInRoster(t, {"000000001", "000000003"}, sheets);
    const std::map<std::string, read::RosterEntry> roster = {{"000000001", {"张三", "高二(1)班"}},
                                                             {"000000003", {"李四", "高二(2)班"}}};
    const std::string csv = read::ResultsCsv(read::MakeResultsTable(
        t, scans, sheets,
        {.withKey = true, .withWritten = true, .roster = &roster, .rosterHasClass = true}));
    EXPECT_EQ(
        csv,
        "\xEF\xBB\xBF"
        "扫描,状态,考号,姓名,班级,1,2,3,1分,2分,3分,客观题,31分,32分,33分,主观题,总分,原因\r\n"
        "a.png,正常,000000001,张三,高二(1)班,A,AB,,1,2,0,3,7.5,,,7.5,10.5,\r\n"
        "b.png,复核,000000002,,,B,,,0,0,0,0,,,,0,0,填涂不清：第3题D；考号不在名单中\r\n"
        "c.png,复核,00000000?,,,A,,,1,0,0,1,,,,0,1,考号有列未涂或多涂\r\n"
        "d.png,错误,,,,,,,,,,,,,,,,"
        "\"无法读取：no positioning marks found (a blank page, or not a sheet?)\"\r\n");
    const nlohmann::json j = nlohmann::json::parse(read::ResultsJson(t, scans, sheets, true));
    EXPECT_EQ(j["sheets"][1]["status"], "review");
    EXPECT_EQ(j["sheets"][1]["reason"],
              "doubtful bubbles: D of item 3; the candidate number is not in the roster");
    EXPECT_EQ(j["sheets"][1]["reasonCode"].dump(), R"(["doubtfulBubbles","notInRoster"])");
    EXPECT_EQ(j["sheets"][3]["reasonCode"].dump(), R"(["unreadable"])");
}

// The workbook read back by the project's own table reader: the same cells as the CSV, a 考号
// with its zeros as text, scores as numbers, the header row frozen and review rows filled.
TEST(ResultsTable, WorkbookHoldsWhatTheCsvDoes) {
    const layout::OmrTemplate t = WithWrittenItems();
    const std::vector<read::ScanReading> scans = {Reading(t, "a.png", "002402010", {{0, "A"}}),
                                                  Reading(t, "b.png", "000000002", {}),
                                                  Reading(t, "c.png", "000000002", {})};
    const read::AnswerKey key =
        read::ParseAnswerKey(R"({"1": "A"})", t, read::KeyOptions{.allowPartialKey = true});
    std::vector<read::SheetResult> sheets = read::AssembleSheets(t, scans, &key);
    read::AddWrittenScores({Mark("row 2: ", "2402010", "32", "", "12.5")}, t, scans, sheets);
    const read::ResultsTable table =
        read::MakeResultsTable(t, scans, sheets, {.withKey = true, .withWritten = true});
    const fs::path dir = fs::temp_directory_path() / ("varelo-xlsx-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "results.xlsx").string();
    cli::SaveResultsXlsx(table, path);

    const tables::Table back = tables::ReadTable(path);
    const std::string csv = read::ResultsCsv(table);
    const tables::Table fromCsv = tables::ReadTableBytes(csv, "results.csv");
    ASSERT_EQ(back.rows.size(), 4u);
    for (size_t r = 0; r < back.rows.size(); ++r) {
        std::vector<std::string> cells = back.rows[r].cells, expected = fromCsv.rows[r].cells;
        // A worksheet row ends at its last cell written; the CSV's at its last comma.
        cells.resize(expected.size());
        EXPECT_EQ(cells, expected) << "row " << r + 1;
    }
    EXPECT_EQ(back.rows[0].cells[2], "考号");
    EXPECT_EQ(back.rows[1].cells[2], "002402010");
    EXPECT_EQ(back.rows[1].cells.back(), "");
    EXPECT_EQ(back.rows[2].cells[1], "复核");

    // What the reader of text does not show: types, the frozen row, the fill of a review row.
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, nullptr);
    ASSERT_NE(zip, nullptr);
    std::string sheet(1 << 16, '\0');
    zip_file_t* f = zip_fopen(zip, "xl/worksheets/sheet1.xml", 0);
    ASSERT_NE(f, nullptr);
    sheet.resize(static_cast<size_t>(zip_fread(f, sheet.data(), sheet.size())));
    zip_fclose(f);
    zip_close(zip);
    EXPECT_NE(sheet.find(R"(<pane ySplit="1")"), std::string::npos);
    // The total 13.5 of a.png as a number; its 考号 a shared string.
    EXPECT_NE(sheet.find("<v>13.5</v>"), std::string::npos);
    EXPECT_EQ(sheet.find("<v>2402010</v>"), std::string::npos);
    fs::remove_all(dir);
}
