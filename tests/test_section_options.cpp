// Written-answer sections as the command line and job files give them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "batch.h"
#include "cli_run.h"
#include "options.h"
#include "section_options.h"

using namespace varelo;
using exam::SectionKind;

namespace {

struct Expected {
    SectionKind kind;
    std::string name;
    int items, blanks, rows, chars;
    double points;
};

void ExpectSection(const exam::WrittenSection& s, const Expected& e) {
    EXPECT_EQ(s.kind, e.kind);
    EXPECT_EQ(s.name, e.name);
    EXPECT_EQ(s.items, e.items);
    EXPECT_EQ(s.blanks, e.blanks);
    EXPECT_EQ(s.rows, e.rows);
    EXPECT_EQ(s.chars, e.chars);
    EXPECT_EQ(s.points, e.points);
}

}  // namespace

TEST(SectionOptions, GenerateKeepsTheSectionsInCommandLineOrder) {
    const cli::GenerateOptions o =
        cli::ParseGenerate({"--essay", "作文,600,50", "--fill=填空题,10,2,1.5", "--answer",
                            "解答题，证明题,4,20,10", "--group", "选择题,12,4,3"});
    ASSERT_EQ(o.sections.size(), 3u);
    ExpectSection(o.sections[0], {SectionKind::Essay, "作文", 1, 1, 1, 600, 50});
    ExpectSection(o.sections[1], {SectionKind::Fill, "填空题", 10, 2, 1, 0, 1.5});
    ExpectSection(o.sections[2], {SectionKind::Answer, "解答题，证明题", 4, 1, 20, 0, 10});
    EXPECT_EQ(o.groups.size(), 1u);
}

TEST(SectionOptions, MalformedValuesAreUsageErrors) {
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--fill", "填空题,10,2"},
             {"--fill", "填空题,1.5,2,1"},
             {"--answer", "解答题,4,20,10,extra"},
             {"--essay", "作文,600,fifty"},
             {"--essay", "作文,99999999999,50"},
         }) {
        try {
            cli::ParseGenerate({option, value});
            ADD_FAILURE() << "accepted " << option << " " << value;
        } catch (const cli::UsageError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(option + " wants ", 0), 0u) << e.what();
            EXPECT_NE(std::string(e.what()).find("\"" + value + "\""), std::string::npos);
        }
    }
}

TEST(SectionOptions, JobSectionsAndTheirBadKeysAndValues) {
    const auto jobs = cli::ParseJobs(R"([{"sections": [
        {"kind": "填空", "name": "填空题", "items": 10, "blanks": "2", "points": 1.5},
        {"kind": "解答", "name": "解答题", "items": "4", "rows": 20, "points": 10},
        {"kind": "作文", "name": "作文", "chars": 600, "points": "50"}]}])");
    ASSERT_EQ(jobs.size(), 1u);
    ASSERT_TRUE(jobs[0].error.empty()) << jobs[0].error;
    ASSERT_EQ(jobs[0].sections.size(), 3u);
    ExpectSection(jobs[0].sections[0], {SectionKind::Fill, "填空题", 10, 2, 1, 0, 1.5});
    ExpectSection(jobs[0].sections[1], {SectionKind::Answer, "解答题", 4, 1, 20, 0, 10});
    ExpectSection(jobs[0].sections[2], {SectionKind::Essay, "作文", 1, 1, 1, 600, 50});

    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"({"sections": {}})", "\"sections\" must be an array"},
        {R"({"sections": [{"kind": "选择"}]})",
         "\"kind\" must be \"填空\", \"解答\" or \"作文\", not \"选择\""},
        {R"({"sections": [{"kind": "作文", "name": "作文", "chars": 600, "points": 50, "items": 2}]})",
         "a 作文 section has no key \"items\""},
        {R"({"sections": [{"kind": "填空", "name": "x", "items": 2, "rows": 3, "points": 1}]})",
         "a 填空 section has no key \"rows\""},
        {R"({"sections": [{"kind": "解答", "name": "x", "items": 2, "points": 1}]})",
         "a 解答 section needs \"rows\""},
        {R"({"sections": [{"kind": "解答", "name": "x", "items": 2.5, "rows": 3, "points": 1}]})",
         "\"items\" must be a whole number, not 2.5"},
        {R"({"sections": [{"kind": "作文", "name": "x", "chars": 600, "points": "many"}]})",
         "\"points\" must be a number, not \"many\""},
    };
    for (const auto& [job, expected] : cases) {
        const auto parsed = cli::ParseJobs("[{}, " + job + "]");
        ASSERT_EQ(parsed.size(), 2u);
        EXPECT_TRUE(parsed[0].error.empty());
        EXPECT_EQ(parsed[1].error, expected);
    }
}

TEST(SectionOptions, GenerateRefusesAListThatDoesNotFitNamingTheItem) {
    const auto run = varelo::testing::RunVarelo(
        "generate --layout B5单栏 --answer 解答题,3,45,10 -o /nonexistent/never-written.docx");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "“解答题”第32题在答题卡中放不下\n");
}
