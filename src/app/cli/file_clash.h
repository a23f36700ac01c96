#pragma once

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

// Finds names that reach the same file before anything is written, so that no output replaces
// an input or another output. Two names are the same file when both exist and share their
// inode, or when their absolute paths, with the folders that exist resolved and the rest
// normalised lexically, are equal byte for byte. A family clashes with every name of the form
// PREFIX-N.SUFFIX, whatever N.
class FileClashes {
  public:
    // Adds the file and returns the earlier files it is the same as, in the order added.
    std::vector<NamedFile> Add(NamedFile file);

  private:
    std::vector<NamedFile> files_;
    std::unordered_multimap<std::string, size_t> exact_;     // paths and inodes of files
    std::unordered_multimap<std::string, size_t> families_;  // the families by prefix and suffix
    std::unordered_multimap<std::string, size_t> members_;   // files by the families they fit
};

// "--pdf "a.docx" and -o "a.docx" name the same file": the message for a clash.
std::string DescribeClash(const NamedFile& later, const NamedFile& earlier);

}  // namespace varelo::cli
