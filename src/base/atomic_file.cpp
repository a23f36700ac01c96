#include "base/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>
#include <utility>

#include "base/printable.h"

namespace varelo::host {

namespace {

// Temporary names stay short whatever the target's name, so a target of 255 bytes still saves;
// the process id in them tells a left-over from a save in progress.
constexpr char kTemporaryPrefix[] = ".varelo-";
constexpr char kTemporarySuffix[] = ".tmp";

// The saves in progress, for the signal handler: it may only read plain memory, so each slot
// holds the folder's descriptor and the temporary name itself.
struct LiveTemporary {
    std::atomic<int> state{0};  // kFree, kFilling or kLive
    int folder = -1;
    char name[64] = {};
};
constexpr int kFree = 0, kFilling = 1, kLive = 2;
constexpr size_t kLiveSlots = 128;  // more than the workers of the largest batch
LiveTemporary gLive[kLiveSlots];

constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction gPrevious[std::size(kCleanedSignals)];

void RemoveTemporariesAndPassOn(int sig, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    for (LiveTemporary& slot : gLive)
        if (slot.state.load(std::memory_order_acquire) == kLive)
            unlinkat(slot.folder, slot.name, 0);
    for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
        if (kCleanedSignals[i] != sig) continue;
        const struct sigaction& previous = gPrevious[i];
        if (previous.sa_flags & SA_SIGINFO) {
            previous.sa_sigaction(sig, info, context);
        } else if (previous.sa_handler != SIG_DFL && previous.sa_handler != SIG_IGN) {
            previous.sa_handler(sig);
        } else {
            // Die of the signal as the process would have without us: it is delivered again
            // as soon as this handler returns.
            sigaction(sig, &previous, nullptr);
            raise(sig);
        }
    }
    errno = savedErrno;
}

void InstallSignalCleanup() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (size_t i = 0; i < std::size(kCleanedSignals); ++i) {
            struct sigaction current {};
            sigaction(kCleanedSignals[i], nullptr, &current);
            if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN)
                continue;  // an ignored signal (nohup) stays ignored
            gPrevious[i] = current;
            struct sigaction ours {};
            ours.sa_sigaction = &RemoveTemporariesAndPassOn;
            ours.sa_flags = SA_SIGINFO | SA_RESTART;
            sigemptyset(&ours.sa_mask);
            sigaction(kCleanedSignals[i], &ours, nullptr);
        }
    });
}

// A temporary file to remove on a signal while it lives, registered before it is created so
// no signal finds it unregistered. With every slot taken (never in practice) the file is not
// registered and a later save removes it once it is stale.
class LiveRegistration {
  public:
    void Set(int folder, const std::string& name) {
        Clear();
        for (LiveTemporary& slot : gLive) {
            int expected = kFree;
            if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
            slot.folder = folder;
            std::strncpy(slot.name, name.c_str(), sizeof slot.name - 1);
            slot.state.store(kLive, std::memory_order_release);
            slot_ = &slot;
            return;
        }
    }
    void Clear() {
        if (slot_) slot_->state.store(kFree, std::memory_order_release);
        slot_ = nullptr;
    }
    LiveRegistration() = default;
    ~LiveRegistration() { Clear(); }
    LiveRegistration(const LiveRegistration&) = delete;
    LiveRegistration& operator=(const LiveRegistration&) = delete;

  private:
    LiveTemporary* slot_ = nullptr;
};

std::string TemporaryName() {
    static std::atomic<unsigned long> counter{0};
    return kTemporaryPrefix + std::to_string(getpid()) + "-" + std::to_string(counter++) +
           kTemporarySuffix;
}

// The process id in a temporary name of ours, or 0 when the name is not one.
pid_t TemporaryOwner(std::string_view name) {
    const std::string_view prefix = kTemporaryPrefix, suffix = kTemporarySuffix;
    if (name.size() <= prefix.size() + suffix.size() || name.substr(0, prefix.size()) != prefix ||
        name.substr(name.size() - suffix.size()) != suffix)
        return 0;
    name = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = name.find('-');
    if (dash == 0 || dash == std::string_view::npos || dash + 1 == name.size()) return 0;
    long pid = 0;
    for (size_t i = 0; i < name.size(); ++i) {
        if (i == dash) continue;
        if (name[i] < '0' || name[i] > '9') return 0;
        if (i < dash && pid < 1'000'000'000) pid = pid * 10 + (name[i] - '0');
    }
    return pid > 0 && pid < 1'000'000'000 ? static_cast<pid_t>(pid) : 0;
}

// Removes our temporary files in the folder that a killed process left: ours by name and owner,
// older than kStaleTemporarySeconds, their process gone. Each folder once per process (a batch
// saves many files into one).
void RemoveStaleTemporaries(int folder, const std::string& folderName) {
    struct stat self {};
    char* resolved = realpath(folderName.c_str(), nullptr);
    if (!resolved || fstat(folder, &self) != 0) {
        std::free(resolved);
        return;
    }
    const std::string key = std::string(resolved) + '\0' + std::to_string(self.st_dev) + ':' +
                            std::to_string(self.st_ino);
    std::free(resolved);
    static std::mutex mutex;
    static std::set<std::string> swept;
    {
        const std::lock_guard lock(mutex);
        if (!swept.insert(key).second) return;
    }
    const int listing = dup(folder);
    if (listing < 0) return;
    DIR* dir = fdopendir(listing);
    if (!dir) {
        close(listing);
        return;
    }
    rewinddir(dir);
    const time_t now = std::time(nullptr);
    while (const dirent* entry = readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name);
        if (owner == 0 || owner == getpid()) continue;
        struct stat st {};
        if (fstatat(folder, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
            st.st_uid != geteuid() || now - st.st_mtime < kStaleTemporarySeconds)
            continue;
        if (kill(owner, 0) == 0 || errno != ESRCH) continue;  // still running, or not ours to ask
        unlinkat(folder, entry->d_name, 0);
    }
    closedir(dir);
}

class Failure {
  public:
    explicit Failure(const std::string& path) : path_(path) {}
    [[noreturn]] void Throw(const std::string& what, int err) const {
        std::string message = "Cannot save " + Quoted(path_) + ": " + what;
        if (err != 0) message += " (" + std::string(std::strerror(err)) + ")";
        throw SaveError(message + ".");
    }

  private:
    const std::string& path_;
};

// Writes all of data to fd; 0, or errno of the failure.
int WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return 0;
}

// An open descriptor, closed when it goes.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) close(fd);
    }
};

}  // namespace

void SaveFileAtomically(const std::string& path, std::string_view bytes) {
    const Failure fail(path);
    if (path.empty()) fail.Throw("no file name was given", 0);
    if (path.find('\0') != std::string::npos)
        fail.Throw("a file name cannot hold a NUL character", 0);
    const size_t slash = path.find_last_of('/');
    const std::string folderName = slash == std::string::npos ? "."
                                   : slash == 0               ? "/"
                                                              : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") fail.Throw("the name is a folder", EISDIR);

    Descriptor folder{open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (folder.fd < 0) fail.Throw("the folder " + Quoted(folderName) + " cannot be opened", errno);
    struct stat existing {};
    const bool exists = fstatat(folder.fd, base.c_str(), &existing, 0) == 0;
    if (exists && S_ISDIR(existing.st_mode)) fail.Throw("the name is a folder", EISDIR);

    InstallSignalCleanup();
    std::string temp;
    Descriptor file;
    LiveRegistration live;
    for (int attempt = 0; attempt < 100 && file.fd < 0; ++attempt) {
        temp = TemporaryName();
        live.Set(folder.fd, temp);
        file.fd = openat(folder.fd, temp.c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (file.fd < 0) live.Clear();  // another file has that name: never remove it
        if (file.fd < 0 && errno != EEXIST)
            fail.Throw("cannot create a file in the folder " + Quoted(folderName), errno);
    }
    if (file.fd < 0) fail.Throw("cannot create a temporary file in " + Quoted(folderName), EEXIST);
    {
        const auto abandon = [&](const std::string& what, int err) {
            unlinkat(folder.fd, temp.c_str(), 0);
            fail.Throw(what, err);
        };
        if (exists && S_ISREG(existing.st_mode)) fchmod(file.fd, existing.st_mode & 07777);
        if (const int err = WriteAll(file.fd, bytes)) abandon("writing failed", err);
        if (fsync(file.fd) != 0) abandon("writing failed", errno);
        const int closed = close(file.fd);
        file.fd = -1;
        if (closed != 0) abandon("writing failed", errno);
        if (renameat(folder.fd, temp.c_str(), folder.fd, base.c_str()) != 0)
            abandon("the file could not be replaced", errno);
        live.Clear();
    }
    // Makes the rename itself durable; a failure here no longer endangers either file.
    fsync(folder.fd);
    RemoveStaleTemporaries(folder.fd, folderName);
}

}  // namespace varelo::host
