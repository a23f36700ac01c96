// The read module: reading scans (OpenCV, poppler) behind one entry point, loaded only by
// varelo read.
#include <exception>
#include <iostream>

#include "read_command.h"

// No exception crosses the module boundary: what the command does not handle is reported here.
extern "C" __attribute__((visibility("default"))) int varelo_read(
    const std::vector<std::string>& args) {
    try {
        return varelo::cli::RunRead(args);
    } catch (const std::exception& e) {
        std::cerr << "varelo read: " << e.what() << '\n';
        return 1;
    }
}
