#pragma once

// Length units of the document surface, the scanner template and the pictures made of both.
// Lengths of the document are held in points, as the word processor does; the template's in
// millimetres; pictures have their dots per inch.
namespace varelo::host {

constexpr double kPointsPerInch = 72.0;
constexpr double kMillimetresPerInch = 25.4;
constexpr double kCentimetresPerInch = 2.54;
// Twentieths of a point, the unit of most .docx lengths.
constexpr double kTwipsPerPoint = 20.0;

constexpr double kPointsPerCentimeter = kPointsPerInch / kCentimetresPerInch;
constexpr double kMillimetresPerPoint = kMillimetresPerInch / kPointsPerInch;

constexpr double CentimetersToPoints(double cm) {
    return cm * kPointsPerCentimeter;
}
constexpr double PointsToCentimeters(double pt) {
    return pt / kPointsPerCentimeter;
}

constexpr long PointsToTwips(double pt) {
    const double t = pt * kTwipsPerPoint;
    return static_cast<long>(t < 0 ? t - 0.5 : t + 0.5);
}
constexpr double TwipsToPoints(long twips) {
    return static_cast<double>(twips) / kTwipsPerPoint;
}

// Pixels of a picture at dpi dots per inch.
constexpr double PixelsPerPoint(double dpi) {
    return dpi / kPointsPerInch;
}
constexpr double PixelsPerMillimetre(double dpi) {
    return dpi / kMillimetresPerInch;
}
constexpr double MillimetresPerPixel(double dpi) {
    return kMillimetresPerInch / dpi;
}

}  // namespace varelo::host
