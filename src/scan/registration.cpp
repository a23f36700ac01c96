#include "scan/registration.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <opencv2/imgproc.hpp>

namespace varelo::read {

namespace {

// Marks are found on a copy reduced to about this many pixels per millimetre (100 dpi): enough
// to place a 3.5 mm mark within a tenth of a millimetre, and quick.
constexpr double kWorkPixelsPerMm = 3.5;
// Ink is what is darker than this share of the paper level.
constexpr double kInkShare = 0.5;
// How far a mark may stand from where the page's corners put it.
constexpr double kMarkToleranceMm = 1.2;
// How far a corner mark may stand from where it would be on a perfect scan: shift, skew and
// scale of an ordinary scanner together.
constexpr double kCornerSearchShare = 0.12;  // of the page's longer side
// The map must be a near-similarity: scale and skew of a scanner, not of another page.
constexpr double kScaleTolerance = 0.08;
constexpr double kSkewToleranceDegrees = 8;
// Share of a page's marks that must be found, and of another page's marks that may show.
constexpr double kMarksNeeded = 0.9;

// Where a page's mark was not found as a mark, its place is this much darker than the paper
// across its width when the mark is there but spoiled (a line drawn through it, or printed at
// a third of the toner or more); a pencil line ruled over the place of a missing mark is
// narrower than the mark and leaves one side of it paper.
constexpr double kSpoiledMarkInk = 0.2;

// The scales to try, one tolerance apart, when the page does not fill the scan.
constexpr double kSmallerPageScales[] = {0.86, 0.74};
constexpr const char* kNoMarksInTemplate = "the template has no marks";

constexpr double kPi = 3.14159265358979323846;

// A blob has a mark's size when its box is within these shares of the mark's sides, plus two
// pixels for the edges the reduction blurs; its ink within these shares of the mark's area; and
// when its ink fills this much of its box, which a ring or a stroke does not.
constexpr double kBlobSideMin = 0.65, kBlobSideMax = 1.5;
constexpr double kBlobEdgePixels = 2;
constexpr double kBlobAreaMin = 0.55, kBlobAreaMax = 1.6;
constexpr double kBlobFillMin = 0.65;

// Three corner marks fix an affine map; each is tried as each of the few blobs farthest out
// towards its corner of the scan, which leaves room for a speck or two beyond it.
constexpr size_t kCornerMarks = 3;
constexpr size_t kCandidatesPerCorner = 3;

// The blob grid's cells: at most about this many, so a large scan's grid stays small.
constexpr double kMaxGridCells = 1e5;
// A map that sends a point this far out, or to no number at all, is degenerate: nothing there.
constexpr double kFarOff = 1e9;

// A spoiled mark is looked for in two strips, at these shares of its width from its left and
// this share wide, over its middle half in height.
constexpr double kStripLefts[] = {0.15, 0.65};
constexpr double kStripWidth = 0.2;
constexpr double kStripTop = 0.25, kStripBottom = 0.75;

// A row mark corrects the places whose centre is within this of its own, in mm: rows of the
// grid stand more than a millimetre apart.
constexpr double kRowReachMm = 0.5;

struct Blob {
    cv::Point2d centre;  // work pixels
};

// The paper level: the median grey of the page, which is mostly paper.
double PaperLevel(const cv::Mat& work) {
    const int channels[] = {0};
    const int bins[] = {256};
    const float range[] = {0, 256};
    const float* ranges[] = {range};
    cv::Mat hist;
    cv::calcHist(&work, 1, channels, cv::Mat(), hist, 1, bins, ranges);
    const double half = static_cast<double>(work.total()) / 2;
    double sum = 0;
    for (int v = 0; v < 256; ++v) {
        sum += hist.at<float>(v);
        if (sum >= half) return std::max(v, 1);
    }
    return 255;
}

// Solid blobs the size of a mark (filled bubbles among them).
std::vector<Blob> MarkLikeBlobs(const cv::Mat& work, double paper, double markW, double markH) {
    cv::Mat ink, labels, stats, centroids;
    cv::threshold(work, ink, paper * kInkShare, 255, cv::THRESH_BINARY_INV);
    const int n = cv::connectedComponentsWithStats(ink, labels, stats, centroids, 8, CV_32S);
    std::vector<Blob> out;
    const double expected = markW * markH;
    for (int i = 1; i < n; ++i) {
        const int w = stats.at<int>(i, cv::CC_STAT_WIDTH);
        const int h = stats.at<int>(i, cv::CC_STAT_HEIGHT);
        const int area = stats.at<int>(i, cv::CC_STAT_AREA);
        if (w < markW * kBlobSideMin || w > markW * kBlobSideMax + kBlobEdgePixels ||
            h < markH * kBlobSideMin || h > markH * kBlobSideMax + kBlobEdgePixels)
            continue;
        if (area < expected * kBlobAreaMin || area > expected * kBlobAreaMax ||
            area < kBlobFillMin * w * h)
            continue;
        out.push_back({{centroids.at<double>(i, 0), centroids.at<double>(i, 1)}});
    }
    return out;
}

cv::Point2d Apply(const cv::Matx23d& m, const cv::Point2d& p) {
    return {m(0, 0) * p.x + m(0, 1) * p.y + m(0, 2), m(1, 0) * p.x + m(1, 1) * p.y + m(1, 2)};
}

// The affine map that takes the template points onto the scan points, least squares.
bool FitAffine(const std::vector<cv::Point2d>& from, const std::vector<cv::Point2d>& to,
               cv::Matx23d& out) {
    if (from.size() < 3) return false;
    cv::Mat a(static_cast<int>(from.size()), 3, CV_64F), bx(a.rows, 1, CV_64F),
        by(a.rows, 1, CV_64F);
    for (int i = 0; i < a.rows; ++i) {
        a.at<double>(i, 0) = from[static_cast<size_t>(i)].x;
        a.at<double>(i, 1) = from[static_cast<size_t>(i)].y;
        a.at<double>(i, 2) = 1;
        bx.at<double>(i) = to[static_cast<size_t>(i)].x;
        by.at<double>(i) = to[static_cast<size_t>(i)].y;
    }
    cv::Mat rx, ry;
    if (!cv::solve(a, bx, rx, cv::DECOMP_SVD) || !cv::solve(a, by, ry, cv::DECOMP_SVD))
        return false;
    out = cv::Matx23d(rx.at<double>(0), rx.at<double>(1), rx.at<double>(2), ry.at<double>(0),
                      ry.at<double>(1), ry.at<double>(2));
    return true;
}

// A scanner turns, shifts and scales the page a little; anything else is not this page.
bool PlausibleScan(const cv::Matx23d& m, double pixelsPerMm, bool upsideDown) {
    const cv::Point2d u(m(0, 0), m(1, 0)), v(m(0, 1), m(1, 1));
    const double su = std::hypot(u.x, u.y), sv = std::hypot(v.x, v.y);
    if (std::abs(su / pixelsPerMm - 1) > kScaleTolerance ||
        std::abs(sv / pixelsPerMm - 1) > kScaleTolerance)
        return false;
    const double skew =
        std::abs(std::asin(std::clamp((u.x * v.x + u.y * v.y) / (su * sv), -1.0, 1.0)));
    if (skew > kSkewToleranceDegrees * kPi / 180) return false;
    double angle = std::atan2(u.y, u.x);
    if (upsideDown) angle = std::remainder(angle - kPi, 2 * kPi);
    return std::abs(angle) <= kSkewToleranceDegrees * kPi / 180;
}

cv::Point2d Centre(const layout::OmrRect& r) {
    return {r.CenterX(), r.CenterY()};
}

// The blobs by square cells of the tolerance's side, so finding the blob near a point looks at
// the nine cells around it: a speckled scan has tens of thousands of mark-sized blobs, and every
// hypothesis looks for every mark of the template.
class BlobGrid {
  public:
    BlobGrid(const std::vector<Blob>& blobs, cv::Size area, double tolerance)
        : blobs_(blobs),
          tolerance_(tolerance),
          // Cells no smaller than the tolerance, and at most about 100 000 of them.
          cell_(std::max(tolerance, std::sqrt(area.area() / kMaxGridCells))),
          columns_(static_cast<int>(area.width / cell_) + 1),
          rows_(static_cast<int>(area.height / cell_) + 1),
          cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_)) {
        for (size_t i = 0; i < blobs.size(); ++i)
            cells_[Cell(Column(blobs[i].centre.x), Row(blobs[i].centre.y))].push_back(
                static_cast<int>(i));
    }

    // The blob nearest to p within the tolerance (the later of equals), or -1.
    int Nearest(const cv::Point2d& p) const {
        if (!(std::abs(p.x) < kFarOff && std::abs(p.y) < kFarOff)) return -1;
        int best = -1;
        double bestDistance = tolerance_;
        const int column = static_cast<int>(std::floor(p.x / cell_));
        const int row = static_cast<int>(std::floor(p.y / cell_));
        for (int r = std::max(0, row - 1); r <= std::min(rows_ - 1, row + 1); ++r)
            for (int c = std::max(0, column - 1); c <= std::min(columns_ - 1, column + 1); ++c)
                for (const int i : cells_[Cell(c, r)]) {
                    const double d = cv::norm(blobs_[static_cast<size_t>(i)].centre - p);
                    if (d < bestDistance || (d == bestDistance && i > best))
                        bestDistance = d, best = i;
                }
        return best;
    }

  private:
    int Column(double x) const { return std::clamp(static_cast<int>(x / cell_), 0, columns_ - 1); }
    int Row(double y) const { return std::clamp(static_cast<int>(y / cell_), 0, rows_ - 1); }
    size_t Cell(int column, int row) const {
        return static_cast<size_t>(row) * static_cast<size_t>(columns_) +
               static_cast<size_t>(column);
    }

    const std::vector<Blob>& blobs_;
    double tolerance_, cell_;
    int columns_, rows_;
    std::vector<std::vector<int>> cells_;
};

struct Hypothesis {
    int page = 0;
    bool upsideDown = false;
    cv::Matx23d toWork;
    double score = -1;
    std::vector<std::pair<size_t, int>> found;  // page mark index, blob
};

// The centres of the marks of other pages where page p has none.
std::vector<cv::Point2d> ForeignMarks(const layout::OmrTemplate& t, int p) {
    const std::vector<layout::OmrMark>& own = t.pages[static_cast<size_t>(p - 1)].marks;
    std::vector<cv::Point2d> out;
    for (size_t q = 0; q < t.pages.size(); ++q) {
        if (static_cast<int>(q) == p - 1) continue;
        for (const layout::OmrMark& other : t.pages[q].marks) {
            const cv::Point2d c = Centre(other.rect);
            const bool shared = std::any_of(own.begin(), own.end(), [&](const layout::OmrMark& o) {
                return cv::norm(Centre(o.rect) - c) < kMarkToleranceMm;
            });
            if (!shared) out.push_back(c);
        }
    }
    return out;
}

// How well the scan shows page p under the map: the share of its marks found, less the marks
// of other pages that show where page p has none.
Hypothesis Judge(const layout::OmrTemplate& t, int p, bool upsideDown, const cv::Matx23d& m,
                 const std::vector<cv::Point2d>& foreignMarks, const BlobGrid& blobs) {
    Hypothesis h{p, upsideDown, m, 0, {}};
    const std::vector<layout::OmrMark>& own = t.pages[static_cast<size_t>(p - 1)].marks;
    for (size_t i = 0; i < own.size(); ++i) {
        const int b = blobs.Nearest(Apply(m, Centre(own[i].rect)));
        if (b >= 0) h.found.emplace_back(i, b);
    }
    const auto foreign = std::count_if(foreignMarks.begin(), foreignMarks.end(),
                                       [&](auto c) { return blobs.Nearest(Apply(m, c)) >= 0; });
    h.score = (static_cast<double>(h.found.size()) - static_cast<double>(foreign)) /
              static_cast<double>(std::max<size_t>(1, own.size()));
    return h;
}

// How much darker than the paper a mark's place is under the map (template mm to scan pixels),
// in the lighter of two strips down its left and right parts: a mark fills both, a line drawn
// down the place of a missing mark fits between them or darkens one.
double InkAt(const cv::Mat& grey, double paper, const cv::Matx23d& m, const layout::OmrRect& r) {
    double ink = 1;
    for (const double left : kStripLefts) {
        const double x0 = r.x + r.width * left, x1 = x0 + r.width * kStripWidth;
        const double y0 = r.y + r.height * kStripTop, y1 = r.y + r.height * kStripBottom;
        std::vector<cv::Point2f> corners;
        for (const cv::Point2d& p :
             {cv::Point2d(x0, y0), cv::Point2d(x1, y0), cv::Point2d(x0, y1), cv::Point2d(x1, y1)}) {
            const cv::Point2d q = Apply(m, p);
            if (!(std::abs(q.x) < kFarOff && std::abs(q.y) < kFarOff)) return 0;
            corners.emplace_back(static_cast<float>(q.x), static_cast<float>(q.y));
        }
        const cv::Rect strip = cv::boundingRect(corners) & cv::Rect(0, 0, grey.cols, grey.rows);
        if (strip.empty()) return 0;
        ink = std::min(ink, 1 - cv::mean(grey(strip))[0] / paper);
    }
    return ink;
}

// The page's marks that the hypothesis did not find where the scan still shows ink: when they
// are most of its missing marks and the page explains every mark the winning page found, the
// scan is that page with its marks spoiled rather than the page whose marks are a subset.
size_t SpoiledMarks(const layout::OmrTemplate& t, const Hypothesis& h, const Hypothesis& winner,
                    const cv::Mat& grey, int factor, double paper) {
    // The hypothesis' map onto the full scan.
    cv::Matx23d toScan = h.toWork * static_cast<double>(factor);
    toScan(0, 2) += (factor - 1) * 0.5;
    toScan(1, 2) += (factor - 1) * 0.5;
    std::vector<int> blobs;
    for (const auto& f : h.found) blobs.push_back(f.second);
    for (const auto& f : winner.found)
        if (std::find(blobs.begin(), blobs.end(), f.second) == blobs.end()) return 0;
    const std::vector<layout::OmrMark>& marks = t.pages[static_cast<size_t>(h.page - 1)].marks;
    size_t missing = 0, inked = 0;
    for (size_t i = 0; i < marks.size(); ++i) {
        if (std::any_of(h.found.begin(), h.found.end(), [i](auto f) { return f.first == i; }))
            continue;
        ++missing;
        if (InkAt(grey, paper, toScan, marks[i].rect) >= kSpoiledMarkInk) ++inked;
    }
    return missing > 0 && 2 * inked >= missing ? inked : 0;
}

}  // namespace

cv::Point2d Registration::Locate(double xMm, double yMm) const {
    cv::Point2d p = Apply(toScan, {xMm, yMm});
    const std::pair<double, cv::Point2d>* nearest = nullptr;
    for (const auto& row : rows)
        if (std::abs(row.first - yMm) < kRowReachMm &&
            (!nearest || std::abs(row.first - yMm) < std::abs(nearest->first - yMm)))
            nearest = &row;
    if (nearest) p += nearest->second;
    return p;
}

double Registration::PixelsPerMmX() const {
    return std::hypot(toScan(0, 0), toScan(1, 0));
}
double Registration::PixelsPerMmY() const {
    return std::hypot(toScan(0, 1), toScan(1, 1));
}

namespace {

// Registers the scan taking it at about pixelsPerMm, with the page in its top left corner or in
// its middle.
Registration RegisterAtScale(const layout::OmrTemplate& t, const cv::Mat& grey, double pixelsPerMm,
                             bool centred) {
    Registration out;
    const layout::OmrPage& first = t.pages.front();
    const int factor = std::max(1, static_cast<int>(std::floor(pixelsPerMm / kWorkPixelsPerMm)));
    cv::Mat work;
    // A scan a few pixels wide would reduce to nothing along its short side.
    if (factor > 1)
        cv::resize(grey, work,
                   cv::Size(std::max(1, grey.cols / factor), std::max(1, grey.rows / factor)), 0, 0,
                   cv::INTER_AREA);
    else
        work = grey;
    const double workPerMm = pixelsPerMm / factor;

    out.paper = PaperLevel(work);
    if (first.marks.empty()) {
        out.reason = kNoMarksInTemplate;
        return out;
    }
    const layout::OmrRect& markRect = first.marks.front().rect;
    const std::vector<Blob> blobs =
        MarkLikeBlobs(work, out.paper, markRect.width * workPerMm, markRect.height * workPerMm);
    if (blobs.size() < kCornerMarks) {
        out.reason = "no positioning marks found (a blank page, or not a sheet?)";
        return out;
    }

    const BlobGrid grid(blobs, work.size(), kMarkToleranceMm * workPerMm);
    Hypothesis best;
    std::vector<Hypothesis> bestOfPage(t.pages.size());
    for (int p = 1; p <= static_cast<int>(t.pages.size()); ++p) {
        const layout::OmrPage& page = t.pages[static_cast<size_t>(p - 1)];
        std::vector<cv::Point2d> corners;
        for (const layout::OmrMark& m : page.marks)
            if (m.corner) corners.push_back(Centre(m.rect));
        if (corners.size() != kCornerMarks) continue;
        const std::vector<cv::Point2d> foreignMarks = ForeignMarks(t, p);
        const double radius = kCornerSearchShare * std::max(page.width, page.height) * workPerMm;
        for (const bool upsideDown : {false, true}) {
            // For each corner, the three blobs farthest out towards its corner of the scan.
            std::array<std::vector<int>, kCornerMarks> candidates;
            for (size_t k = 0; k < kCornerMarks; ++k) {
                cv::Point2d seen = corners[k];
                if (upsideDown) seen = {page.width - seen.x, page.height - seen.y};
                const cv::Point2d towards(seen.x < page.width / 2 ? -1 : 1,
                                          seen.y < page.height / 2 ? -1 : 1);
                const cv::Point2d margin = centred
                                               ? cv::Point2d(work.cols - page.width * workPerMm,
                                                             work.rows - page.height * workPerMm) /
                                                     2
                                               : cv::Point2d(0, 0);
                const cv::Point2d expected = seen * workPerMm + margin;
                std::vector<int>& c = candidates[k];
                for (size_t b = 0; b < blobs.size(); ++b)
                    if (cv::norm(blobs[b].centre - expected) <= radius)
                        c.push_back(static_cast<int>(b));
                std::sort(c.begin(), c.end(), [&](int a, int b) {
                    return blobs[static_cast<size_t>(a)].centre.dot(towards) >
                           blobs[static_cast<size_t>(b)].centre.dot(towards);
                });
                if (c.size() > kCandidatesPerCorner) c.resize(kCandidatesPerCorner);
            }
            for (const int a : candidates[0])
                for (const int b : candidates[1])
                    for (const int c : candidates[2]) {
                        if (a == b || b == c || a == c) continue;
                        cv::Matx23d m;
                        if (!FitAffine(corners,
                                       {blobs[static_cast<size_t>(a)].centre,
                                        blobs[static_cast<size_t>(b)].centre,
                                        blobs[static_cast<size_t>(c)].centre},
                                       m) ||
                            !PlausibleScan(m, workPerMm, upsideDown))
                            continue;
                        Hypothesis h = Judge(t, p, upsideDown, m, foreignMarks, grid);
                        if (h.score > bestOfPage[static_cast<size_t>(p - 1)].score)
                            bestOfPage[static_cast<size_t>(p - 1)] = h;
                        if (h.score > best.score) best = std::move(h);
                    }
        }
    }
    if (best.score < 0) {
        out.reason =
            "the three corner marks were not found (a corner torn or folded, or not a "
            "page of this sheet?)";
        return out;
    }
    if (best.score < kMarksNeeded) {
        out.reason =
            "the marks do not match any page of this template (another sheet, or marks "
            "hidden?)";
        return out;
    }
    // A page whose marks are among another page's (page 2's corners are page 1's) is also what
    // that other page shows when its own further marks are not found.
    for (const Hypothesis& other : bestOfPage) {
        if (other.page == 0 || other.page == best.page) continue;
        if (const size_t spoiled = SpoiledMarks(t, other, best, grey, factor, out.paper)) {
            out.doubt = "read as page " + std::to_string(other.page) + ", though " +
                        std::to_string(spoiled) + " of its marks are not clean (a line drawn " +
                        "through them, or printed too light?) and the page could be page " +
                        std::to_string(best.page);
            best = other;
            break;
        }
    }

    // Refit on every mark found, at full resolution.
    const std::vector<layout::OmrMark>& marks = t.pages[static_cast<size_t>(best.page - 1)].marks;
    std::vector<cv::Point2d> from, to;
    const auto full = [factor](const cv::Point2d& w) {
        return w * factor + cv::Point2d(factor - 1, factor - 1) * 0.5;
    };
    for (const auto& [index, blob] : best.found) {
        from.push_back(Centre(marks[index].rect));
        to.push_back(full(blobs[static_cast<size_t>(blob)].centre));
    }
    if (!FitAffine(from, to, out.toScan)) {
        out.reason = "the marks found do not fix the page";
        return out;
    }
    out.ok = true;
    out.page = best.page;
    out.upsideDown = best.upsideDown;
    // Each row mark corrects its row along the page's vertical: paper stretch and feed.
    const cv::Point2d down(out.toScan(0, 1), out.toScan(1, 1));
    const cv::Point2d unitDown = down / cv::norm(down);
    for (size_t i = 0; i < best.found.size(); ++i) {
        const layout::OmrMark& mark = marks[best.found[i].first];
        FoundMark found{best.found[i].first, to[i], {0, 0}};
        if (!mark.corner) {
            const cv::Point2d residual = to[i] - Apply(out.toScan, from[i]);
            found.correction = unitDown * residual.dot(unitDown);
            out.rows.emplace_back(mark.rect.CenterY(), found.correction);
        }
        out.marks.push_back(found);
    }
    return out;
}

}  // namespace

Registration RegisterScan(const layout::OmrTemplate& t, const cv::Mat& grey) {
    if (t.pages.empty() || grey.empty()) {
        Registration nothing;
        nothing.reason = "nothing to read";
        return nothing;
    }
    const layout::OmrPage& first = t.pages.front();
    // Most scans are of the page alone; a page on a larger glass (a B5 sheet scanned as A4, a
    // dark lid around it) or printed to fit a smaller paper is smaller than the scan says.
    const double pageFillsScan =
        std::sqrt(static_cast<double>(grey.cols) * grey.rows / (first.width * first.height));
    Registration out = RegisterAtScale(t, grey, pageFillsScan, false);
    for (const double smaller : kSmallerPageScales)
        for (const bool centred : {false, true}) {
            if (out.ok || out.reason == kNoMarksInTemplate) return out;
            Registration retry = RegisterAtScale(t, grey, pageFillsScan * smaller, centred);
            if (retry.ok) out = std::move(retry);
        }
    return out;
}

}  // namespace varelo::read
