// Sheets of every layout, written as .docx and converted by LibreOffice: the office program
// must open them and lay them out on the right paper, on exactly two pages.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "host/application.h"
#include "host/docx_writer.h"
#include "host/units.h"
#include "settings/driver.h"
#include "settings/form_handlers.h"

namespace fs = std::filesystem;
using namespace varelo;

namespace {

struct Paper {
    const char* layout;
    double widthCm, heightCm;
};
constexpr std::array<Paper, 6> kPapers = {{
    {"A3三栏", 42, 29.7},
    {"A3双栏", 42, 29.7},
    {"8开三栏", 38.8, 26.8},
    {"8开双栏", 38.8, 26.8},
    {"A4单栏", 21, 29.7},
    {"B5单栏", 18.2, 25.7},
}};

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        const fs::path candidate = fs::path(dirs.substr(start, colon - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; returns its exit status and stdout+stderr.
int RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) output.append(buf.data(), n);
    return pclose(pipe);
}

class TempDir {
  public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "varelo-lo-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

}  // namespace

TEST(LibreOffice, EveryLayoutOpensOnItsPaperAndPrintsOnTwoPages) {
    if (!OnPath("soffice")) GTEST_SKIP() << "soffice (libreoffice-writer-nogui) is not installed";
    if (!OnPath("pdfinfo")) GTEST_SKIP() << "pdfinfo (poppler-utils) is not installed";
    TempDir tmp;
    ASSERT_FALSE(tmp.path().empty());

    std::vector<fs::path> files;
    for (size_t i = 0; i < kPapers.size(); ++i) {
        host::Application app;
        layout::SheetForm form;
        settings::Form_Load(form);
        form.visible = true;
        form.cmbPage = kPapers[i].layout;
        settings::cmdAdd_Click(app, form);
        const host::Document* doc = settings::OKButton_Click(app, form);
        ASSERT_NE(doc, nullptr) << kPapers[i].layout;
        files.push_back(tmp.path() / ("sheet-" + std::to_string(i + 1) + ".docx"));
        host::SaveDocx(*doc, files.back().string());
        ASSERT_GT(doc->TableCount(), 0) << kPapers[i].layout;
    }

    // One conversion for all six: starting the office program is the slow part. A fresh
    // HOME gives it a fresh profile, untouched by whatever ran before.
    const fs::path home = tmp.path() / "home", pdfDir = tmp.path() / "pdf";
    fs::create_directories(home);
    std::string command = "HOME=" + Quote(home.string()) +
                          " timeout 600 soffice --headless --norestore --convert-to pdf --outdir " +
                          Quote(pdfDir.string());
    for (const fs::path& f : files) command += " " + Quote(f.string());
    std::string log;
    ASSERT_EQ(RunCommand(command, log), 0) << log;

    const std::regex size(R"(Page size:\s+([0-9.]+) x ([0-9.]+) pts)"), pages(R"(Pages:\s+(\d+))");
    for (size_t i = 0; i < kPapers.size(); ++i) {
        SCOPED_TRACE(kPapers[i].layout);
        const fs::path pdf = pdfDir / files[i].filename().replace_extension(".pdf");
        ASSERT_TRUE(fs::exists(pdf)) << log;
        std::string info;
        ASSERT_EQ(RunCommand("pdfinfo " + Quote(pdf.string()), info), 0) << info;

        std::smatch m;
        ASSERT_TRUE(std::regex_search(info, m, size)) << info;
        EXPECT_NEAR(std::stod(m[1]), host::CentimetersToPoints(kPapers[i].widthCm), 1.0);
        EXPECT_NEAR(std::stod(m[2]), host::CentimetersToPoints(kPapers[i].heightCm), 1.0);

        ASSERT_TRUE(std::regex_search(info, m, pages)) << info;
        EXPECT_EQ(std::stoi(m[1]), 2);
    }
}
