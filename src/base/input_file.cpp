#include "base/input_file.h"

#include <filesystem>
#include <fstream>

#include "base/file_kind.h"
#include "base/read_error.h"

namespace varelo::read {

namespace {

constexpr size_t kMaxInputBytes = 64 << 20;

}  // namespace

std::string ReadInputFile(const std::string& path, const std::string& what) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        throw ReadError(path + " is a folder, not " + what);
    // Refused by its type before opening: a FIFO would make the reader wait for a writer.
    if (const std::string kind = host::SpecialFileKind(path); !kind.empty())
        throw ReadError(path + " is " + kind + ", not " + what);
    std::ifstream in(path, std::ios::binary);
    if (!in) throw ReadError("cannot read " + what + " " + path);
    std::string text;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxInputBytes)
            throw ReadError(path + ": " + what + " is larger than 64 MB");
    }
    if (in.bad()) throw ReadError("cannot read " + what + " " + path);
    return text;
}

}  // namespace varelo::read
