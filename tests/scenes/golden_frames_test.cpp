// The comparison that golden frames go through: what it lets pass and what it
// catches. The frames themselves are compared in the whole-show test at 60 frames
// a second.
#include "golden_image.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A grey ramp with one bright 32x32 square at x, standing in for a glyph.
RgbImage syntheticFrame(int x0)
{
    RgbImage image{160, 64, std::vector<uint8_t>(160 * 64 * 3)};
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 160; ++x)
            for (int c = 0; c < 3; ++c)
                image.at(x, y)[c] = x >= x0 && x < x0 + 32 && y < 32 ? 230 : static_cast<uint8_t>((x + y + 40 * c) / 2);
    return image;
}

int failing(const RgbImage& actual, const RgbImage& expected)
{
    return compareImages(actual, expected, GoldenTolerance{}.channel).pixelsBeyondTolerance -
           GoldenTolerance{}.pixelsAllowedBeyond;
}

} // namespace

TEST(GoldenComparison, OneBitRoundingPassesAMisplacedGlyphOrAWrongBlendFails)
{
    const RgbImage reference = syntheticFrame(40);
    RgbImage rounded = reference;
    for (size_t i = 0; i < rounded.rgb.size(); i += 7)
        rounded.rgb[i] = static_cast<uint8_t>(rounded.rgb[i] == 255 ? 254 : rounded.rgb[i] + 1);
    EXPECT_LE(failing(rounded, reference), 0);
    EXPECT_GT(failing(syntheticFrame(58), reference), 0) << "a glyph one cell along";

    // Half-transparent white over the frame: blended with source alpha, or wrongly
    // with the additive factors of the title's copies (one, source alpha).
    RgbImage blended = reference, blendedWrongly = reference;
    for (size_t i = 0; i < reference.rgb.size(); ++i) {
        blended.rgb[i] = static_cast<uint8_t>((255 + reference.rgb[i]) / 2);
        blendedWrongly.rgb[i] = static_cast<uint8_t>(std::min(255, 255 + reference.rgb[i] / 2));
    }
    EXPECT_GT(failing(blendedWrongly, blended), 0);
}
