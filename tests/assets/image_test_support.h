// Helpers for the image reader tests: reference pictures, ImageMagick conversions, RGBA comparison.
#pragma once

#include "image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

using Bytes = std::vector<BYTE>;

// 8-bit red, green, blue, alpha bytes, top row first.
struct Rgba {
    UINT width = 0, height = 0;
    std::vector<BYTE> pixels;
    const BYTE* at(UINT x, UINT y) const { return &pixels[(size_t{y} * width + x) * 4]; }
};

// Gradients, hard edges and saturated pixels; alpha varies only `withAlpha`.
Rgba makeTestPicture(UINT width, UINT height, bool withAlpha);
// Channels rounded down to multiples of 51: few enough colours for a palette.
Rgba fewColoursOf(const Rgba& picture);

// The rows of a decoded image as stored, top first.
Bytes storedBytes(const DecodedImage& image);
// The first image of the chain in RGBA, channels widened as Direct3D does.
Rgba toRgba(const DecodedImage& image);

// A file in this process's scratch folder (created on first use); "" names the folder.
std::string scratchPath(const std::string& name);
Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);

// Runs ImageMagick's `convert <arguments>`; true on success.
bool runConvert(const std::string& arguments);
// ImageMagick's own decoding of `path` as 8-bit RGBA.
Rgba convertToRgba(const std::string& path, UINT width, UINT height);
// `picture` (opaque unless `withAlpha`) written as a scratch PNG; its path.
std::string sourcePng(const std::string& name, const Rgba& picture, bool withAlpha);
// `source` converted with `options` to a scratch `name`.`type`; its path.
std::string convertTo(const std::string& source, const std::string& options, const std::string& type,
                      const std::string& name);

#define REQUIRE_CONVERT()                                                                           \
    do {                                                                                            \
        if (std::system("convert -version > /dev/null 2>&1") != 0)                                  \
            GTEST_SKIP() << "ImageMagick's convert is not installed";                               \
    } while (0)

// decodeImage's image; a refusal fails the test.
DecodedImage decodeOrFail(const Bytes& bytes);
DecodedImage decodeOrFail(Bytes&&) = delete; // the image may point into the bytes

// decodeImage's answer to bytes no reader accepts.
constexpr HRESULT invalidData = static_cast<HRESULT>(0x88760B59);

// A little-endian field, as BMP headers store them.
inline void putLe32(Bytes& out, uint32_t v) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(BYTE(v >> shift));
}

// A TGA header's fields; the ID field is filled with letters.
struct TgaLayout {
    BYTE idLength = 0;
    BYTE colourMapType = 0;
    BYTE imageType = 2;
    uint16_t colourMapFirst = 0;
    uint16_t colourMapLength = 0;
    BYTE colourMapBits = 0;
    uint16_t width = 1, height = 1;
    BYTE pixelBits = 24;
    BYTE descriptor = 0x20; // top-down
};
Bytes makeTga(const TgaLayout& layout, const Bytes& colourMap, const Bytes& pixels);

using ImageReader = bool (*)(const BYTE*, size_t, DecodedImage&);
// `read` and decodeImage accept `file` as `format`, showing `expected` within `tolerance`.
DecodedImage expectDecodes(ImageReader read, const Bytes& file, D3DFORMAT format, const Rgba& expected,
                           int tolerance, const std::string& name);
DecodedImage expectDecodes(ImageReader, Bytes&&, D3DFORMAT, const Rgba&, int, const std::string&) = delete;
// `read` and decodeImage refuse `bytes`, leaving no pixels behind.
void expectRefused(ImageReader read, const Bytes& bytes, const std::string& what);
// `file` is read whole; every cut shorter than `refusedBelow` is refused as above.
void expectCutsRefused(ImageReader read, const Bytes& file, size_t refusedBelow, const std::string& name);

// Channel by channel within `tolerance`; a mismatch names the first differing channel.
::testing::AssertionResult picturesMatch(const Rgba& actual, const Rgba& expected, int tolerance,
                                         const std::string& name);
