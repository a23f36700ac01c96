#pragma once

// Length units of the document surface. Lengths are held in points, as the word processor does.
namespace varelo::host {

constexpr double kPointsPerCentimeter = 72.0 / 2.54;

constexpr double CentimetersToPoints(double cm) {
    return cm * kPointsPerCentimeter;
}
constexpr double PointsToCentimeters(double pt) {
    return pt / kPointsPerCentimeter;
}

// Twentieths of a point, the unit of most .docx lengths.
constexpr long PointsToTwips(double pt) {
    const double t = pt * 20.0;
    return static_cast<long>(t < 0 ? t - 0.5 : t + 0.5);
}
constexpr double TwipsToPoints(long twips) {
    return static_cast<double>(twips) / 20.0;
}

}  // namespace varelo::host
