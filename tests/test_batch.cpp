#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "batch.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace varelo::cli;
using varelo::testing::TempDir;

TEST(BatchJobs, MissingKeysTakeTheDialogDefaultsAndNumbersMayBeText) {
    const auto jobs = ParseJobs(R"([{}, {"digits": 8, "groups": [{"name": "判断题", "items": "10",
        "options": 2, "points": 1.5, "labels": "数字"}], "output": "a.docx"}, {"groups": []}])");
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_FALSE(jobs[0].layout || jobs[0].title || jobs[0].digits || jobs[0].groups ||
                 jobs[0].output);
    EXPECT_EQ(jobs[1].digits, "8");
    ASSERT_EQ(jobs[1].groups->size(), 1u);
    const GroupEntry& g = jobs[1].groups->front();
    EXPECT_EQ(g.items, "10");
    EXPECT_EQ(g.options, "2");
    EXPECT_EQ(g.points, "1.5");
    EXPECT_EQ(g.labels, "数字");
    EXPECT_EQ(jobs[1].output, "a.docx");
    EXPECT_TRUE(jobs[2].groups && jobs[2].groups->empty());
}

TEST(BatchJobs, UnusableJobFilesAreRefusedWithTheReason) {
    for (const auto& [text, expected] : std::vector<std::pair<std::string, std::string>>{
             {"not json", "not valid JSON"}, {R"({"title": "x"})", "JSON array"}}) {
        try {
            ParseJobs(text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const JobFileError& e) {
            EXPECT_NE(std::string(e.what()).find(expected), std::string::npos) << e.what();
        }
    }
}

TEST(BatchJobs, AJobWithABadValueFailsAloneWithTheKeyNamed) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {R"(3)", "a job must be an object, not 3"},
        {R"({"title": 5})", "\"title\" must be text, not 5"},
        {R"({"digits": [1]})", "\"digits\" must be a number or text, not [1]"},
        {R"({"groups": {}})", "\"groups\" must be an array"},
        {R"({"groups": [{"labels": "abc"}]})",
         "\"labels\" must be \"字母\", \"数字\" or \"判断\", not \"abc\""},
        {R"({"output": "../escape.docx"})", "without folders, not \"../escape.docx\""},
        {R"({"output": "/tmp/x.docx"})", "without folders"},
    };
    for (const auto& [job, expected] : cases) {
        const auto jobs = ParseJobs("[{}, " + job + ", {}]");
        ASSERT_EQ(jobs.size(), 3u);
        EXPECT_TRUE(jobs[0].error.empty() && jobs[2].error.empty());
        EXPECT_NE(jobs[1].error.find(expected), std::string::npos) << jobs[1].error;
    }
}

TEST(BatchJobs, BadJobIsReportedByNumberWhileTheOthersAreWritten) {
    const TempDir tmp("varelo-batch");
    const fs::path dir = tmp.path();
    std::vector<BatchJob> jobs(5);
    jobs[1].digits = "13";
    jobs[3].subtitle = "";
    jobs[4].layout = "A4单栏";
    jobs[4].output = "english.docx";
    std::vector<size_t> seen;
    BatchSettings settings;
    settings.folder = dir.string();
    settings.threads = 2;
    const auto results = RunJobs(jobs, settings, [&](size_t done, size_t total) {
        EXPECT_EQ(total, 5u);
        seen.push_back(done);
    });
    ASSERT_EQ(results.size(), 5u);
    EXPECT_EQ(results[1].error, "准考证号位数必须是1到12之间的整数");
    EXPECT_EQ(results[3].error, "请输入试卷副标题");
    for (size_t i : {0u, 2u, 4u}) {
        ASSERT_TRUE(results[i].ok()) << results[i].error;
        EXPECT_GT(fs::file_size(results[i].written.at(0)), 1000u);
    }
    EXPECT_EQ(fs::path(results[0].written[0]).filename(), "sheet-001.docx");
    EXPECT_EQ(fs::path(results[2].written[0]).filename(), "sheet-003.docx");
    EXPECT_EQ(fs::path(results[4].written[0]).filename(), "english.docx");
    EXPECT_FALSE(fs::exists(dir / "sheet-002.docx"));
    EXPECT_EQ(seen, (std::vector<size_t>{1, 2, 3, 4, 5}));
}

TEST(BatchJobs, SheetsAreNumberedWideEnoughForTheWholeBatch) {
    EXPECT_EQ(NumberedName(0, 5), "sheet-001.docx");
    EXPECT_EQ(NumberedName(41, 1200), "sheet-0042.docx");
}

TEST(BatchJobs, AFolderThatCannotBeWrittenFailsEveryJobWithTheReason) {
    const TempDir tmp("varelo-batch");
    const fs::path dir = tmp.path();
    std::ofstream(dir / "file") << "x";
    BatchSettings settings;
    settings.folder = (dir / "file").string();
    settings.threads = 1;
    const auto results = RunJobs(std::vector<BatchJob>(2), settings);
    for (const JobResult& r : results) EXPECT_FALSE(r.ok());
}
