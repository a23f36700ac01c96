#include "command_files.h"

#include <filesystem>
#include <vector>

#include "base/atomic_file.h"
#include "base/printable.h"
#include "file_clash.h"

namespace varelo::cli {

namespace {

// The scanner template's files: one, or OMRChecker's one per page, FILE-1.json, ...
NamedFile OmrFile(const std::string& path, bool omrChecker) {
    if (!omrChecker) return {"--omr", path};
    std::string stem = path;
    if (stem.size() >= 5) {
        std::string tail = stem.substr(stem.size() - 5);
        for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (tail == ".json") stem.resize(stem.size() - 5);
    }
    return {"--omr", stem, ".json"};
}

std::optional<std::string> FirstClash(const std::vector<NamedFile>& inputs,
                                      const std::vector<NamedFile>& outputs,
                                      const std::string& mayBeInput = {}) {
    FileClashes clashes;
    for (const NamedFile& f : inputs) clashes.Add(f);
    for (const NamedFile& f : outputs)
        for (const NamedFile& earlier : clashes.Add(f))
            if (!(f.role == mayBeInput && earlier.role == "the input"))
                return DescribeClash(f, earlier);
    return std::nullopt;
}

}  // namespace

std::optional<std::string> FindClash(const GenerateOptions& o) {
    std::vector<NamedFile> outputs{{"-o", o.output}};
    if (o.pdf) outputs.push_back({"--pdf", *o.pdf});
    if (o.png) outputs.push_back({"--png", *o.png, ".png"});
    if (o.omr) outputs.push_back(OmrFile(*o.omr, o.omrChecker));
    if (!o.from) return FirstClash({}, outputs);
    // The sheet remade from may be replaced by the new one, as edit replaces its input.
    return FirstClash({{"the input", *o.from}}, outputs, "-o");
}

std::optional<std::string> FindClash(const EditOptions& o) {
    std::vector<NamedFile> outputs{{"-o", o.output}};
    if (o.pdf) outputs.push_back({"--pdf", *o.pdf});
    if (o.png) outputs.push_back({"--png", *o.png, ".png"});
    if (o.omr) outputs.push_back(OmrFile(*o.omr, o.omrChecker));
    return FirstClash({{"the input", o.input}}, outputs, "-o");
}

void MakeFolderFor(const std::string& path) {
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec)
        throw host::SaveError("Cannot save " + host::Quoted(path) + ": the folder " +
                              host::Quoted(folder.string()) + " cannot be created (" +
                              ec.message() + ").");
}

}  // namespace varelo::cli
