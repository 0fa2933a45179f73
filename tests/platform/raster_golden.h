// Golden images for the rasteriser tests: a block of the back buffer compared exactly with
// tests/golden/<name>.png through the shared golden comparison (TOVIRA_UPDATE_GOLDEN=1
// rewrites the references; review them before committing).
#pragma once

#include "golden_image.h"

#include <cstdint>
#include <string>
#include <vector>

namespace d3d8test {

// The w x h block at (x0, y0) of a frame held as 0xAARRGGBB rows of frameWidth.
inline RgbImage crop(const std::vector<uint32_t>& frame, int frameWidth, int x0, int y0, int w, int h) {
    return imageFromFrame(frame.data() + static_cast<size_t>(y0) * frameWidth + x0, w, h, frameWidth * 4);
}

inline void expectGolden(const std::string& name, const RgbImage& actual) {
    EXPECT_TRUE(matchesGolden(actual, name, {.channel = 0, .pixelsAllowedBeyond = 0}));
}

}  // namespace d3d8test
