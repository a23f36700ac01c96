#include "scan/scan_source.h"

#include <fcntl.h>
#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string_view>

#include "base/file_kind.h"
#include "base/read_error.h"
#include "base/units.h"
#include "scan/animated_png.h"

namespace varelo::read {

namespace fs = std::filesystem;

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
    return s;
}

bool IsPdf(const fs::path& p) {
    return Lower(p.extension().string()) == ".pdf";
}

bool IsImage(const fs::path& p) {
    const std::string ext = Lower(p.extension().string());
    for (const char* known : {".png", ".jpg", ".jpeg", ".tif", ".tiff", ".bmp"})
        if (ext == known) return true;
    return false;
}

// The PDF opened, or ReadError saying why it cannot be read.
std::unique_ptr<poppler::document> OpenPdf(const std::string& path) {
    std::error_code ec;
    if (fs::file_size(path, ec) == 0 && !ec) throw ReadError("the PDF is empty");
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc) throw ReadError("cannot open the PDF: it is damaged or not a PDF");
    if (doc->is_locked()) throw ReadError("cannot open the PDF: it is password-protected");
    if (doc->pages() <= 0) throw ReadError("the PDF has no pages");
    return doc;
}

// The PDF at path, opened once per thread for all its pages: opening parses the whole file,
// so opening it per page made a 10,000-page PDF quadratic. A poppler document is not rendered
// from two threads at once, so each thread keeps its own. A file replaced since is opened anew.
poppler::document& CachedPdf(const std::string& path) {
    struct Cache {
        std::string path;
        struct stat st {};
        std::unique_ptr<poppler::document> doc;
    };
    thread_local Cache cache;
    struct stat st {};
    if (stat(path.c_str(), &st) != 0)
        throw ReadError("cannot open the PDF: " + std::string(std::strerror(errno)));
    const bool same = cache.doc && cache.path == path && cache.st.st_dev == st.st_dev &&
                      cache.st.st_ino == st.st_ino && cache.st.st_size == st.st_size &&
                      cache.st.st_mtim.tv_sec == st.st_mtim.tv_sec &&
                      cache.st.st_mtim.tv_nsec == st.st_mtim.tv_nsec;
    if (!same) {
        cache.doc.reset();  // one file open per thread at most
        cache.doc = OpenPdf(path);
        cache.path = path;
        cache.st = st;
    }
    return *cache.doc;
}

// The pages of a multi-page image (a TIFF of several pages, an animated PNG), 1 for any other
// image and for one that cannot be decoded: reading it says why.
int ImagePages(const fs::path& p) {
    const std::string ext = Lower(p.extension().string());
    if (ext == ".png") return AnimatedPngFrames(p.string());
    if (ext != ".tif" && ext != ".tiff") return 1;
    try {
        return static_cast<int>(
            std::clamp<size_t>(cv::imcount(p.string(), cv::IMREAD_GRAYSCALE), 1, 1 << 20));
    } catch (const cv::Exception&) {
        return 1;
    }
}

void AddFile(const fs::path& p, std::vector<ScanSource>& out) {
    int pages = 0;
    if (IsPdf(p)) {
        try {
            pages = CachedPdf(p.string()).pages();
        } catch (const ReadError&) {
            pages = 0;  // one scan for the whole file, an error row that says why
        }
        // A one-page PDF is still FILE.pdf#1, as before.
    } else {
        pages = ImagePages(p);
        if (pages == 1) pages = 0;
    }
    if (pages == 0) out.push_back({p.string(), 0});
    for (int i = 1; i <= pages; ++i) out.push_back({p.string(), i});
}

[[noreturn]] void TooLarge(const std::string& what) {
    throw ReadError(what + " is larger than " + std::to_string(std::lround(kMaxScanPixels / 1e6)) +
                    " million pixels");
}

[[noreturn]] void OutOfMemory() {
    throw ReadError("not enough memory to read the scan");
}

// Why a file that did not decode could not be read, when it is not its content.
void ThrowUnopenable(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0) {
        close(fd);
        return;
    }
    if (errno == EACCES) throw ReadError("cannot open the scan: permission denied");
    throw ReadError("cannot open the scan: " + std::string(std::strerror(errno)));
}

// The grey image decode() returns, or ReadError; path, when given, is the file it decodes.
template <class Decode>
cv::Mat Decoded(Decode&& decode, const std::string& path = {}) {
    cv::Mat grey;
    try {
        grey = decode();
    } catch (const cv::Exception& e) {
        // OpenCV refuses an image above its own limit (OPENCV_IO_MAX_IMAGE_PIXELS, by default
        // 2^30) from its header, before decoding it.
        if (std::string_view(e.what()).find("MAX_IMAGE_") != std::string_view::npos)
            TooLarge("the image");
        if (e.code == cv::Error::StsNoMem) OutOfMemory();
        grey.release();
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
    if (grey.empty() && !path.empty()) ThrowUnopenable(path);
    if (grey.empty()) throw ReadError("cannot decode the image");
    if (static_cast<double>(grey.total()) > kMaxScanPixels) TooLarge("the image");
    return grey;
}

// The page (1-based) rasterised at pdfDpi.
cv::Mat RenderPdfPage(poppler::document& doc, int pageNumber, int pdfDpi) {
    const std::unique_ptr<poppler::page> page(doc.create_page(pageNumber - 1));
    if (!page) throw ReadError("the PDF has no page " + std::to_string(pageNumber));
    // Sized before rasterising: poppler would allocate a poster-sized page whole.
    const poppler::rectf box = page->page_rect();
    const double pixelsPerPoint = host::PixelsPerPoint(pdfDpi);
    if (!(box.width() * pixelsPerPoint * box.height() * pixelsPerPoint <= kMaxScanPixels))
        TooLarge("the PDF page at " + std::to_string(pdfDpi) + " dpi");
    poppler::page_renderer renderer;
    renderer.set_image_format(poppler::image::format_gray8);
    renderer.set_render_hints(poppler::page_renderer::antialiasing |
                              poppler::page_renderer::text_antialiasing);
    const poppler::image image = renderer.render_page(page.get(), pdfDpi, pdfDpi);
    if (!image.is_valid()) throw ReadError("cannot rasterise the PDF page");
    const cv::Mat view(image.height(), image.width(), CV_8UC1,
                       const_cast<char*>(image.const_data()),
                       static_cast<size_t>(image.bytes_per_row()));
    return view.clone();
}

}  // namespace

std::string ScanSource::Name() const {
    return page > 0 ? path + "#" + std::to_string(page) : path;
}

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const bool da = std::isdigit(static_cast<unsigned char>(a[i])) != 0;
        const bool db = std::isdigit(static_cast<unsigned char>(b[j])) != 0;
        if (da && db) {
            size_t ei = i, ej = j;
            while (ei < a.size() && std::isdigit(static_cast<unsigned char>(a[ei]))) ++ei;
            while (ej < b.size() && std::isdigit(static_cast<unsigned char>(b[ej]))) ++ej;
            // Compare by value: strip leading zeros, then the longer run is larger.
            size_t zi = i, zj = j;
            while (zi + 1 < ei && a[zi] == '0') ++zi;
            while (zj + 1 < ej && b[zj] == '0') ++zj;
            const std::string_view na(a.data() + zi, ei - zi), nb(b.data() + zj, ej - zj);
            if (na.size() != nb.size()) return na.size() < nb.size();
            if (na != nb) return na < nb;
            i = ei, j = ej;
            continue;
        }
        if (a[i] != b[j]) return a[i] < b[j];
        ++i, ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<ScanSource> ListScans(const std::vector<std::string>& args,
                                  std::vector<std::string>* skipped) {
    std::vector<ScanSource> out;
    for (const std::string& arg : args) {
        const fs::path p(arg);
        if (const std::string kind = host::SpecialFileKind(arg); !kind.empty())
            throw ReadError(arg + " is " + kind + ", not a scan");
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<fs::path> files;
            // Every entry is checked by itself: a symlink loop or a dangling link fails only
            // its own status, whatever the order the folder lists its entries in.
            for (fs::directory_iterator it(p, ec), end; !ec && it != end; it.increment(ec)) {
                const fs::path& f = it->path();
                if (!IsImage(f) && !IsPdf(f)) continue;
                std::string why = host::SpecialFileKind(f.string());
                std::error_code fec;
                if (why.empty() && fs::is_symlink(it->symlink_status(fec)) && !fs::exists(f, fec))
                    why = "a symlink to nothing";
                if (!why.empty()) {
                    if (skipped) skipped->push_back(f.string() + " is skipped: it is " + why);
                    continue;
                }
                if (fs::is_regular_file(f, fec)) files.push_back(f);
            }
            if (ec) throw ReadError("cannot list the folder " + arg + ": " + ec.message());
            std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
                return NaturalLess(a.filename().string(), b.filename().string());
            });
            for (const fs::path& f : files) AddFile(f, out);
        } else if (fs::is_regular_file(p, ec)) {
            if (!IsImage(p) && !IsPdf(p))
                throw ReadError(arg + " is not a scan (PNG, JPEG, TIFF, BMP or PDF)");
            AddFile(p, out);
        } else {
            throw ReadError("no such file or folder: " + arg);
        }
    }
    if (out.empty()) {
        std::string names;
        for (const std::string& arg : args) names += (names.empty() ? "" : ", ") + arg;
        throw ReadError("no scan (PNG, JPEG, TIFF, BMP or PDF) in " + names);
    }
    return out;
}

cv::Mat LoadScan(const ScanSource& scan, int pdfDpi) {
    if (!IsPdf(scan.path)) {
        if (scan.page == 0)
            return Decoded([&] { return cv::imread(scan.path, cv::IMREAD_GRAYSCALE); }, scan.path);
        if (Lower(fs::path(scan.path).extension().string()) == ".png")
            return Decoded([&] { return AnimatedPngFrame(scan.path, scan.page); }, scan.path);
        return Decoded(
            [&] {
                std::vector<cv::Mat> pages;
                if (!cv::imreadmulti(scan.path, pages, scan.page - 1, 1, cv::IMREAD_GRAYSCALE) ||
                    pages.size() != 1)
                    return cv::Mat();
                return pages.front();
            },
            scan.path);
    }
    try {
        poppler::document& doc = CachedPdf(scan.path);
        // Listed whole when it could not be opened; opened since, it is read again next run.
        if (scan.page == 0) throw ReadError("the PDF could not be opened when it was listed");
        return RenderPdfPage(doc, scan.page, pdfDpi);
    } catch (const std::bad_alloc&) {
        OutOfMemory();
    }
}

cv::Mat DecodeScan(const std::vector<uchar>& bytes) {
    return Decoded([&] { return cv::imdecode(bytes, cv::IMREAD_GRAYSCALE); });
}

}  // namespace varelo::read
