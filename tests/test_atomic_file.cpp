// Every file the program writes goes through one atomic save: no planted symlink is followed,
// long names save, and no temporary file outlives a failed, interrupted or killed save.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "app/desk/addin/registration.h"
#include "base/atomic_file.h"
#include "docx/writer.h"
#include "omr/omr_template.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace varelo;
using varelo::testing::ReadFile;

namespace {

class AtomicFile : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }
    std::vector<std::string> Entries() const { return tmp_.Entries(); }
    const varelo::testing::TempDir tmp_{"varelo-atomic"};
    const fs::path dir_ = tmp_.path();
};

// A process that has ended: its id names nobody (until the system reuses it, long after).
pid_t DeadProcess() {
    const pid_t child = fork();
    if (child == 0) _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST_F(AtomicFile, PlantedSymlinksAtLikelyTemporaryNamesAreNeverFollowed) {
    const fs::path victim = dir_ / "victim";
    std::ofstream(victim) << "keep";
    const std::string pid = std::to_string(getpid());
    // The names a predictable scheme would use next: ours and the old "NAME.PID.N" kind.
    for (int n = 0; n < 20; ++n) {
        fs::create_symlink(victim, dir_ / (".varelo-" + pid + "-" + std::to_string(n) + ".tmp"));
        fs::create_symlink(victim, dir_ / (".omr.json." + pid + "." + std::to_string(n) + ".tmp"));
    }
    layout::OmrTemplate t;
    t.layout = "A4单栏";
    layout::WriteOmrTemplate(t, (dir_ / "omr.json").string(), layout::OmrFormat::Varelo, 150);
    host::SaveFileAtomically((dir_ / "other").string(), "new");
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_EQ(ReadFile(dir_ / "omr.json"), layout::OmrTemplateJson(t));
    EXPECT_EQ(ReadFile(dir_ / "other"), "new");
    EXPECT_FALSE(fs::is_symlink(dir_ / "omr.json"));
}

TEST_F(AtomicFile, NamesUpToTheFileSystemLimitSave) {
    for (const size_t length : {241u, 250u, 255u}) {
        const std::string stem(length - 5, 'x');
        host::SaveDocx(host::Document{}, (dir_ / (stem + ".docx")).string());
        EXPECT_TRUE(fs::exists(dir_ / (stem + ".docx"))) << length;
        layout::WriteOmrTemplate({}, (dir_ / (stem + ".json")).string(), layout::OmrFormat::Varelo,
                                 150);
        EXPECT_TRUE(fs::exists(dir_ / (stem + ".json"))) << length;
    }
    EXPECT_EQ(Entries().size(), 6u);
}

TEST_F(AtomicFile, StaleTemporariesOfGoneProcessesAreRemovedByTheNextSave) {
    const std::string dead = std::to_string(DeadProcess()), alive = std::to_string(getppid());
    const auto old = fs::file_time_type::clock::now() - std::chrono::minutes(10);
    const auto plant = [&](const std::string& name, bool stale) {
        std::ofstream(dir_ / name) << "partial";
        if (stale) fs::last_write_time(dir_ / name, old);
    };
    plant(".varelo-" + dead + "-3.tmp", true);   // left by a killed save: removed
    plant(".varelo-" + dead + "-4.tmp", false);  // may still be renamed into place: kept
    plant(".varelo-" + alive + "-0.tmp", true);  // its process runs: kept
    plant(".report-" + dead + "-0.tmp", true);   // not our pattern: kept
    plant(".varelo-" + dead + "-x.tmp", true);   // not our pattern: kept
    host::SaveFileAtomically((dir_ / "sheet.docx").string(), "new");
    std::vector<std::string> kept{".report-" + dead + "-0.tmp", ".varelo-" + alive + "-0.tmp",
                                  ".varelo-" + dead + "-4.tmp", ".varelo-" + dead + "-x.tmp",
                                  "sheet.docx"};
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(Entries(), kept);
}

TEST_F(AtomicFile, AnInterruptedSaveLeavesNoTemporaryFile) {
    const std::string target = (dir_ / "big").string();
    for (const int sig : {SIGTERM, SIGINT}) {
        const pid_t child = fork();
        if (child == 0) {
            const std::string bytes(16 << 20, 'x');
            for (;;) host::SaveFileAtomically(target, bytes);
        }
        // Stop it while a temporary file exists, which is most of the time.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            for (const auto& e : fs::directory_iterator(dir_))
                seen = seen || e.path().filename().string().rfind(".varelo-", 0) == 0;
            if (!seen) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        kill(child, sig);
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(seen);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << status;
        for (const auto& e : fs::directory_iterator(dir_))
            EXPECT_EQ(e.path().filename(), "big") << "signal " << sig;
    }
}

TEST_F(AtomicFile, TheRegistrationRecordIsSavedTheSameWay) {
    const fs::path record = dir_ / "addins.json";
    const std::string pid = std::to_string(getpid());
    std::ofstream(dir_ / "victim") << "keep";
    fs::create_symlink(dir_ / "victim", dir_ / ("addins.json.tmp" + pid));
    host::WriteAddIn(record.string(), host::VareloAddIn());
    EXPECT_EQ(ReadFile(dir_ / "victim"), "keep");
    EXPECT_EQ(host::ReadAddIns(record.string()).size(), 1u);
}
