// Answer keys and scoring: exact decimals, the rules on hand-worked cases and against a
// computation of their own on random keys and fills, the refusals, and a key kept as a table
// read as its JSON.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "base/read_error.h"
#include "base/score.h"
#include "key_file.h"
#include "scores/answer_key.h"
#include "temp_dir.h"
#include "xlsx_writer.h"

using namespace varelo;
using host::Score;

namespace {

// Items 1-4 single choice A-D at 3 points, 5-8 multiple choice A-E at 5, 9-10 true or false at
// 2.5.
layout::OmrTemplate Paper() {
    layout::OmrTemplate t;
    t.groups = {{"一", "单选", 3, 1, 4, 4, "字母"},
                {"二", "多选", 5, 5, 4, 5, "字母"},
                {"三", "判断", 2.5, 9, 2, 2, "判断"}};
    for (int n = 1; n <= 10; ++n) {
        const int g = n <= 4 ? 1 : n <= 8 ? 2 : 3;
        layout::OmrItem item{n, g, t.groups[static_cast<size_t>(g - 1)].points, {}};
        for (const char* label : g == 3 ? std::vector<const char*>{"T", "F"}
                                        : std::vector<const char*>{"A", "B", "C", "D", "E"})
            if (g != 1 || label[0] != 'E') item.options.push_back({label, {}});
        t.items.push_back(item);
    }
    return t;
}

std::vector<bool> Filled(const layout::OmrItem& item, const std::string& labels) {
    std::vector<bool> out;
    for (const layout::OmrBubble& b : item.options)
        out.push_back(labels.find(b.value) != std::string::npos);
    return out;
}

std::string Refusal(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(accepted)";
}

const std::string kRest = R"("1": "A", "2": "B", "3": "C", "4": "D", "10": "F")";

}  // namespace

TEST(Scores, AreExactHundredthsWrittenAsTyped) {
    for (const char* typed : {"0", "2", "2.5", "0.25", "1000000", "0.1"})
        EXPECT_EQ(Score::Parse(typed)->Text(), typed);
    EXPECT_EQ(Score::Parse(" 2.50 ")->Text(), "2.5");
    EXPECT_EQ(Score::Parse(".5")->Text(), "0.5");
    for (const char* bad :
         {"", ".", "-1", "1.333", "1e2", "2,5", "1000000.01", "99999999999999999999"})
        EXPECT_FALSE(Score::Parse(bad)) << bad;
    // Tenths add up to what a teacher adds: thirty of 0.1 are 3, never 2.9999999999999996.
    Score sum;
    for (int i = 0; i < 30; ++i) sum += *Score::FromDouble(0.1);
    EXPECT_EQ(sum.Text(), "3");
    EXPECT_FALSE(Score::FromDouble(1.333));
    EXPECT_FALSE(Score::FromDouble(-1));
    // A share that does not come out even is rounded down: 5 in thirds.
    EXPECT_EQ(Score::Whole(5).Share(1, 3).Text(), "1.66");
    EXPECT_EQ(Score::Whole(5).Share(2, 3).Text(), "3.33");
    EXPECT_EQ(Score::Whole(5).Share(3, 3).Text(), "5");
}

// 新高考 多选: 5 for the answer, 2 for part of it with no wrong option, 0 with any wrong one.
TEST(Scores, RulesOnHandWorkedCases) {
    const layout::OmrTemplate t = Paper();
    const read::AnswerKey key =
        read::ParseAnswerKey(R"({"format": "varelo-key", "version": 1, "items": {)" + kRest +
                                 R"(, "5": {"answer": "ABD", "rule": "partial", "partial": 2},
               "6": {"answer": "ABD", "partial": 2},
               "7": {"answer": "DBA", "points": 6, "rule": "perOption"},
               "8": {"answer": "ACD", "points": 5, "rule": "perOption"},
               "9": "√"}})",
                             t);
    const auto score = [&](int item, const std::string& filled) {
        return read::ItemScore(key.at(item), Filled(t.items[static_cast<size_t>(item - 1)], filled))
            .Text();
    };
    for (const int item : {5, 6}) {
        EXPECT_EQ(score(item, "ABD"), "5");
        EXPECT_EQ(score(item, "AB"), "2");
        EXPECT_EQ(score(item, "D"), "2");
        EXPECT_EQ(score(item, "ABC"), "0");
        EXPECT_EQ(score(item, "ABCDE"), "0");
        EXPECT_EQ(score(item, ""), "0");
    }
    EXPECT_EQ(key.at(7).answer, "ABD");
    EXPECT_EQ(score(7, "A"), "2");
    EXPECT_EQ(score(7, "BD"), "4");
    EXPECT_EQ(score(7, "ABD"), "6");
    EXPECT_EQ(score(7, "AE"), "0");
    EXPECT_EQ(score(8, "A"), "1.66");
    EXPECT_EQ(score(8, "CD"), "3.33");
    EXPECT_EQ(score(8, "ACD"), "5");
    // all: the answer or nothing; points from the template, a true-or-false answer as √.
    EXPECT_EQ(score(1, "A"), "3");
    EXPECT_EQ(score(1, "AB"), "0");
    EXPECT_EQ(score(9, "T"), "2.5");
    EXPECT_EQ(score(9, "F"), "0");
    EXPECT_EQ(score(10, "F"), "2.5");
    for (const char* truth : {"T", "√", "对"})
        EXPECT_EQ(read::ParseAnswerKey(R"({)" + kRest + R"(, "5": "A", "6": "A", "7": "A",
                                       "8": "A", "9": ")" +
                                           truth + "\"}",
                                       t)
                      .at(9)
                      .answer,
                  "T");
    EXPECT_EQ(read::ParseAnswerKey(R"({"9": "错"})", t, {true}).at(9).answer, "F");
}

// Random keys under every rule, written as JSON, against random fills: what the key earns is
// what a teacher works out from the answer and the fill as sets of letters.
TEST(Scores, RulesAgreeWithAnIndependentCount) {
    const layout::OmrTemplate t = Paper();
    std::mt19937 random(34);
    const std::string letters = "ABCDE";
    for (int round = 0; round < 300; ++round) {
        nlohmann::json items = nlohmann::json::object();
        struct Expected {
            std::string answer;
            int rule;
            int64_t points, partial;  // hundredths
        };
        std::map<int, Expected> expected;
        for (int n = 5; n <= 8; ++n) {
            std::string answer;
            while (answer.empty())
                for (const char c : letters)
                    if (random() % 2) answer += c;
            Expected e{answer, static_cast<int>(random() % 3),
                       static_cast<int64_t>(1 + random() % 1200), 0};
            e.partial = static_cast<int64_t>(random() % static_cast<uint64_t>(e.points));
            nlohmann::json item{{"answer", answer},
                                {"points", static_cast<double>(e.points) / 100}};
            if (e.rule == 1) item["partial"] = static_cast<double>(e.partial) / 100;
            if (e.rule == 2) item["rule"] = "perOption";
            items[std::to_string(n)] = item;
            expected[n] = e;
        }
        const read::AnswerKey key = read::ParseAnswerKey(
            nlohmann::json{{"format", "varelo-key"}, {"version", 1}, {"items", items}}.dump(), t,
            {true});
        for (int n = 5; n <= 8; ++n) {
            std::string fill;
            for (const char c : letters)
                if (random() % 3 == 0) fill += c;
            const Expected& e = expected[n];
            int64_t right = 0, wrong = 0;
            for (const char c : fill) (e.answer.find(c) != std::string::npos ? right : wrong)++;
            const int64_t size = static_cast<int64_t>(e.answer.size());
            int64_t want = 0;
            if (wrong == 0 && right == size)
                want = e.points;
            else if (wrong == 0 && right > 0 && e.rule == 1)
                want = e.partial;
            else if (wrong == 0 && e.rule == 2)
                want = e.points * right / size;  // floor: all positive
            EXPECT_EQ(read::ItemScore(key.at(n), Filled(t.items[static_cast<size_t>(n - 1)], fill))
                          .hundredths(),
                      want)
                << "item " << n << " key " << e.answer << " rule " << e.rule << " fill " << fill;
        }
    }
}

// Every fault a key can have that would score wrongly in silence, named by its item, all of
// them at once.
TEST(Scores, KeysRefuseWhatWouldScoreWrongly) {
    const layout::OmrTemplate t = Paper();
    const auto refusal = [&](const std::string& items, bool all = false) {
        return Refusal([&] {
            read::ParseAnswerKey(
                R"({"format": "varelo-key", "version": 1, "items": {)" + items + "}}", t, {!all});
        });
    };
    EXPECT_EQ(refusal(kRest + R"(, "5": "A", "7": "B")", true),
              "the key leaves out items 6, 8-9 (to score only the items it names, use "
              "--allow-partial-key)");
    EXPECT_EQ(refusal(R"("11": "A", "1": "", "2": "F", "3": "AB", "9": "对错")"),
              "the key names item \"11\", which the template does not have");
    EXPECT_EQ(refusal(R"("1": "", "2": "F", "9": "√√", "5": {"answer": "A", "partial": 5},
                       "6": {"answer": "A", "rule": "partial"},
                       "7": {"answer": "A", "rule": "perOption", "partial": 1},
                       "8": {"answer": "A", "rule": "some"})"),
              "the key of item 1 is empty (\"\"): a key answer names at least one option; "
              "the key of item 2, \"F\", holds \"F\", which is not an option of the item; "
              "the key of item 9, \"√√\", names \"T\" twice; "
              "the key of item 5 gives 5 partial points, not fewer than its 5; "
              "the key of item 6 has the rule \"partial\" but no partial points; "
              "the key of item 7 gives partial points under the rule \"perOption\", which has "
              "none; "
              "the key of item 8 has the rule \"some\", which is none of \"all\", \"partial\" and "
              "\"perOption\"");
    EXPECT_EQ(refusal(R"("10": {"answer": "T", "points": 0.125})"),
              "the key of item 10: points, 0.125, must be a number of points from 0 to 1000000 "
              "with at most two decimals");
    EXPECT_EQ(refusal(R"("10": {"answer": "T", "parital": 1})"),
              "the key of item 10 has \"parital\", which a key item does not (answer, points, "
              "rule, partial)");
    EXPECT_EQ(refusal(R"("10": {"answer": "T", "answer": "F"})"), "the key gives \"answer\" twice");
    EXPECT_EQ(refusal(R"("10": "T", "10": "F")"), "the key names item \"10\" twice");
    EXPECT_EQ(
        Refusal([&] { read::ParseAnswerKey(R"({"format": "varelo-key", "version": 2})", t); }),
        "the key is of version 2, which this Varelo does not read: it reads version 1");
    EXPECT_EQ(Refusal([&] { read::ParseAnswerKey(R"({"1": "A"})", t); }),
              "the key leaves out items 2-10 (to score only the items it names, use "
              "--allow-partial-key)");

    // A table: the row and column of what cannot be read, the rows of an item given twice.
    const varelo::testing::TempDir dir("varelo-key");
    const auto tableRefusal = [&](const std::string& csv) {
        return Refusal([&] { cli::LoadKeyFile(dir.Write("k.csv", csv).string(), t, {true}); });
    };
    const std::string file = (dir.path() / "k.csv").string();
    EXPECT_EQ(tableRefusal("题号,分值\n1,2\n"),
              "\"" + file + "\", row 1: the header row has no 答案 column");
    EXPECT_EQ(tableRefusal("题号,答案,分值\n1,A,2\n2,B,two\n"),
              "\"" + file +
                  "\", row 3, column C: 分值 \"two\" is not a number of points from 0 to "
                  "1000000 with at most two decimals");
    EXPECT_EQ(tableRefusal("题号,答案\n1,A\n\n5,AB\n1,B\n"),
              file + ": row 5: the key names item \"1\" twice (also row 2)");
}

// A key kept as a table, in a CSV and in a workbook, is the key its JSON is.
TEST(Scores, TableKeysAreTheirJson) {
    const layout::OmrTemplate t = Paper();
    const varelo::testing::TempDir dir("varelo-key");
    const std::string json =
        R"({"format": "varelo-key", "version": 1, "items": {)" + kRest +
        R"(, "5": {"answer": "ABD", "partial": 2}, "6": {"answer": "C", "points": 6},
           "7": {"answer": "AE", "rule": "perOption"}, "8": {"answer": "B", "rule": "all"},
           "9": "对"}})";
    const read::AnswerKey want = cli::LoadKeyFile(dir.Write("k.json", json).string(), t, {});
    const std::string csv =
        "说明,题号,答案,分值,部分分,规则\n,1,A,,,\n,2,B,,,\n,3,C,,,\n,4,D,,,\n,10,F,,,\n"
        ",5,ABD,,2,\n,6, C ,6.00,,\n,7,AE,,,perOption\n,8,B,,,all\n,9,对,,,\n";
    EXPECT_EQ(cli::LoadKeyFile(dir.Write("k.csv", csv).string(), t, {}), want);
    std::string rows = "<row r=\"1\">";
    const char* heads[] = {"题号", "答案", "分值", "部分分", "规则"};
    for (size_t c = 0; c < 5; ++c)
        rows += "<c r=\"" + std::string(1, static_cast<char>('A' + c)) +
                "1\" t=\"inlineStr\"><is><t>" + heads[c] + "</t></is></c>";
    rows += "</row>";
    const std::vector<std::vector<std::string>> cells = {{"1", "A"},
                                                         {"2", "B"},
                                                         {"3", "C"},
                                                         {"4", "D"},
                                                         {"10", "F"},
                                                         {"5", "ABD", "", "2"},
                                                         {"6", "C", "6"},
                                                         {"7", "AE", "", "", "perOption"},
                                                         {"8", "B", "", "", "all"},
                                                         {"9", "对"}};
    for (size_t r = 0; r < cells.size(); ++r) {
        const std::string n = std::to_string(r + 2);
        rows += "<row r=\"" + n + "\">";
        for (size_t c = 0; c < cells[r].size(); ++c) {
            const std::string ref = std::string(1, static_cast<char>('A' + c)) + n;
            const bool number = c == 0 || c == 2 || c == 3;
            if (cells[r][c].empty()) continue;
            rows += number ? "<c r=\"" + ref + "\"><v>" + cells[r][c] + "</v></c>"
                           : "<c r=\"" + ref + "\" t=\"inlineStr\"><is><t>" + cells[r][c] +
                                 "</t></is></c>";
        }
        rows += "</row>";
    }
    EXPECT_EQ(cli::LoadKeyFile(
                  dir.Write("k.xlsx", varelo::testing::ZipBytes(varelo::testing::Workbook(rows)))
                      .string(),
                  t, {}),
              want);
}
