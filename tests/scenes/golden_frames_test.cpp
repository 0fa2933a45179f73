// The comparison that golden frames go through: what it lets pass and what it
// catches. The frames themselves are compared in the whole-show test at 60 frames
// a second.
#include "golden_image.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// A grey ramp with a few bright 32x32 squares, standing in for a frame with glyphs.
RgbImage syntheticFrame(int squareShift)
{
    RgbImage image;
    image.width = 640;
    image.height = 480;
    image.rgb.assign(640 * 480 * 3, 0);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            for (int c = 0; c < 3; ++c)
                image.at(x, y)[c] = static_cast<uint8_t>((x + y + 40 * c) / 5);
    for (int square = 0; square < 5; ++square)
        for (int y = 190; y < 222; ++y)
            for (int x = 0; x < 32; ++x)
                std::fill_n(image.at(194 + 18 * square + squareShift + x, y), 3, 230);
    return image;
}

} // namespace

TEST(GoldenComparison, OneBitRoundingPassesAMisplacedGlyphOrAWrongBlendFails)
{
    const RgbImage reference = syntheticFrame(0);

    RgbImage rounded = reference;
    for (size_t i = 0; i < rounded.rgb.size(); i += 7)
        rounded.rgb[i] = static_cast<uint8_t>(rounded.rgb[i] == 255 ? 254 : rounded.rgb[i] + 1);
    EXPECT_EQ(compareImages(rounded, reference, GoldenTolerance{}.channel).pixelsBeyondTolerance, 0);

    const ImageComparison misplaced = compareImages(syntheticFrame(18), reference, GoldenTolerance{}.channel);
    EXPECT_GT(misplaced.pixelsBeyondTolerance, GoldenTolerance{}.pixelsAllowedBeyond);

    // Half-transparent white over the frame: blended with source alpha, or wrongly
    // with the additive factors of the title's copies (one, source alpha).
    RgbImage blended = reference, blendedWrongly = reference;
    for (size_t i = 0; i < reference.rgb.size(); ++i) {
        blended.rgb[i] = static_cast<uint8_t>((255 + reference.rgb[i]) / 2);
        blendedWrongly.rgb[i] = static_cast<uint8_t>(std::min(255, 255 + reference.rgb[i] / 2));
    }
    EXPECT_GT(compareImages(blendedWrongly, blended, GoldenTolerance{}.channel).pixelsBeyondTolerance,
              GoldenTolerance{}.pixelsAllowedBeyond);
}
