#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace varelo::cli {

// A file a command reads or writes, or a numbered family of them (the pages of --png PREFIX:
// PREFIX-1.png, PREFIX-2.png, ...), with how a message names it.
struct NamedFile {
    std::string role;               // "-o", "--pdf", "the input", "job 3", ...
    std::string path;               // the file, or the family's prefix
    std::string familySuffix = {};  // ".png" for a family, empty for one file
    size_t owner = 0;               // whose file it is, for the caller (a batch's job number)
};

// Whether names in an existing folder are compared without regard to case (FAT, exFAT, NTFS,
// most network shares from Windows): "A.docx" and "a.docx" are then one file.
using FolderCase = std::function<bool(const std::string& folder)>;

// The file system's own answer: an entry of the folder (or the folder itself) looked up under
// its name with the case of its letters swapped leads to the same inode, or not; for a folder
// with nothing to try, the kind of file system decides. Writes nothing.
bool FolderIgnoresCase(const std::string& folder);

// Finds names that reach the same file before anything is written, so that no output replaces
// an input or another output. Two names are the same file when both exist and share their
// inode, or when they lead to the same name in the same folder: the folders are followed as
// they will be when missing ones are created (symbolic links included, even to folders not made
// yet), and names are compared without case where the deepest existing folder ignores it. A
// family clashes with every name of the form PREFIX-N.SUFFIX, whatever N.
class FileClashes {
  public:
    explicit FileClashes(FolderCase folderCase = FolderIgnoresCase);

    // Adds the file and returns the earlier files it is the same as, in the order added, at
    // most `most` of them.
    std::vector<NamedFile> Add(NamedFile file, size_t most = static_cast<size_t>(-1));

    // The files added so far, by index in the order added, in groups that reach one file; files
    // that clash with no other are left out. A family and its members form one group, so two
    // pages of one family share the group of the family that writes both.
    std::vector<std::vector<size_t>> Groups();

    const NamedFile& File(size_t index) const { return files_[index]; }

  private:
    size_t Root(size_t index);
    void Join(size_t a, size_t b);
    std::string FolderKey(const std::string& path, std::string& name, bool& caseless);

    FolderCase folderCase_;
    std::unordered_map<std::string, bool> caseless_;  // the answer of folderCase_ by folder
    std::vector<NamedFile> files_;
    std::vector<size_t> parent_;  // union-find over files_: the groups
    std::unordered_map<std::string, std::vector<size_t>> exact_;     // paths and inodes of files
    std::unordered_map<std::string, std::vector<size_t>> families_;  // families by key
    std::unordered_map<std::string, std::vector<size_t>>
        members_;  // files by the families they fit
};

// "--pdf "a.docx" and -o "a.docx" name the same file": the message for a clash.
std::string DescribeClash(const NamedFile& later, const NamedFile& earlier);

}  // namespace varelo::cli
