#include "base/file_kind.h"

#include <sys/stat.h>

#include <cerrno>

namespace varelo::host {

std::string SpecialFileKind(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) return errno == ELOOP ? "a symlink loop" : "";
    if (S_ISFIFO(st.st_mode)) return "a pipe (FIFO)";
    if (S_ISSOCK(st.st_mode)) return "a socket";
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode)) return "a device";
    return "";
}

}  // namespace varelo::host
