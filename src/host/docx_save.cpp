// Packing the parts into a zip, and saving it atomically.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "host/docx_parts.h"
#include "host/docx_writer.h"
#include "host/docx_xml.h"

namespace varelo::host {

namespace {

// Entries carry a fixed time stamp (1980-01-01 00:00), so equal documents give equal bytes.
constexpr zip_uint16_t kDosTime = 0;
constexpr zip_uint16_t kDosDate = (0 << 9) | (1 << 5) | 1;

struct SourceGuard {
    zip_source_t* src = nullptr;
    ~SourceGuard() {
        if (src) zip_source_free(src);
    }
};

[[noreturn]] void PackFailed(const char* what) {
    throw SaveError(std::string("Cannot build the .docx package: ") + what);
}

}  // namespace

std::string DocxBytes(const Document& doc) {
    struct Part {
        const char* name;
        std::string data;
    };
    const std::vector<Part> parts = {
        {docx::kContentTypesPart, docx::ContentTypesXml()},
        {docx::kRootRelsPart, docx::RootRelsXml()},
        {docx::kAppPart, docx::AppXml()},
        {docx::kDocumentPart, docx::DocumentXml(doc)},
        {docx::kDocumentRelsPart, docx::DocumentRelsXml()},
        {docx::kStylesPart, docx::StylesXml(doc)},
        {docx::kSettingsPart, docx::SettingsXml(doc)},
        {docx::kFontTablePart, docx::FontTableXml(doc)},
    };

    zip_error_t error;
    zip_error_init(&error);
    SourceGuard buffer{zip_source_buffer_create(nullptr, 0, 0, &error)};
    if (!buffer.src) PackFailed(zip_error_strerror(&error));
    zip_t* archive = zip_open_from_source(buffer.src, ZIP_TRUNCATE, &error);
    if (!archive) PackFailed(zip_error_strerror(&error));
    zip_source_keep(buffer.src);  // the archive's close would otherwise free it

    for (const Part& part : parts) {
        zip_source_t* s = zip_source_buffer(archive, part.data.data(), part.data.size(), 0);
        const zip_int64_t index = s ? zip_file_add(archive, part.name, s, 0) : -1;
        if (index < 0 ||
            zip_set_file_compression(archive, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                     docx::kDeflateLevel) < 0 ||
            zip_file_set_dostime(archive, static_cast<zip_uint64_t>(index), kDosTime, kDosDate,
                                 0) < 0) {
            if (s && index < 0) zip_source_free(s);
            const std::string message = zip_strerror(archive);
            zip_discard(archive);
            PackFailed(message.c_str());
        }
    }
    if (zip_close(archive) < 0) {
        const std::string message = zip_strerror(archive);
        zip_discard(archive);
        PackFailed(message.c_str());
    }

    std::string bytes;
    if (zip_source_open(buffer.src) < 0) PackFailed(zip_error_strerror(zip_source_error(buffer.src)));
    zip_source_seek(buffer.src, 0, SEEK_END);
    const zip_int64_t size = zip_source_tell(buffer.src);
    zip_source_seek(buffer.src, 0, SEEK_SET);
    if (size > 0) {
        bytes.resize(static_cast<size_t>(size));
        if (zip_source_read(buffer.src, bytes.data(), bytes.size()) != size) {
            zip_source_close(buffer.src);
            PackFailed("the package could not be read back");
        }
    }
    zip_source_close(buffer.src);
    return bytes;
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
    const auto ticks = static_cast<unsigned long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
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
    const std::string dir =
        slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
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
