#include "read/scan_source.h"

#include <poppler/cpp/poppler-document.h>
#include <poppler/cpp/poppler-page-renderer.h>
#include <poppler/cpp/poppler-page.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <string_view>

#include "read/read_error.h"

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

std::unique_ptr<poppler::document> OpenPdf(const std::string& path) {
    std::unique_ptr<poppler::document> doc(poppler::document::load_from_file(path));
    if (!doc || doc->is_locked()) throw ReadError("cannot open the PDF " + path);
    return doc;
}

void AddFile(const fs::path& p, std::vector<ScanSource>& out) {
    if (IsPdf(p)) {
        const int pages = OpenPdf(p.string())->pages();
        for (int i = 1; i <= pages; ++i) out.push_back({p.string(), i});
    } else {
        out.push_back({p.string(), 0});
    }
}

[[noreturn]] void TooLarge(const std::string& what) {
    throw ReadError(what + " is larger than " + std::to_string(std::lround(kMaxScanPixels / 1e6)) +
                    " million pixels");
}

// The grey image decode() returns, or ReadError.
template <class Decode>
cv::Mat Decoded(Decode&& decode) {
    cv::Mat grey;
    try {
        grey = decode();
    } catch (const cv::Exception& e) {
        // OpenCV refuses an image above its own limit (OPENCV_IO_MAX_IMAGE_PIXELS, by default
        // 2^30) from its header, before decoding it.
        if (std::string_view(e.what()).find("MAX_IMAGE_") != std::string_view::npos)
            TooLarge("the image");
        grey.release();
    }
    if (grey.empty()) throw ReadError("cannot decode the image");
    if (static_cast<double>(grey.total()) > kMaxScanPixels) TooLarge("the image");
    return grey;
}

}  // namespace

std::string ScanSource::Name() const {
    return pdfPage > 0 ? path + "#" + std::to_string(pdfPage) : path;
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

std::vector<ScanSource> ListScans(const std::vector<std::string>& args) {
    std::vector<ScanSource> out;
    for (const std::string& arg : args) {
        const fs::path p(arg);
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            std::vector<fs::path> files;
            for (const fs::directory_entry& e : fs::directory_iterator(p, ec))
                if (e.is_regular_file(ec) && (IsImage(e.path()) || IsPdf(e.path())))
                    files.push_back(e.path());
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
    return out;
}

cv::Mat LoadScan(const ScanSource& scan, int pdfDpi) {
    if (scan.pdfPage == 0)
        return Decoded([&] { return cv::imread(scan.path, cv::IMREAD_GRAYSCALE); });
    const std::unique_ptr<poppler::document> doc = OpenPdf(scan.path);
    const std::unique_ptr<poppler::page> page(doc->create_page(scan.pdfPage - 1));
    if (!page) throw ReadError("the PDF has no page " + std::to_string(scan.pdfPage));
    // Sized before rasterising: poppler would allocate a poster-sized page whole.
    const poppler::rectf box = page->page_rect();
    const double pixelsPerPoint = pdfDpi / 72.0;
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

cv::Mat DecodeScan(const std::vector<uchar>& bytes) {
    return Decoded([&] { return cv::imdecode(bytes, cv::IMREAD_GRAYSCALE); });
}

}  // namespace varelo::read
