#pragma once

#include <opencv2/core.hpp>
#include <string>

// Animated PNG (APNG): a PNG whose frames follow its first image. OpenCV decodes the first
// image only, so each frame is rebuilt as a PNG of its own and decoded.
namespace varelo::read {

// The frames of an animated PNG; 1 for any other file (a plain PNG, or one that cannot be
// read: decoding it says why). Reads the file only up to its image data.
int AnimatedPngFrames(const std::string& path);

// Frame n (1-based) of an animated PNG as an 8-bit grey image, the frames before it drawn
// under it as far back as the last frame that covers the whole picture. Frames are taken as
// opaque, as a scan's are. Throws ReadError when the file is damaged or the picture is larger
// than kMaxScanPixels.
cv::Mat AnimatedPngFrame(const std::string& path, int n);

}  // namespace varelo::read
