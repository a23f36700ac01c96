// The varelo program as a process: what it links, and its exports through the render module.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QImage>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kProgram = fs::path(VARELO_BINARY_DIR) / "src" / "app" / "cli" / "varelo";

std::string Output(const std::string& command) {
    std::string out;
    if (FILE* p = popen((command + " 2>&1").c_str(), "r")) {
        char buffer[4096];
        while (size_t n = fread(buffer, 1, sizeof buffer, p)) out.append(buffer, n);
        pclose(p);
    }
    return out;
}

}  // namespace

// Commands that write only a .docx must start without the large libraries.
TEST(CliModules, ProgramLinksNoQtOpenCvOrPoppler) {
    const std::string dynamic = Output("readelf -d '" + kProgram.string() + "'");
    ASSERT_NE(dynamic.find("NEEDED"), std::string::npos) << dynamic;
    EXPECT_FALSE(std::regex_search(dynamic, std::regex("Qt|opencv|poppler", std::regex::icase)))
        << dynamic;
}

TEST(CliModules, GenerateExportsThroughTheRenderModule) {
    const fs::path dir = fs::temp_directory_path() / ("varelo-modules-" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string out = Output(
        "'" + kProgram.string() + "' generate --layout A4单栏 -o '" + (dir / "s.docx").string() +
        "' --pdf '" + (dir / "s.pdf").string() + "' --png '" + (dir / "s").string() + "' --dpi 50");
    for (const char* name : {"s.docx", "s.pdf", "s-1.png", "s-2.png"})
        EXPECT_TRUE(fs::exists(dir / name)) << name << '\n' << out;
    EXPECT_EQ(QImage(QString::fromStdString((dir / "s-1.png").string())).format(),
              QImage::Format_Grayscale8);
    fs::remove_all(dir);
}
