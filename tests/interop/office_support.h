#pragma once

// Running LibreOffice and poppler from the interop tests.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "temp_dir.h"

namespace varelo::interop {

inline bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::filesystem::path candidate =
            std::filesystem::path(dirs.substr(start, colon - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0) return true;
        start = colon + 1;
    }
    return false;
}

inline std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; returns its exit status and stdout+stderr.
inline int RunCommand(const std::string& command, std::string& output) {
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe)) output.append(buf.data(), n);
    return pclose(pipe);
}

using varelo::testing::TempDir;

// Converts every file to PDF in outDir with ONE start of the office program (the slow part),
// under a fresh HOME so that no earlier profile interferes. Returns the exit status.
inline int ConvertToPdf(const std::vector<std::filesystem::path>& files,
                        const std::filesystem::path& home, const std::filesystem::path& outDir,
                        std::string& log) {
    std::filesystem::create_directories(home);
    std::string command = "HOME=" + Quote(home.string()) +
                          " timeout 600 soffice --headless --norestore --convert-to pdf --outdir " +
                          Quote(outDir.string());
    for (const std::filesystem::path& f : files) command += " " + Quote(f.string());
    return RunCommand(command, log);
}

}  // namespace varelo::interop
