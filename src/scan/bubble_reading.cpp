#include "scan/bubble_reading.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <string>

namespace varelo::read {

namespace {

// The middle of a bubble, where a fill shows and the empty bubble has only its thin letter;
// away from the outline, so a shift of half a millimetre still measures inside.
constexpr double kMiddleShare = 0.56;
// Scores: at least this much above an empty bubble is a fill, at most this much is blank.
// An erased mark leaves about a quarter; a pencil fill darkens the middle by two thirds or more.
constexpr double kFilledScore = 0.45;
constexpr double kBlankScore = 0.2;
// Ink over the bubble's whole box while its middle stays clear: a fill off the middle, or one
// between two bubbles, which may belong to either. A dot or tick beside the bubble and a clean
// scan's empty bubbles stay well under this.
constexpr double kOffCentreScore = 0.1;
// An empty bubble's level is the lower third of the page's bubbles of the same glyph that may be
// empty: at most kGlyphSpread above the page's median bubble (most bubbles are empty; that
// median is at most kMaxEmptyLevel). Empty glyphs differ by less than that spread ("1" against
// "8"), a fill lies well above it.
constexpr double kMaxEmptyLevel = 0.45;
constexpr double kGlyphSpread = 0.2;

// The value a share of the way up the sorted values.
double Quantile(std::vector<double> v, double share) {
    const auto at = v.begin() + static_cast<long>(static_cast<double>(v.size() - 1) * share);
    std::nth_element(v.begin(), at, v.end());
    return *at;
}

double MiddleDarkness(const cv::Mat& grey, const cv::Point2d& centre, double halfW, double halfH,
                      double paper) {
    const cv::Rect box(static_cast<int>(std::lround(centre.x - halfW)),
                       static_cast<int>(std::lround(centre.y - halfH)),
                       std::max(1, static_cast<int>(std::lround(2 * halfW))),
                       std::max(1, static_cast<int>(std::lround(2 * halfH))));
    const cv::Rect inside = box & cv::Rect(0, 0, grey.cols, grey.rows);
    if (inside.area() < box.area() / 2) return 0;  // off the scan
    const double mean = cv::mean(grey(inside))[0];
    return std::clamp(1 - mean / paper, 0.0, 1.0);
}

// The level to judge a glyph by when every one of its bubbles on the page is filled (a candidate
// number 555555555, every item answered A): the median of the other glyphs' empty levels. Its
// own empty level lies within the spread between glyphs of that, so its fills still score well
// above the filled mark while an erased one stays below it. Without any glyph to go by, the
// page's median bubble.
double EmptyLevelOfAnyGlyph(const std::map<std::string, double>& empty, double pageMedian) {
    if (empty.empty()) return pageMedian;
    std::vector<double> levels;
    for (const auto& [value, level] : empty) levels.push_back(level);
    return Quantile(levels, 0.5);
}

// Each bubble's darkness above an empty printed bubble of its glyph, 0 .. 1: the empty level is
// the lower third of the page's bubbles of that glyph that may be empty (most bubbles are).
std::vector<double> Scores(const std::vector<std::pair<const std::string*, BubbleReading*>>& onPage,
                           const std::vector<double>& darkness) {
    std::map<std::string, std::vector<double>> byGlyph;
    for (size_t i = 0; i < onPage.size(); ++i) byGlyph[*onPage[i].first].push_back(darkness[i]);
    const double mayBeEmpty = std::min(kMaxEmptyLevel, Quantile(darkness, 0.5)) + kGlyphSpread;
    std::map<std::string, double> empty;
    for (auto& [value, levels] : byGlyph) {
        std::erase_if(levels, [&](double d) { return d > mayBeEmpty; });
        if (!levels.empty()) empty[value] = Quantile(levels, 1.0 / 3);
    }
    const double typicalEmpty = EmptyLevelOfAnyGlyph(empty, mayBeEmpty - kGlyphSpread);
    for (const auto& [value, levels] : byGlyph) empty.try_emplace(value, typicalEmpty);
    std::vector<double> out;
    for (size_t i = 0; i < onPage.size(); ++i) {
        const double level = empty[*onPage[i].first];
        out.push_back(std::max(0.0, (darkness[i] - level) / (1 - level)));
    }
    return out;
}

template <class Fn>
void ForEachBubble(const layout::OmrTemplate& t, BubbleReadings& r, Fn&& fn) {
    for (size_t c = 0; c < t.candidateColumns.size(); ++c)
        for (size_t d = 0; d < t.candidateColumns[c].size(); ++d)
            fn(t.candidateColumns[c][d], r.candidate[c][d]);
    for (size_t i = 0; i < t.items.size(); ++i)
        for (size_t o = 0; o < t.items[i].options.size(); ++o)
            fn(t.items[i].options[o], r.items[i][o]);
    const std::vector<const std::vector<layout::OmrBubble>*> marks = layout::MarkFields(t);
    for (size_t m = 0; m < marks.size(); ++m)
        for (size_t b = 0; b < marks[m]->size(); ++b) fn((*marks[m])[b], r.marks[m][b]);
}

}  // namespace

const char* DecisionName(Decision d) {
    switch (d) {
        case Decision::Filled:
            return "filled";
        case Decision::Doubtful:
            return "doubtful";
        case Decision::Blank:
            break;
    }
    return "blank";
}

BubbleReadings::BubbleReadings(const layout::OmrTemplate& t) {
    for (const auto& column : t.candidateColumns) candidate.emplace_back(column.size());
    for (const layout::OmrItem& item : t.items) items.emplace_back(item.options.size());
    for (const auto* field : layout::MarkFields(t)) marks.emplace_back(field->size());
}

void ReadBubbles(const layout::OmrTemplate& t, const Registration& page, const cv::Mat& grey,
                 BubbleReadings& readings) {
    // Every bubble of the page with the glyph it prints ("8" holds more ink than "1").
    std::vector<std::pair<const std::string*, BubbleReading*>> onPage;
    std::vector<double> boxDarkness;
    ForEachBubble(t, readings, [&](const layout::OmrBubble& b, BubbleReading& r) {
        if (b.rect.page != page.page) return;
        r = BubbleReading{};
        r.read = true;
        r.centre = page.Locate(b.rect.CenterX(), b.rect.CenterY());
        const double halfW = b.rect.width / 2 * page.PixelsPerMmX();
        const double halfH = b.rect.height / 2 * page.PixelsPerMmY();
        r.darkness =
            MiddleDarkness(grey, r.centre, halfW * kMiddleShare, halfH * kMiddleShare, page.paper);
        boxDarkness.push_back(MiddleDarkness(grey, r.centre, halfW, halfH, page.paper));
        onPage.emplace_back(&b.value, &r);
    });
    if (onPage.empty()) return;
    std::vector<double> middle;
    for (const auto& [value, r] : onPage) middle.push_back(r->darkness);
    const std::vector<double> middleScores = Scores(onPage, middle);
    const std::vector<double> boxScores = Scores(onPage, boxDarkness);

    constexpr double kMiddle = (kFilledScore + kBlankScore) / 2;
    for (size_t i = 0; i < onPage.size(); ++i) {
        BubbleReading& r = *onPage[i].second;
        r.score = middleScores[i];
        r.decision = r.score >= kFilledScore  ? Decision::Filled
                     : r.score <= kBlankScore ? Decision::Blank
                                              : Decision::Doubtful;
        r.confidence = std::clamp(std::abs(r.score - kMiddle) / kMiddle, 0.0, 1.0);
        if (r.decision == Decision::Blank && boxScores[i] > kOffCentreScore)
            r.decision = Decision::Doubtful, r.confidence = 0;
    }
}

}  // namespace varelo::read
