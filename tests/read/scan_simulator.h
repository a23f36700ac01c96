#pragma once

// A scan simulator for the reader's tests and benchmarks: the example sheet printed by Varelo's
// renderer or by LibreOffice from the .docx, bubbles filled as a pencil would, then scanned by
// an imperfect scanner.
#include <filesystem>
#include <memory>
#include <opencv2/core.hpp>
#include <random>
#include <string>
#include <vector>

#include "doc/application.h"
#include "omr/omr_template.h"
#include "options.h"

namespace varelo::scansim {

// The example sheet of a layout: default texts, nine digits, one group of 30 items with four
// options, or the groups given; the sections and marks given.
struct Sheet {
    host::Application app;
    host::Document* doc = nullptr;
    layout::OmrTemplate omr;
};
std::unique_ptr<Sheet> MakeSheet(const std::string& layout,
                                 const std::vector<cli::GroupEntry>& groups = {},
                                 const std::vector<exam::WrittenSection>& sections = {},
                                 const exam::SheetMarks& marks = {});

// The printed pages as 8-bit grey images at dpi: by Varelo's renderer, or by LibreOffice from
// the .docx, every document with one start of the office program (work holds the files; empty
// when LibreOffice is not installed).
std::vector<cv::Mat> PrintVarelo(const host::Document& doc, int dpi);
std::vector<std::vector<cv::Mat>> PrintLibreOffice(const std::vector<const host::Document*>& docs,
                                                   int dpi, const std::filesystem::path& work);

// What a candidate filled: the digit of every candidate-number column and the labels of every
// item ("" for none).
struct Answers {
    std::string candidate;
    std::vector<std::string> items;
};
// Random answers: mostly one label, sometimes two, sometimes none.
Answers RandomAnswers(const layout::OmrTemplate& t, std::mt19937& rng);

// A pencil mark in a bubble: an ellipse covering `coverage` of the bubble's box, darkening the
// paper by `darkness`, with the grain of graphite and a hand's offset.
void Pencil(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, double coverage,
            double darkness, std::mt19937& rng);
// Fills the answers with pencil marks of coverage 60 to 100 % and darkness 0.6 to 0.85.
void FillAnswers(std::vector<cv::Mat>& pages, const layout::OmrTemplate& t, const Answers& a,
                 int dpi, std::mt19937& rng);
// An erased fill: the whole bubble at the residue's darkness.
void Erased(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, double residue);
// A dot or a tick beside the bubble, touching its outline.
void Stray(std::vector<cv::Mat>& pages, const layout::OmrRect& rect, int dpi, bool tick);

// A pencil line ruled on the page from one point to another (mm), widthMm wide.
void PencilLine(std::vector<cv::Mat>& pages, int page, cv::Point2d fromMm, cv::Point2d toMm,
                int dpi, double widthMm, double darkness);
// The row marks of a page printed with a share of the toner, the corner marks as they are.
void FadeRowMarks(std::vector<cv::Mat>& pages, const layout::OmrTemplate& t, int page, int dpi,
                  double toner);

// How the scanner treats the page.
struct Scanner {
    double rotateDegrees = 0;
    bool upsideDown = false;
    double shiftXMm = 0, shiftYMm = 0;
    double scale = 1;
    double blurSigma = 0;      // Gaussian, in pixels at 200 dpi
    double noiseSigma = 0;     // grey levels
    int jpegQuality = 0;       // 0: lossless
    int paperLevel = 255;      // grey of the paper
    bool yellowish = false;    // paper of that level in a yellow tint, scanned in colour
    double glassMarginMm = 0;  // the glass scanned beyond the page on every side, lid showing
    int lidLevel = 255;        // grey of the lid
};
// The scan of one printed page, decoded as a reader decodes a file: 8-bit grey.
cv::Mat Scan(const cv::Mat& page, const Scanner& s, int dpi, std::mt19937& rng);

// Tears the bottom-right corner off a scan: a triangle of sides sizeMm shows the scanner's
// white lid.
void TearCorner(cv::Mat& scan, double sizeMm, int dpi);

// A scan saved as a one-page PDF, as scanners do, at dpi.
void WritePdf(const cv::Mat& scan, const std::filesystem::path& path, int dpi);

}  // namespace varelo::scansim
