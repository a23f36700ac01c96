// Outputs and paths: no command replaces one of its inputs or writes one file twice, and
// outputs go into folders that do not exist yet.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "batch.h"
#include "cli_run.h"
#include "command_files.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace varelo::cli;

namespace {

class CliOutputs : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_FALSE(dir_.empty());
        fs::current_path(dir_);
    }
    void TearDown() override { fs::current_path(previous_); }
    static std::vector<std::string> Split(const std::string& line) {
        std::vector<std::string> args;
        std::istringstream in(line);
        for (std::string a; in >> a;) args.push_back(a);
        return args;
    }
    const varelo::testing::TempDir tmp_{"varelo-outputs"};
    const fs::path dir_ = tmp_.path(), previous_ = fs::current_path();
};

}  // namespace

TEST_F(CliOutputs, AnOutputThatIsAnInputOrAnotherOutputIsRefused) {
    std::ofstream("keep.docx") << "x";
    fs::create_hard_link("keep.docx", "alias.docx");
    fs::create_directory("real");
    fs::create_directory_symlink("real", "link");
    // generate: its outputs among themselves; edit: also against IN.docx (keep.docx).
    const std::vector<std::pair<std::string, bool>> generate = {
        {"-o a.docx --pdf a.docx", true},
        {"-o a.docx --pdf sub/../a.docx", true},
        {"-o real/a.docx --pdf link/a.docx", true},
        {"-o p-2.png --png p", true},
        {"-o a.docx --omr t.json --omr-format omrchecker --pdf t-1.json", true},
        {"-o a.docx --pdf a.pdf --png a --omr a.json", false},
        {"-o a.docx --png a-1", false},
    };
    for (const auto& [line, clash] : generate)
        EXPECT_EQ(FindClash(ParseGenerate(Split(line))).has_value(), clash) << line;
    const std::vector<std::pair<std::string, bool>> edit = {
        {"keep.docx -o out.docx --pdf keep.docx", true},
        {"keep.docx -o out.docx --pdf alias.docx", true},  // a hard link is the same file
        {"keep.docx -o alias.docx", false},                // in place, under another name
        {"keep.docx -o keep.docx", false},
        {"keep.docx -o keep.docx --pdf keep.docx", true},
        {"keep.docx -o out.docx --png keep.docx", false},  // writes keep.docx-1.png
        {"./keep.docx -o out.docx --pdf out.docx", true},
    };
    for (const auto& [line, clash] : edit)
        EXPECT_EQ(FindClash(ParseEdit(Split(line))).has_value(), clash) << line;
    EXPECT_EQ(*FindClash(ParseEdit(Split("keep.docx -o out.docx --pdf keep.docx"))),
              "--pdf \"keep.docx\" and the input \"keep.docx\" name the same file");
}

TEST_F(CliOutputs, BatchJobsThatWouldWriteOneFileFailTogetherAndTheRestAreWritten) {
    std::ofstream("jobs.json") << "[]";
    std::vector<BatchJob> jobs(7);
    jobs[0].output = jobs[1].output = "a.docx";  // one output twice
    jobs[3].output = "sheet-003.docx";           // job 3's default name
    jobs[4].output = "jobs.json";                // the job file
    jobs[5].output = "sheet-007.pdf";            // job 7's PDF
    jobs[6].pdf = true;
    BatchSettings settings;
    settings.folder = ".";
    settings.jobFile = "jobs.json";
    settings.exporter = [](const varelo::host::Document&, const std::optional<std::string>& pdf,
                           const std::optional<std::string>&,
                           int) { return std::vector<std::string>{*pdf}; };
    const auto results = RunJobs(jobs, settings);
    const std::map<size_t, std::string> expected = {
        {0, "\"a.docx\" is also written by job 2; neither is written"},
        {1, "\"a.docx\" is also written by job 1; neither is written"},
        {2, "\"sheet-003.docx\" is also written by job 4"},
        {3, "\"sheet-003.docx\" is also written by job 3"},
        {4, "\"jobs.json\" would replace the job file"},
        {5, "\"sheet-007.pdf\" is also written by job 7"},
        {6, "\"sheet-007.pdf\" is also written by job 6"},
    };
    for (const auto& [job, message] : expected)
        EXPECT_NE(results[job].error.find(message), std::string::npos) << results[job].error;
    EXPECT_FALSE(fs::exists("a.docx") || fs::exists("sheet-003.docx"));
    std::ifstream in("jobs.json");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "[]");
}

TEST_F(CliOutputs, BatchExtrasAreNamedAfterEachSheetAndJobKeysOverrideTheFlags) {
    std::vector<BatchJob> jobs(3);
    jobs[0].output = "english.docx";
    jobs[0].pdf = false;
    jobs[2].png = true;
    jobs[2].omr = false;
    BatchSettings settings;
    settings.folder = "sheets";
    fs::create_directory("sheets");
    settings.pdf = settings.omr = true;
    std::set<std::string> asked;
    settings.exporter = [&](const varelo::host::Document&, const std::optional<std::string>& pdf,
                            const std::optional<std::string>& png, int dpi) {
        EXPECT_EQ(dpi, kDefaultDpi);
        if (pdf) asked.insert(*pdf);
        if (png) asked.insert(*png + " pages");
        return std::vector<std::string>{};
    };
    settings.threads = 1;
    const auto results = RunJobs(jobs, settings);
    for (const JobResult& r : results) EXPECT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(asked, (std::set<std::string>{"sheets/sheet-002.pdf", "sheets/sheet-003.pdf",
                                            "sheets/sheet-003 pages"}));
    EXPECT_TRUE(fs::exists("sheets/english-omr.json") && fs::exists("sheets/sheet-002-omr.json"));
    EXPECT_FALSE(fs::exists("sheets/sheet-003-omr.json"));
    EXPECT_EQ(results[0].written,
              (std::vector<std::string>{"sheets/english.docx", "sheets/english-omr.json"}));
}

TEST_F(CliOutputs, OutputsGoIntoFoldersThatDoNotExistYet) {
    using varelo::testing::RunVarelo;
    auto run = RunVarelo("generate -o new/a/sheet.docx --omr new/b/omr.json");
    EXPECT_EQ(run.status, 0) << run.output;
    run = RunVarelo("edit new/a/sheet.docx -o new/c/edited.docx");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* f : {"new/a/sheet.docx", "new/b/omr.json", "new/c/edited.docx"})
        EXPECT_TRUE(fs::exists(f)) << f;
    run = RunVarelo("generate -o new/x.docx --pdf new/x.docx");
    EXPECT_EQ(run.status, 2);
    EXPECT_FALSE(fs::exists("new/x.docx"));
}

TEST_F(CliOutputs, BatchRendersPdfAndPngBesideEachSheet) {
    if (!fs::exists(VARELO_BINARY_DIR "/src/app/cli/varelo-render.so"))
        GTEST_SKIP() << "built without the renderer";
    std::ofstream("jobs.json") << R"([{"output": "maths.docx"}, {"png": false}])";
    const auto run = varelo::testing::RunVarelo("batch jobs.json -o out --pdf --png --dpi 20");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char* f : {"out/maths.pdf", "out/maths-1.png", "out/maths-2.png",
                          "out/sheet-002.docx", "out/sheet-002.pdf"})
        EXPECT_GT(fs::file_size(f), 100u) << f;
    EXPECT_FALSE(fs::exists("out/sheet-002-1.png"));
}

TEST_F(CliOutputs, ReadRefusesOutputsOverItsInputsOrEachOther) {
    if (!fs::exists(VARELO_BINARY_DIR "/src/app/cli/varelo-read.so"))
        GTEST_SKIP() << "built without the reader";
    using varelo::testing::RunVarelo;
    ASSERT_EQ(RunVarelo("generate -o sheet.docx --omr t.json").status, 0);
    std::ofstream("scan.png") << "not read: refused first";
    for (const char* options : {"-o scan.png", "-o r.csv --json t.json",
                                "-o r.csv --review pictures --aligned pictures"}) {
        const auto run = RunVarelo(std::string("read t.json scan.png ") + options);
        EXPECT_EQ(run.status, 2) << options;
        EXPECT_NE(run.output.find("name the same file"), std::string::npos) << run.output;
    }
    std::ifstream in("scan.png");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not read: refused first");
}
