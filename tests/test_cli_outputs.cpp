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
#include "file_clash.h"
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

// A folder not made yet is made through the link that names it: "glink/a.docx" is "gd/a.docx"
// once gd exists, whatever way the link leads there.
TEST_F(CliOutputs, NamesThroughALinkToAFolderNotMadeYetAreTheSameFile) {
    fs::create_directory_symlink("gd", "glink");   // gd does not exist
    fs::create_directory_symlink("hop", "chain");  // chain -> hop -> gd
    fs::create_directory_symlink("glink", "hop");
    fs::create_directory_symlink(dir_ / "x/../gd", "abs");  // absolute, through a missing x
    fs::create_directory_symlink("gd/deep", "deeplink");    // into a folder below it
    fs::create_directory_symlink("loop1", "loop2");         // a loop resolves nowhere
    fs::create_directory_symlink("loop2", "loop1");
    const std::vector<std::pair<std::string, bool>> generate = {
        {"-o gd/a.docx --pdf glink/a.docx", true},
        {"-o glink/a.docx --pdf gd/a.docx", true},
        {"-o gd/a.docx --pdf chain/a.docx", true},
        {"-o gd/a.docx --pdf abs/a.docx", true},
        {"-o gd/deep/a.docx --pdf deeplink/a.docx", true},
        {"-o gd/a.docx --pdf deeplink/../a.docx", true},
        {"-o gd/a.docx --png glink/a --omr gd/a-2.png", true},
        {"-o gd/a.docx --pdf glink/b.docx", false},
        {"-o gd/a.docx --pdf glink/gd/a.docx", false},
        {"-o loop1/a.docx --pdf loop2/a.docx", false},
    };
    for (const auto& [line, clash] : generate)
        EXPECT_EQ(FindClash(ParseGenerate(Split(line))).has_value(), clash) << line;
    EXPECT_FALSE(fs::exists("gd"));

    if (!fs::exists(VARELO_BINARY_DIR "/src/app/cli/varelo-read.so")) return;
    using varelo::testing::RunVarelo;
    ASSERT_EQ(RunVarelo("generate -o sheet.docx --omr t.json").status, 0);
    std::ofstream("scan.png") << "not read: refused first";
    fs::create_directory_symlink("res", "reslink");
    fs::create_directory_symlink("pics", "picslink");
    for (const char* options :
         {"-o res/r.csv --json reslink/r.csv", "-o r.csv --review pics --aligned picslink"}) {
        const auto run = RunVarelo(std::string("read t.json scan.png ") + options);
        EXPECT_EQ(run.status, 2) << options;
        EXPECT_NE(run.output.find("name the same file"), std::string::npos) << run.output;
    }
    EXPECT_FALSE(fs::exists("res") || fs::exists("pics"));
}

// On a file system that ignores case (a FAT stick) "T.json" and "t.JSON" are one file, and so
// are the folders made below it; where case counts they are two.
TEST_F(CliOutputs, NamesDifferingInCaseAreOneFileWhereTheFolderIgnoresCase) {
    fs::create_directory("fat");
    fs::create_directory("ext");
    std::ofstream("fat/T.json") << "{}";
    // The test machine's file systems mind case: "fat" stands for a FAT stick's folder.
    const auto onFat = [](const std::string& folder) {
        return fs::path(folder).filename() == "fat";
    };
    const auto clash = [&](const std::vector<std::pair<std::string, std::string>>& files) {
        FileClashes clashes(onFat);
        bool any = false;
        for (const auto& [path, suffix] : files)
            any = !clashes.Add({"", path, suffix}).empty() || any;
        return any;
    };
    EXPECT_TRUE(clash({{"fat/T.json", ""}, {"fat/t.JSON", ""}}));
    EXPECT_TRUE(clash({{"fat/new/A.docx", ""}, {"fat/NEW/a.docx", ""}}));
    EXPECT_TRUE(clash({{"fat/P", ".png"}, {"fat/p-2.PNG", ""}}));
    EXPECT_FALSE(clash({{"fat/a.docx", ""}, {"fat/b.docx", ""}}));
    EXPECT_FALSE(clash({{"ext/A.docx", ""}, {"ext/a.docx", ""}}));
    EXPECT_FALSE(clash({{"ext/new/A.docx", ""}, {"ext/NEW/A.docx", ""}}));
    std::ofstream("ext/Name.txt") << "";
    EXPECT_FALSE(FolderIgnoresCase(fs::absolute("ext").string()));
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

// Thousands of jobs with one name: each is failed once, naming a few of the others, with a
// message that does not grow with the batch.
TEST_F(CliOutputs, BatchJobsSharingANameAreEachReportedOnceInShort) {
    constexpr size_t kJobs = 3000;
    std::vector<BatchJob> jobs(kJobs);
    for (BatchJob& j : jobs) j.output = "same.docx";
    jobs[kJobs - 1].output = "other.docx";
    BatchSettings settings;
    settings.folder = ".";
    settings.pdf = true;  // same.pdf clashes as well: still one list of jobs
    settings.exporter = [](const varelo::host::Document&, const std::optional<std::string>&,
                           const std::optional<std::string>&,
                           int) { return std::vector<std::string>{}; };
    const auto results = RunJobs(jobs, settings);
    size_t bytes = 0;
    for (size_t i = 0; i + 1 < kJobs; ++i) {
        bytes += results[i].error.size();
        EXPECT_LT(results[i].error.size(), 200u) << i;
    }
    EXPECT_LT(bytes, 200 * kJobs);
    EXPECT_EQ(results[0].error,
              "its file \"same.docx\" is also written by jobs 2, 3, 4 and 2995 more; none of "
              "them is written, so that no sheet replaces another");
    EXPECT_NE(results[5].error.find("by jobs 1, 2, 3 and 2995 more;"), std::string::npos);
    EXPECT_TRUE(results[kJobs - 1].ok()) << results[kJobs - 1].error;
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
