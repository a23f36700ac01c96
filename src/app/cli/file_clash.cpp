#include "file_clash.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <deque>
#include <filesystem>
#include <optional>
#include <utility>

#include "base/printable.h"

namespace varelo::cli {

namespace {

namespace fs = std::filesystem;

bool HasLetter(std::string_view name) {
    return std::any_of(name.begin(), name.end(),
                       [](char c) { return std::isalpha(static_cast<unsigned char>(c)); });
}

std::string SwapCase(std::string name) {
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (std::islower(u))
            c = static_cast<char>(std::toupper(u));
        else if (std::isupper(u))
            c = static_cast<char>(std::tolower(u));
    }
    return name;
}

// Only ASCII letters are folded: how a file system folds others depends on its mount options,
// and school file names that differ only in the case of accented letters are rare.
std::string Folded(std::string name) {
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether `name` in `folder` and the same name with its case swapped are one entry; empty when
// the name cannot tell (no letters, or a lookup failing for another reason than absence).
std::optional<bool> SwappedIsSame(const fs::path& folder, const std::string& name) {
    if (name == "." || name == ".." || !HasLetter(name)) return std::nullopt;
    struct stat given {
    }, swapped{};
    if (lstat((folder / name).c_str(), &given) != 0) return std::nullopt;
    if (lstat((folder / SwapCase(name)).c_str(), &swapped) != 0)
        return errno == ENOENT ? std::optional(false) : std::nullopt;
    return SameInode(given, swapped);
}

std::optional<bool> ProbeEntries(const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    if (!d) return std::nullopt;
    std::optional<bool> answer;
    // A few entries are enough: the first with a letter in its name answers.
    for (int tried = 0; tried < 64 && !answer; ++tried) {
        const dirent* e = readdir(d);
        if (!e) break;
        answer = SwappedIsSame(folder, e->d_name);
    }
    closedir(d);
    return answer;
}

// An empty folder: its own name, looked up in its parent on the same file system.
std::optional<bool> ProbeSelf(const std::string& folder) {
    const fs::path path(folder), parent = path.parent_path();
    struct stat self {
    }, above{};
    if (path == parent || stat(folder.c_str(), &self) != 0 || stat(parent.c_str(), &above) != 0 ||
        self.st_dev != above.st_dev)
        return std::nullopt;
    return SwappedIsSame(parent, path.filename().string());
}

// Nothing to look up (the empty root of a fresh USB stick): the kinds of file system that ignore
// case as mounted by default.
bool CaselessKind(const std::string& folder) {
    struct statfs fs {};
    if (statfs(folder.c_str(), &fs) != 0) return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x4d44:      // FAT (msdos, vfat)
        case 0x2011bab0:  // exFAT
        case 0x5346544e:  // NTFS
        case 0x7366746e:  // NTFS (ntfs3)
        case 0xff534d42:  // CIFS
        case 0xfe534d42:  // SMB2
        case 0x517b:      // SMB
        case 0x482b:      // HFS+
            return true;
        default:
            return false;
    }
}

// Where a folder leads once its missing parts are created: the deepest folder that exists, with
// every symbolic link on the way followed (one to a folder not made yet too, as creating the
// folders will follow it), and the names below it still to be made.
struct Destination {
    fs::path existing = "/";
    std::vector<std::string> missing;
};

Destination Follow(const fs::path& folder) {
    Destination d;
    std::deque<std::string> todo;
    for (const fs::path& part : folder.relative_path()) todo.push_back(part.string());
    int links = 0;
    while (!todo.empty()) {
        const std::string part = std::move(todo.front());
        todo.pop_front();
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!d.missing.empty())
                d.missing.pop_back();
            else
                d.existing = d.existing.parent_path();
            continue;
        }
        if (!d.missing.empty()) {
            d.missing.push_back(part);
            continue;
        }
        const fs::path next = d.existing / part;
        struct stat st {};
        if (lstat(next.c_str(), &st) != 0) {
            d.missing.push_back(part);
            continue;
        }
        if (S_ISLNK(st.st_mode) && links < 40) {  // the kernel's limit, so loops end
            ++links;
            std::error_code ec;
            const fs::path target = fs::read_symlink(next, ec);
            if (ec) {
                d.missing.push_back(part);
                continue;
            }
            std::vector<std::string> parts;
            for (const fs::path& p : target.relative_path()) parts.push_back(p.string());
            todo.insert(todo.begin(), parts.begin(), parts.end());
            if (target.is_absolute()) d.existing = "/";
            continue;
        }
        d.existing = next;
    }
    return d;
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

bool FolderIgnoresCase(const std::string& folder) {
    if (const std::optional<bool> entries = ProbeEntries(folder)) return *entries;
    if (const std::optional<bool> self = ProbeSelf(folder)) return *self;
    return CaselessKind(folder);
}

FileClashes::FileClashes(FolderCase folderCase) : folderCase_(std::move(folderCase)) {}

// The folder's identity (the inode of its deepest existing folder and the names to be made
// below it) and, in `name`, the file's name, both folded where case is ignored.
std::string FileClashes::FolderKey(const std::string& path, std::string& name, bool& caseless) {
    std::error_code ec;
    fs::path absolute = fs::absolute(path, ec);
    if (ec) absolute = path;
    name = absolute.filename().string();
    if (name.empty() || name == "." || name == "..") {
        absolute = absolute.lexically_normal();
        if (absolute.filename().empty()) absolute = absolute.parent_path();
        name = absolute.filename().string();
    }
    const Destination d = Follow(absolute.parent_path());
    std::string key;
    caseless = false;
    struct stat st {};
    if (stat(d.existing.c_str(), &st) == 0) {
        key = "D" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
        const auto [known, added] = caseless_.try_emplace(key, false);
        if (added) known->second = folderCase_ && folderCase_(d.existing.string());
        caseless = known->second;
    } else {
        key = "S" + d.existing.string();
    }
    // Folders made below it are on the same file system.
    for (const std::string& part : d.missing) key += "/" + (caseless ? Folded(part) : part);
    if (caseless) name = Folded(name);
    return key;
}

size_t FileClashes::Root(size_t index) {
    while (parent_[index] != index) index = parent_[index] = parent_[parent_[index]];
    return index;
}

void FileClashes::Join(size_t a, size_t b) {
    a = Root(a);
    b = Root(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
}

std::vector<NamedFile> FileClashes::Add(NamedFile file, size_t most) {
    const size_t index = files_.size();
    parent_.push_back(index);
    std::string name;
    bool caseless = false;
    const std::string folder = FolderKey(file.path, name, caseless);
    std::vector<size_t> hits;
    // Each list is in the order added, so its first `most` are enough.
    const auto earlier = [&](const std::vector<size_t>& list) {
        for (size_t i = 0; i < list.size() && i < most; ++i) hits.push_back(list[i]);
    };
    // A name that is one file with the first of a list is one with all of it.
    const auto same = [&](const std::string& key) {
        std::vector<size_t>& list = exact_[key];
        earlier(list);
        if (!list.empty()) Join(index, list.front());
        list.push_back(index);
    };
    const auto sameInode = [&](const std::string& path) {
        const std::string inode = InodeKey(path);
        if (inode.empty()) return false;
        same(inode);
        return true;
    };
    if (file.familySuffix.empty()) {
        same("P" + folder + "/" + name);
        sameInode(file.path);
        for (const std::string& family : FamiliesFitting(folder, name)) {
            const auto f = families_.find(family);
            if (f != families_.end()) {
                earlier(f->second);
                Join(index, f->second.front());
            }
            members_[family].push_back(index);
        }
    } else {
        const std::string& suffix = file.familySuffix;
        const std::string family = FamilyKey(folder, name, caseless ? Folded(suffix) : suffix);
        std::vector<size_t>& families = families_[family];
        earlier(families);
        if (!families.empty()) Join(index, families.front());
        if (const auto m = members_.find(family); m != members_.end()) {
            earlier(m->second);
            // The first family of a name joins the members so far; later members and families
            // join it.
            if (families.empty())
                for (const size_t member : m->second) Join(index, member);
        }
        families.push_back(index);
        // Pages that exist already may be hard links to another name.
        for (int page = 1; page < 1000; ++page)
            if (!sameInode(file.path + "-" + std::to_string(page) + suffix)) break;
    }
    files_.push_back(std::move(file));
    std::sort(hits.begin(), hits.end());
    hits.erase(std::unique(hits.begin(), hits.end()), hits.end());
    std::vector<NamedFile> out;
    for (const size_t i : hits)
        if (i != index && out.size() < most) out.push_back(files_[i]);
    return out;
}

std::vector<std::vector<size_t>> FileClashes::Groups() {
    std::unordered_map<size_t, std::vector<size_t>> byRoot;
    for (size_t i = 0; i < files_.size(); ++i) byRoot[Root(i)].push_back(i);
    std::vector<std::vector<size_t>> groups;
    for (auto& [root, group] : byRoot)
        if (group.size() > 1) groups.push_back(std::move(group));
    std::sort(groups.begin(), groups.end());
    return groups;
}

std::string DescribeClash(const NamedFile& later, const NamedFile& earlier) {
    const auto describe = [](const NamedFile& f) {
        return f.role + " " +
               host::Quoted(f.familySuffix.empty() ? f.path : f.path + "-N" + f.familySuffix);
    };
    return describe(later) + " and " + describe(earlier) + " name the same file";
}

}  // namespace varelo::cli
