#pragma once

namespace varelo::read {

// The largest scan read, in pixels: an A3 page scanned at 600 dpi has 70 million; this leaves
// room for larger paper or a finer scanner while one grey scan stays within 150 MB. Larger
// images and PDF pages are refused, PDF pages before they are rasterised. Apart from the rest
// of the reader, so that the command line can hand it to OpenCV before loading it.
inline constexpr double kMaxScanPixels = 150e6;

}  // namespace varelo::read
