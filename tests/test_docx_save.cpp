// Saving a .docx atomically: a failed save leaves no file behind and the earlier one intact.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "doc/table.h"
#include "docx/writer.h"
#include "docx_test_util.h"
#include "temp_dir.h"

namespace fs = std::filesystem;
using namespace varelo::host;
using varelo::testing::ReadFile;

namespace {

class DocxSave : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_FALSE(dir_.empty()); }
    void TearDown() override {  // a test may leave the folder read-only
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, ec);
    }
    static void Write(const fs::path& p, const std::string& s) {
        std::ofstream(p, std::ios::binary) << s;
    }
    std::vector<std::string> Entries() const { return tmp_.Entries(); }
    // SaveDocx must throw SaveError whose message names the file.
    static void ExpectRefused(const Document& doc, const std::string& path) {
        try {
            SaveDocx(doc, path);
            ADD_FAILURE() << "saved to " << path;
        } catch (const SaveError& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
        }
    }
    const varelo::testing::TempDir tmp_{"varelo-save"};
    const fs::path dir_ = tmp_.path();
    Document doc_;
};

}  // namespace

TEST_F(DocxSave, ReplacesAnEarlierFileAndKeepsItsPermissions) {
    const fs::path target = dir_ / "sheet.docx";
    Write(target, "old");
    chmod(target.c_str(), 0640);
    SaveDocx(doc_, target);
    EXPECT_EQ(ReadFile(target), DocxBytes(doc_));
    EXPECT_NO_THROW(varelo::testing::Unzip(ReadFile(target)));
    struct stat st {};
    stat(target.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"sheet.docx"});
}

TEST_F(DocxSave, UnwritablePlacesAreRefusedWithTheReason) {
    const fs::path file = dir_ / "plain";
    Write(file, "x");
    fs::create_directory(dir_ / "folder");
    // A missing folder, a "folder" that is a file, a folder the kernel owns, a name that is a
    // folder.
    for (const fs::path& p : {dir_ / "missing" / "a.docx", file / "a.docx",
                              fs::path("/proc/varelo-test.docx"), dir_ / "folder"})
        ExpectRefused(doc_, p);
    try {
        SaveDocx(doc_, (dir_ / "missing" / "a.docx").string());
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos);
    }
    EXPECT_EQ(ReadFile(file), "x");
    EXPECT_EQ(Entries(), (std::vector<std::string>{"folder", "plain"}));
}

TEST_F(DocxSave, ReadOnlyFolderIsRefused) {
    // Permission bits do not stop root; the other refusals above cover that case.
    if (geteuid() == 0) GTEST_SKIP() << "running as root";
    const fs::path target = dir_ / "sheet.docx";
    Write(target, "old");
    chmod(dir_.c_str(), 0555);
    ExpectRefused(doc_, target);
    chmod(dir_.c_str(), 0755);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"sheet.docx"});
}

TEST_F(DocxSave, FullDiskLeavesTheEarlierFileAndNoPartialOne) {
    // A file-size limit makes writes fail as a full disk does, without needing a mount.
    const fs::path target = dir_ / "sheet.docx";
    Write(target, "old");
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tiny), 0);
    try {
        SaveDocx(doc_, target);
        ADD_FAILURE() << "saved past the size limit";
    } catch (const SaveError& e) {
        EXPECT_NE(std::string(e.what()).find("File too large"), std::string::npos) << e.what();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(Entries(), std::vector<std::string>{"sheet.docx"});
}

TEST_F(DocxSave, FullFileSystemLeavesTheEarlierFileAndNoPartialOne) {
    // A real full disk: a 16 KB tmpfs, where the system lets us mount one.
    const fs::path mnt = dir_ / "tiny";
    fs::create_directory(mnt);
    if (mount("tmpfs", mnt.c_str(), "tmpfs", 0, "size=16k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        const fs::path& p;
        ~Unmount() { umount2(p.c_str(), MNT_DETACH); }
    } unmount{mnt};

    const fs::path target = mnt / "sheet.docx";
    Write(target, "old");
    // Varied text in every cell keeps the package well above 16 KB.
    Table& t = doc_.AddTableAtStart(130, 63);
    for (int r = 1; r <= 130; ++r)
        for (int c = 1; c <= 63; ++c)
            t.At(r, c).InsertAfter(std::to_string(r * 1000003 % 99991 * c));
    ASSERT_GT(DocxBytes(doc_).size(), 16u * 1024);
    ExpectRefused(doc_, target.string());
    EXPECT_EQ(ReadFile(target), "old");
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(mnt)) left.push_back(e.path().filename());
    EXPECT_EQ(left, std::vector<std::string>{"sheet.docx"});
}
