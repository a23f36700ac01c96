#include "read/scan_simulator.h"

#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>
#include <cstring>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "compose/template_reading.h"
#include "dialog_sheet.h"
#include "docx/writer.h"
#include "exam_request.h"
#include "interop/office_support.h"
#include "render/gui_app.h"
#include "render/page_renderer.h"
#include "scan/scan_source.h"

namespace varelo::scansim {

namespace fs = std::filesystem;

namespace {

double PixelsPerMm(int dpi) {
    return dpi / 25.4;
}

cv::Mat& PageOf(std::vector<cv::Mat>& pages, const layout::OmrRect& r) {
    return pages.at(static_cast<size_t>(r.page - 1));
}

// Darkens the page under mask (0..1) by darkness: ink on paper multiplies.
void Darken(cv::Mat& page, const cv::Mat& mask, const cv::Rect& where, double darkness) {
    const cv::Rect inside = where & cv::Rect(0, 0, page.cols, page.rows);
    for (int y = inside.y; y < inside.y + inside.height; ++y)
        for (int x = inside.x; x < inside.x + inside.width; ++x) {
            const float m = mask.at<float>(y - where.y, x - where.x);
            uchar& v = page.at<uchar>(y, x);
            v = cv::saturate_cast<uchar>(v * (1 - darkness * m));
        }
}

}  // namespace

std::unique_ptr<Sheet> MakeSheet(const std::string& layoutName,
                                 const std::vector<cli::GroupEntry>& groups,
                                 const std::vector<exam::WrittenSection>& sections,
                                 const exam::SheetMarks& marks) {
    auto sheet = std::make_unique<Sheet>();
    cli::ExamRequest request{layoutName, {}, {}, {}, {}, {}, sections, marks, {}, {}};
    if (!groups.empty()) request.groups = groups;
    const auto checked = cli::CheckRequest(request);
    const auto* made = std::get_if<cli::RequestedExam>(&checked);
    if (!made) return nullptr;
    sheet->doc = &settings::MakeSheet(sheet->app, made->valid, made->entry);
    sheet->omr = layout::BuildOmrTemplate(*sheet->doc, made->valid.exam, made->valid.plan);
    return sheet;
}

std::vector<cv::Mat> PrintVarelo(const host::Document& doc, int dpi) {
    render::EnsureGuiApplication();
    const render::PageRenderer renderer(doc);
    const double scale = dpi / 72.0;
    std::vector<cv::Mat> pages;
    for (int p = 0; p < renderer.PageCount(); ++p) {
        const QSizeF size = renderer.PageSize() * scale;
        QImage image(qRound(size.width()), qRound(size.height()), QImage::Format_Grayscale8);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(scale, scale);
            renderer.Draw(painter, p);
        }
        cv::Mat page(image.height(), image.width(), CV_8UC1);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(page.ptr(y), image.constScanLine(y), static_cast<size_t>(image.width()));
        pages.push_back(page);
    }
    return pages;
}

std::vector<std::vector<cv::Mat>> PrintLibreOffice(const std::vector<const host::Document*>& docs,
                                                   int dpi, const fs::path& work) {
    if (!interop::OnPath("soffice")) return {};
    fs::create_directories(work);
    std::vector<fs::path> files;
    for (size_t i = 0; i < docs.size(); ++i) {
        files.push_back(work / ("sheet-" + std::to_string(i + 1) + ".docx"));
        host::SaveDocx(*docs[i], files.back().string());
    }
    std::string log;
    if (interop::ConvertToPdf(files, work / "home", work, log) != 0) return {};
    std::vector<std::vector<cv::Mat>> printed;
    for (fs::path file : files) {
        printed.emplace_back();
        for (const read::ScanSource& s : read::ListScans({file.replace_extension(".pdf").string()}))
            printed.back().push_back(read::LoadScan(s, dpi));
    }
    return printed;
}

Answers RandomAnswers(const layout::OmrTemplate& t, std::mt19937& rng) {
    Answers a;
    std::uniform_int_distribution<int> digit(0, 9), kind(0, 9);
    for (size_t c = 0; c < t.candidateColumns.size(); ++c)
        a.candidate += static_cast<char>('0' + digit(rng));
    for (const layout::OmrItem& item : t.items) {
        std::uniform_int_distribution<size_t> option(0, item.options.size() - 1);
        const int k = kind(rng);
        std::string labels;
        if (k >= 1) labels = item.options[option(rng)].value;  // one in ten left blank
        if (k >= 8) {                                          // two in ten with a second fill
            const std::string second = item.options[option(rng)].value;
            if (second != labels) labels += second;
        }
        // In template order, as the reader reports them.
        std::string ordered;
        for (const layout::OmrBubble& b : item.options)
            if (labels.find(b.value) != std::string::npos) ordered += b.value;
        a.items.push_back(ordered);
    }
    return a;
}

void Pencil(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, double coverage,
            double darkness, std::mt19937& rng) {
    const double ppm = PixelsPerMm(dpi);
    std::normal_distribution<double> offset(0, 0.12), grain(0, 0.06);
    // An ellipse of area coverage * box: semi-axes scaled by sqrt(coverage * 4 / pi).
    const double k = std::sqrt(coverage * 4 / CV_PI);
    const double a = rect.width / 2 * k * ppm, b = rect.height / 2 * k * ppm;
    const cv::Point2d c((rect.CenterX() + offset(rng)) * ppm, (rect.CenterY() + offset(rng)) * ppm);
    const cv::Rect box(static_cast<int>(c.x - a) - 2, static_cast<int>(c.y - b) - 2,
                       static_cast<int>(2 * a) + 5, static_cast<int>(2 * b) + 5);
    cv::Mat mask(box.size(), CV_32F);
    for (int y = 0; y < box.height; ++y)
        for (int x = 0; x < box.width; ++x) {
            const double dx = (box.x + x + 0.5 - c.x) / a, dy = (box.y + y + 0.5 - c.y) / b;
            // Soft edge of about a pixel, graphite grain inside.
            const double edge =
                std::clamp((1 - std::sqrt(dx * dx + dy * dy)) * std::min(a, b), 0.0, 1.0);
            mask.at<float>(y, x) =
                static_cast<float>(std::clamp(edge * (1 + grain(rng)), 0.0, 1.0));
        }
    Darken(PageOf(pages, rect), mask, box, darkness);
}

void FillAnswers(std::vector<cv::Mat>& pages, const layout::OmrTemplate& t, const Answers& a,
                 int dpi, std::mt19937& rng) {
    std::uniform_real_distribution<double> coverage(0.6, 1.0), darkness(0.6, 0.85);
    for (size_t c = 0; c < a.candidate.size() && c < t.candidateColumns.size(); ++c)
        Pencil(pages, t.candidateColumns[c][static_cast<size_t>(a.candidate[c] - '0')].rect, dpi,
               coverage(rng), darkness(rng), rng);
    for (size_t i = 0; i < a.items.size() && i < t.items.size(); ++i)
        for (const layout::OmrBubble& b : t.items[i].options)
            if (a.items[i].find(b.value) != std::string::npos)
                Pencil(pages, b.rect, dpi, coverage(rng), darkness(rng), rng);
}

void Erased(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, double residue) {
    const double ppm = PixelsPerMm(dpi);
    const cv::Rect box(static_cast<int>(rect.x * ppm), static_cast<int>(rect.y * ppm),
                       static_cast<int>(rect.width * ppm), static_cast<int>(rect.height * ppm));
    Darken(PageOf(pages, rect), cv::Mat(box.size(), CV_32F, cv::Scalar(1)), box, residue);
}

void Stray(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, bool tick) {
    const double ppm = PixelsPerMm(dpi);
    cv::Mat& page = PageOf(pages, rect);
    const cv::Point right(static_cast<int>((rect.x + rect.width) * ppm),
                          static_cast<int>(rect.CenterY() * ppm));
    if (tick) {
        // A tick from the bubble's right edge up and out, as a hand checks an option.
        const cv::Point low =
            right + cv::Point(static_cast<int>(0.6 * ppm), static_cast<int>(0.8 * ppm));
        cv::line(page, right - cv::Point(static_cast<int>(0.4 * ppm), 0), low, 60,
                 std::max(1, static_cast<int>(0.3 * ppm)), cv::LINE_AA);
        cv::line(page, low,
                 low + cv::Point(static_cast<int>(1.2 * ppm), static_cast<int>(-2.2 * ppm)), 60,
                 std::max(1, static_cast<int>(0.3 * ppm)), cv::LINE_AA);
    } else {
        cv::circle(page, right + cv::Point(static_cast<int>(0.5 * ppm), 0),
                   static_cast<int>(0.5 * ppm), 50, cv::FILLED, cv::LINE_AA);
    }
}

void PencilLine(std::vector<cv::Mat>& pages, int page, cv::Point2d fromMm, cv::Point2d toMm,
                int dpi, double widthMm, double darkness) {
    const double ppm = PixelsPerMm(dpi);
    cv::Mat& p = pages.at(static_cast<size_t>(page - 1));
    cv::Mat mask(p.size(), CV_32F, cv::Scalar(0));
    cv::line(mask, fromMm * ppm, toMm * ppm, 1.0, std::max(1, static_cast<int>(widthMm * ppm)),
             cv::LINE_AA);
    Darken(p, mask, cv::Rect(0, 0, p.cols, p.rows), darkness);
}

void FadeRowMarks(std::vector<cv::Mat>& pages, const layout::OmrTemplate& t, int page, int dpi,
                  double toner) {
    const double ppm = PixelsPerMm(dpi);
    cv::Mat& p = pages.at(static_cast<size_t>(page - 1));
    for (const layout::OmrMark& m : t.pages.at(static_cast<size_t>(page - 1)).marks) {
        if (m.corner) continue;
        // The glyph's box and a little around it, for its antialiased edge.
        const cv::Rect box =
            cv::Rect(static_cast<int>(m.rect.x * ppm) - 2, static_cast<int>(m.rect.y * ppm) - 2,
                     static_cast<int>(m.rect.width * ppm) + 5,
                     static_cast<int>(m.rect.height * ppm) + 5) &
            cv::Rect(0, 0, p.cols, p.rows);
        cv::Mat ink = p(box);
        ink.convertTo(ink, CV_8U, toner, 255 * (1 - toner));
    }
}

cv::Mat Scan(const cv::Mat& page, const Scanner& s, int dpi, std::mt19937& rng) {
    const double ppm = PixelsPerMm(dpi);
    // The paper's own grey (printing and filling left the paper white).
    cv::Mat paper;
    page.convertTo(paper, CV_8U, s.paperLevel / 255.0);

    // The page lies on the glass turned, shifted and scaled about its centre.
    const cv::Point2f centre(page.cols / 2.0f, page.rows / 2.0f);
    cv::Mat m =
        cv::getRotationMatrix2D(centre, s.rotateDegrees + (s.upsideDown ? 180 : 0), s.scale);
    m.at<double>(0, 2) += (s.shiftXMm + s.glassMarginMm) * ppm;
    m.at<double>(1, 2) += (s.shiftYMm + s.glassMarginMm) * ppm;
    const int margin = static_cast<int>(std::lround(s.glassMarginMm * ppm));
    cv::Mat scanned;
    // Beyond the page the lid shows, or the page's own paper where the glass ends with it.
    cv::warpAffine(paper, scanned, m, page.size() + cv::Size(2 * margin, 2 * margin),
                   cv::INTER_LINEAR, cv::BORDER_CONSTANT,
                   cv::Scalar(margin > 0 ? s.lidLevel : s.paperLevel));
    if (s.blurSigma > 0) cv::GaussianBlur(scanned, scanned, cv::Size(), s.blurSigma * dpi / 200.0);

    cv::Mat colour;
    if (s.yellowish) {
        // Yellow paper: blue absorbed most, green a little; the grey of the paper stays.
        std::vector<cv::Mat> channels(3);
        scanned.convertTo(channels[0], CV_8U, 0.78);  // B
        scanned.convertTo(channels[1], CV_8U, 1.0);   // G
        scanned.convertTo(channels[2], CV_8U, 1.06);  // R
        cv::merge(channels, colour);
    } else {
        colour = scanned;
    }
    if (s.noiseSigma > 0) {
        cv::Mat noise(colour.size(), CV_MAKETYPE(CV_16S, colour.channels()));
        cv::theRNG().state = rng();
        cv::randn(noise, 0, s.noiseSigma);
        cv::Mat wide;
        colour.convertTo(wide, CV_16S);
        wide += noise;
        wide.convertTo(colour, CV_8U);
    }
    std::vector<uchar> bytes;
    if (s.jpegQuality > 0)
        cv::imencode(".jpg", colour, bytes, {cv::IMWRITE_JPEG_QUALITY, s.jpegQuality});
    else
        cv::imencode(".png", colour, bytes, {cv::IMWRITE_PNG_COMPRESSION, 1});
    return cv::imdecode(bytes, cv::IMREAD_GRAYSCALE);
}

void TearCorner(cv::Mat& scan, double sizeMm, int dpi) {
    const int size = static_cast<int>(sizeMm * PixelsPerMm(dpi));
    const std::vector<cv::Point> triangle{
        {scan.cols, scan.rows - size}, {scan.cols, scan.rows}, {scan.cols - size, scan.rows}};
    cv::fillConvexPoly(scan, triangle, cv::Scalar(255));
}

void WritePdf(const cv::Mat& scan, const fs::path& path, int dpi) {
    const QImage image(scan.data, scan.cols, scan.rows, static_cast<qsizetype>(scan.step),
                       QImage::Format_Grayscale8);
    QPdfWriter pdf(QString::fromStdString(path.string()));
    pdf.setResolution(dpi);
    pdf.setPageSize(
        QPageSize(QSizeF(scan.cols * 25.4 / dpi, scan.rows * 25.4 / dpi), QPageSize::Millimeter));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter(&pdf);
    painter.drawImage(QRect(0, 0, scan.cols, scan.rows), image);
}

}  // namespace varelo::scansim
