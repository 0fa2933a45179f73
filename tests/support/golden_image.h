// Frames as images, PNG in and out, and the comparison of a rendered frame with a
// reference image kept under tests/golden: a one-bit rounding difference passes, a
// misplaced glyph or a wrong blend does not. A failed comparison leaves the actual
// frame and a difference image beside the build for inspection.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb; // width x height x 3, rows top to bottom

    uint8_t* at(int x, int y) { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
    const uint8_t* at(int x, int y) const { return &rgb[(static_cast<size_t>(y) * width + x) * 3]; }
};

// An X8R8G8B8 frame (one 32-bit pixel per column, pitch in bytes) as an RGB image.
RgbImage imageFromFrame(const uint32_t* pixels, int width, int height, int pitchBytes);

// False with a message in error when the file is missing or not a readable PNG.
bool readPng(const std::string& path, RgbImage& image, std::string& error);
bool writePng(const std::string& path, const RgbImage& image);

struct ImageComparison {
    bool sameSize = false;
    int pixelsBeyondTolerance = 0; // pixels with a channel off by more than the tolerance
    int largestChannelDifference = 0;
    RgbImage difference;           // black where equal, brighter where further off
};

ImageComparison compareImages(const RgbImage& actual, const RgbImage& expected, int channelTolerance);

struct GoldenTolerance {
    int channel = 2;             // per channel, 0-255
    int pixelsAllowedBeyond = 0; // pixels that may exceed the channel tolerance
};

// Compares actual with the PNG at referencePath; when they differ, the actual frame and a
// difference image are written to golden-failures/<name>-actual.png and -difference.png
// in the build tree.
::testing::AssertionResult matchesImage(const RgbImage& actual, const std::string& referencePath,
                                        const std::string& name, GoldenTolerance tolerance = {});

// Compares actual with tests/golden/<name>.png. With TOVIRA_UPDATE_GOLDEN=1 in the
// environment a missing or differing reference is (re)written instead and the
// comparison passes; commit the written file after looking at it.
::testing::AssertionResult matchesGolden(const RgbImage& actual, const std::string& name,
                                         GoldenTolerance tolerance = {});
