// The package's bytes, and saving them atomically.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "host/docx/parts.h"
#include "host/docx/writer.h"
#include "host/docx/xml.h"
#include "host/docx/zip.h"

namespace varelo::host {

std::string DocxBytes(const Document& doc) {
    // Known before anything is written: the content types, first in the package, declare it.
    const docx::EmbeddedFont* embedded = docx::FontToEmbed(doc);
    docx::ZipWriter zip(docx::kDeflateLevel);
    zip.Add(docx::kContentTypesPart, docx::ContentTypesXml(embedded != nullptr));
    zip.Add(docx::kRootRelsPart, docx::RootRelsXml());
    zip.Add(docx::kAppPart, docx::AppXml());
    zip.Begin(docx::kDocumentPart);
    const std::vector<std::string> fonts =
        docx::WriteDocumentXml(doc, [&](std::string_view piece) { zip.Write(piece); });
    zip.End();
    zip.Add(docx::kDocumentRelsPart, docx::DocumentRelsXml());
    zip.Add(docx::kStylesPart, docx::StylesXml(doc));
    zip.Add(docx::kSettingsPart, docx::SettingsXml(doc));
    zip.Add(docx::kFontTablePart, docx::FontTableXml(doc, fonts, embedded));
    if (embedded) {
        zip.Add(docx::kFontTableRelsPart, docx::FontTableRelsXml());
        zip.Add(docx::kEmbeddedFontPart, embedded->part);
    }
    return zip.Finish();
}

namespace {

class SaveFailure {
  public:
    explicit SaveFailure(std::string path) : path_(std::move(path)) {}
    [[noreturn]] void Throw(const std::string& what, int err) const {
        std::string message = "Cannot save \"" + path_ + "\": " + what;
        if (err != 0) message += " (" + std::string(std::strerror(err)) + ")";
        message += ".";
        throw SaveError(message);
    }

  private:
    std::string path_;
};

std::string TemporaryName(const std::string& dir, const std::string& base) {
    static std::atomic<unsigned> counter{0};
    const auto ticks =
        static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
    const unsigned long salt = ticks ^ (static_cast<unsigned long>(getpid()) << 16) ^ counter++;
    return dir + "/." + base + "." + std::to_string(salt % 1000000007UL) + ".tmp";
}

// Writes all of data to fd; errno of the failure otherwise.
int WriteAll(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        if (n == 0) return ENOSPC;
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

void SaveDocx(const Document& doc, const std::string& path) {
    const SaveFailure fail(path);
    if (path.empty()) fail.Throw("no file name was given", 0);
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") fail.Throw("the name is a folder", EISDIR);

    struct stat existing {};
    const bool exists = stat(path.c_str(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode)) fail.Throw("the name is a folder", EISDIR);

    const std::string bytes = DocxBytes(doc);

    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = TemporaryName(dir, base);
        fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            fail.Throw("cannot create a file in the folder \"" + dir + "\"", errno);
    }
    if (fd < 0) fail.Throw("cannot create a temporary file in \"" + dir + "\"", EEXIST);

    auto abandon = [&](const std::string& what, int err) {
        close(fd);
        unlink(temp.c_str());
        fail.Throw(what, err);
    };
    // A replaced file keeps its permissions.
    if (exists) fchmod(fd, existing.st_mode & 07777);
    if (const int err = WriteAll(fd, bytes)) abandon("writing failed", err);
    if (fsync(fd) != 0) abandon("writing failed", errno);
    if (close(fd) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        fail.Throw("writing failed", err);
    }
    if (rename(temp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        unlink(temp.c_str());
        fail.Throw("the file could not be replaced", err);
    }
    // Make the rename itself durable; a failure here no longer endangers either file.
    const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
}

}  // namespace varelo::host
