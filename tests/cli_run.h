#pragma once
// Runs the varelo program as a user would and collects what it says.
#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace varelo::testing {

struct CliRun {
    int status = -1;
    std::string output;  // stdout and stderr together
};

// args is passed to the shell as written: quote what needs quoting.
inline CliRun RunVarelo(const std::string& args) {
    const std::string command =
        std::string(VARELO_BINARY_DIR) + "/src/app/cli/varelo " + args + " 2>&1";
    CliRun run;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return run;
    char buffer[4096];
    while (const size_t n = fread(buffer, 1, sizeof buffer, p)) run.output.append(buffer, n);
    const int status = pclose(p);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace varelo::testing
