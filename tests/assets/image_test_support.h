// Helpers for the image reader tests: reference pictures, ImageMagick conversions, and
// comparison of decoded images in plain RGBA.
#pragma once

#include "image.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<BYTE>;

// A picture as 8-bit red, green, blue, alpha bytes, top row first.
struct Rgba {
    UINT width = 0;
    UINT height = 0;
    std::vector<BYTE> pixels; // 4 bytes per pixel

    const BYTE* at(UINT x, UINT y) const { return &pixels[(size_t{y} * width + x) * 4]; }
    BYTE* at(UINT x, UINT y) { return &pixels[(size_t{y} * width + x) * 4]; }
};

// A deterministic test picture: gradients, hard edges and a few saturated pixels; with
// `withAlpha` the alpha varies too, otherwise it is 255.
Rgba makeTestPicture(UINT width, UINT height, bool withAlpha);

// The picture with alpha 255 throughout.
Rgba opaqueOf(const Rgba& picture);
// The picture opaque, its channels rounded down to multiples of 51: few enough colours for a
// palette to hold it exactly.
Rgba fewColoursOf(const Rgba& picture);

// The rows of a decoded image as stored, top first (the first pitch bytes of each).
Bytes storedBytes(const DecodedImage& image);

// The decoded image (first of the chain) turned into RGBA, each channel widened to 8 bits
// as Direct3D does. Fails the test on formats that cannot be unpacked.
Rgba toRgba(const DecodedImage& image);

// Where the tests keep the files they generate; created on first use.
std::string scratchDirectory();
std::string scratchPath(const std::string& name);

Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);

// True when ImageMagick's convert is on the PATH.
bool haveConvert();
// Runs `convert <arguments>`; true on success.
bool runConvert(const std::string& arguments);
// Has ImageMagick decode `path` to 8-bit RGBA.
Rgba convertToRgba(const std::string& path, UINT width, UINT height);
// Has ImageMagick write `picture` (opaque unless `withAlpha`) as a scratch PNG named `name`; its path.
std::string sourcePng(const std::string& name, const Rgba& picture, bool withAlpha);
// Has ImageMagick write `source` with `options` as a `type` file named `name`.`type`; its path.
std::string convertTo(const std::string& source, const std::string& options, const std::string& type,
                      const std::string& name);

// Skips the current test when convert is missing.
#define REQUIRE_CONVERT()                                                    \
    do {                                                                     \
        if (!haveConvert())                                                  \
            GTEST_SKIP() << "ImageMagick's convert is not installed";        \
    } while (0)

// Decodes bytes with decodeImage; fails the test (and returns an empty image) on refusal.
DecodedImage decodeOrFail(const Bytes& bytes);
DecodedImage decodeOrFail(Bytes&&) = delete; // the image may point into the bytes

// decodeImage's answer to bytes no reader accepts.
constexpr HRESULT invalidData = static_cast<HRESULT>(0x88760B59);

// Little-endian fields, as the BMP, TGA and DDS headers store them.
void putLe16(Bytes& out, uint32_t v);
void putLe32(Bytes& out, uint32_t v);
uint32_t le16(const Bytes& b, size_t at);
uint32_t le32(const Bytes& b, size_t at);

// A TGA header's fields; the ID field is filled with letters.
struct TgaLayout {
    BYTE idLength = 0;
    BYTE colourMapType = 0;
    BYTE imageType = 2;
    uint16_t colourMapFirst = 0;
    uint16_t colourMapLength = 0;
    BYTE colourMapBits = 0;
    uint16_t width = 1;
    uint16_t height = 1;
    BYTE pixelBits = 24;
    BYTE descriptor = 0x20; // top-down
};
Bytes makeTga(const TgaLayout& layout, const Bytes& colourMap, const Bytes& pixels);

using ImageReader = bool (*)(const BYTE*, size_t, DecodedImage&);
// `read`, and decodeImage, accept `file` as `format`; `read`'s picture shows `expected` within
// `tolerance`. Returns `read`'s image.
DecodedImage expectDecodes(ImageReader read, const Bytes& file, D3DFORMAT format, const Rgba& expected,
                           int tolerance, const std::string& name);
DecodedImage expectDecodes(ImageReader, Bytes&&, D3DFORMAT, const Rgba&, int, const std::string&) = delete;
// `read` and decodeImage refuse `bytes`, leaving no pixels behind.
void expectRefused(ImageReader read, const Bytes& bytes, const std::string& what);
// `file` is read whole; every cut of it shorter than `refusedBelow` bytes is refused by `read`
// and by decodeImage, leaving no pixels behind.
void expectCutsRefused(ImageReader read, const Bytes& file, size_t refusedBelow, const std::string& name);

// Compares two pictures channel by channel within `tolerance`. On a mismatch it writes the
// actual and expected pictures as raw RGBA next to the build, naming them after `name`, and
// describes the first differing channel.
::testing::AssertionResult picturesMatch(const Rgba& actual, const Rgba& expected, int tolerance,
                                         const std::string& name);
