// Limits: the job file is read only when it is a regular file of a sane size.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "batch.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace varelo::cli;

TEST(JobFileLimits, OnlyRegularFilesUpToTheLimitAreRead) {
    const varelo::testing::TempDir tmp("varelo-limits");
    const fs::path dir = tmp.path();
    ASSERT_FALSE(dir.empty());
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    std::ofstream(dir / "huge") << "[";
    fs::resize_file(dir / "huge", kMaxJobFileBytes + 1);  // sparse: costs no disk
    std::ofstream(dir / "jobs.json") << "[{}]";
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"/dev/zero", "not a regular file"},              // would read forever
        {(dir / "fifo").string(), "not a regular file"},  // would wait for a writer
        {dir.string(), "it is a folder"},
        {(dir / "huge").string(), "larger than 64 MB"},
        {(dir / "missing").string(), "No such file"},
    };
    for (const auto& [path, reason] : refused) {
        try {
            ReadJobFile(path);
            ADD_FAILURE() << "read " << path;
        } catch (const JobFileError& e) {
            EXPECT_NE(std::string(e.what()).find(reason), std::string::npos) << e.what();
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(ReadJobFile((dir / "jobs.json").string()), "[{}]");
}
