#include "file_clash.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <utility>

#include "host/printable.h"

namespace varelo::cli {

namespace {

namespace fs = std::filesystem;

// Where a name leads: its folder, absolute, with the part that exists resolved, and its last
// component as given.
std::pair<std::string, std::string> Place(const std::string& path) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(path, ec).lexically_normal();
    fs::path folder = fs::weakly_canonical(absolute.parent_path(), ec);
    if (ec) folder = absolute.parent_path();
    return {folder.string(), absolute.filename().string()};
}

std::string InodeKey(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return {};
    return "I" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

std::string FamilyKey(const std::string& folder, std::string_view prefix, std::string_view suffix) {
    std::string key = "F" + folder;
    key += '\0';
    key += prefix;
    key += '\0';
    key += suffix;
    return key;
}

// The families a file name fits: "x-12.png" is page 12 of the family "x" with suffix ".png".
std::vector<std::string> FamiliesFitting(const std::string& folder, const std::string& name) {
    std::vector<std::string> keys;
    for (size_t dash = name.find('-'); dash != std::string::npos; dash = name.find('-', dash + 1)) {
        size_t end = dash + 1;
        while (end < name.size() && std::isdigit(static_cast<unsigned char>(name[end]))) ++end;
        if (end > dash + 1 && end < name.size() && name[end] == '.')
            keys.push_back(FamilyKey(folder, std::string_view(name).substr(0, dash),
                                     std::string_view(name).substr(end)));
    }
    return keys;
}

}  // namespace

std::vector<NamedFile> FileClashes::Add(NamedFile file) {
    const size_t index = files_.size();
    const auto [folder, name] = Place(file.path);
    std::vector<size_t> hits;
    const auto check = [&](const std::unordered_multimap<std::string, size_t>& map,
                           const std::string& key) {
        const auto [from, to] = map.equal_range(key);
        for (auto it = from; it != to; ++it) hits.push_back(it->second);
    };
    const auto checkInode = [&](const std::string& path) {
        const std::string inode = InodeKey(path);
        if (inode.empty()) return false;
        check(exact_, inode);
        exact_.emplace(inode, index);
        return true;
    };
    if (file.familySuffix.empty()) {
        const std::string key = "P" + folder + "/" + name;
        check(exact_, key);
        exact_.emplace(key, index);
        checkInode(file.path);
        for (const std::string& family : FamiliesFitting(folder, name)) {
            check(families_, family);
            members_.emplace(family, index);
        }
    } else {
        const std::string family = FamilyKey(folder, name, file.familySuffix);
        check(families_, family);
        check(members_, family);
        families_.emplace(family, index);
        // Pages that exist already may be hard links to another name.
        for (int page = 1; page < 1000; ++page)
            if (!checkInode(file.path + "-" + std::to_string(page) + file.familySuffix)) break;
    }
    files_.push_back(std::move(file));
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    std::vector<NamedFile> earlier;
    for (const size_t i : hits)
        if (i != index) earlier.push_back(files_[i]);
    return earlier;
}

std::string DescribeClash(const NamedFile& later, const NamedFile& earlier) {
    const auto describe = [](const NamedFile& f) {
        return f.role + " " +
               host::Quoted(f.familySuffix.empty() ? f.path : f.path + "-N" + f.familySuffix);
    };
    return describe(later) + " and " + describe(earlier) + " name the same file";
}

}  // namespace varelo::cli
