// The BMP and headerless DIB readers: every bit depth, RLE8 and RLE4, both row orders, bit
// fields, and refusals, against hand-made files and files written by ImageMagick.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace {

struct DibLayout {
    int32_t width = 1, height = 1;
    uint16_t planes = 1;
    uint16_t bitCount = 24;
    uint32_t compression = 0;
    uint32_t coloursUsed = 0;
    std::vector<uint32_t> masks{}; // written after the 40-byte header
    Bytes palette{};               // blue, green, red, reserved per entry
    Bytes pixels{};
};

Bytes makeDib(const DibLayout& s)
{
    Bytes out;
    for (uint32_t field : {40u, uint32_t(s.width), uint32_t(s.height), s.planes | uint32_t{s.bitCount} << 16,
                           s.compression, uint32_t(s.pixels.size()), 2835u, 2835u, s.coloursUsed, 0u})
        putLe32(out, field);
    for (uint32_t m : s.masks)
        putLe32(out, m);
    out.insert(out.end(), s.palette.begin(), s.palette.end());
    out.insert(out.end(), s.pixels.begin(), s.pixels.end());
    return out;
}

Bytes makeBmp(const DibLayout& s)
{
    const Bytes dib = makeDib(s);
    Bytes out = {'B', 'M'};
    putLe32(out, static_cast<uint32_t>(14 + dib.size()));
    putLe32(out, 0);
    putLe32(out, static_cast<uint32_t>(14 + 40 + s.masks.size() * 4 + s.palette.size()));
    out.insert(out.end(), dib.begin(), dib.end());
    return out;
}

// 6×4, bottom row first.
const DibLayout rle8Example{.width = 6, .height = 4, .bitCount = 8, .compression = 1, .palette = Bytes(1024),
                            .pixels = {
                                3, 7,             // row 0: 7 7 7
                                0, 3, 1, 2, 3, 0, // absolute run 1 2 3 (padded)
                                0, 0,             // end of line
                                0, 2, 2, 1,       // delta: right 2, up 1 -> row 2, x 2
                                9, 5,             // run of 9: clipped at the row end
                                0, 0,             // end of line (row 3)
                                2, 4,             // row 3: 4 4
                                0, 1,             // end of bitmap
                            }};

} // namespace

TEST(BmpReader, RefusesHeadersItCannotRead)
{
    const Bytes pixel = {1, 2, 3, 0};
    const std::pair<std::string, DibLayout> cases[] = {
        {"width 0", {.width = 0, .pixels = pixel}},
        {"two planes", {.planes = 2, .pixels = pixel}},
        {"2 bits per pixel", {.bitCount = 2, .pixels = pixel}},
        {"JPEG compression", {.compression = 4, .pixels = pixel}},
        {"RLE8 with 24 bits", {.compression = 1, .pixels = pixel}},
        {"top-down RLE8", {.height = -1, .bitCount = 8, .compression = 1, .palette = Bytes(1024), .pixels = {0, 1}}},
        {"scattered mask bits", {.bitCount = 32, .compression = 3, .masks = {0xF0F0, 0xF0F0000, 0x0F}, .pixels = pixel}},
        {"more than 256 colours", {.bitCount = 8, .coloursUsed = 257, .palette = Bytes(257 * 4), .pixels = pixel}},
        {"palette beyond the data", {.bitCount = 8, .coloursUsed = 200, .palette = Bytes(100)}},
        {"too wide", {.width = 16385, .bitCount = 8, .palette = Bytes(1024), .pixels = Bytes(16388)}},
        {"pixel rows cut short", {.width = 3, .height = 3, .pixels = Bytes(30)}},
    };
    for (const auto& [what, layout] : cases) {
        expectRefused(readBmp, makeBmp(layout), what);
        expectRefused(readDib, makeDib(layout), what + " without file header");
    }

    Bytes lying = makeBmp({.pixels = pixel});
    lying[2] += 1; // file size one byte more than there is
    expectRefused(readBmp, lying, "file size beyond the data");

    // Without a file size in the header only the shortness counts; run-length data is needed
    // up to its end-of-bitmap mark.
    Bytes rle = makeBmp(rle8Example);
    std::fill_n(rle.begin() + 2, 4, 0);
    expectCutsRefused(readBmp, rle, rle.size(), "rle8");
}

TEST(BmpReader, RunLengthEncodingHandlesRunsDeltasAndAbsoluteRuns)
{
    const Bytes rle4 = {
        5, 0x12,          // row 0: 1 2 1 2 1
        0, 3, 0xAB, 0xC0, // absolute 10 11 12 (two bytes, already even)
        0, 0,             // end of line
        4, 0x90,          // row 1: 9 0 9 0
        0, 1,
    };
    const std::pair<DibLayout, Bytes> cases[] = {
        {rle8Example, {4, 4, 0, 0, 0, 0, //
                       0, 0, 5, 5, 5, 5, //
                       0, 0, 0, 0, 0, 0, //
                       7, 7, 7, 1, 2, 3}},
        {{.width = 8, .height = 2, .bitCount = 4, .compression = 2, .palette = Bytes(64), .pixels = rle4},
         {9, 0, 9, 0, 0, 0, 0, 0, //
          1, 2, 1, 2, 1, 10, 11, 12}},
    };
    for (const auto& [layout, expected] : cases) {
        const Bytes bmp = makeBmp(layout);
        const DecodedImage image = decodeOrFail(bmp);
        EXPECT_EQ(std::pair(image.format, storedBytes(image)), std::pair(D3DFMT_P8, expected)) << layout.bitCount << " bits";
    }
}

TEST(BmpReader, BitFieldsOutsideTheDirect3dLayoutsAreConverted)
{
    const Bytes twoPixels = {10, 20, 30, 40, 50, 60, 70, 80};
    const std::tuple<const char*, DibLayout, D3DFORMAT, Bytes> cases[] = {
        {"top-down 32 bits with red in the low byte", {.width = 1, .height = -2, .bitCount = 32, .compression = 3,
          .masks = {0xFF, 0xFF00, 0xFF0000}, .pixels = twoPixels},
         D3DFMT_X8R8G8B8, {10, 20, 30, 255, 50, 60, 70, 255}},
        {"the same with its alpha mask", {.width = 2, .bitCount = 32, .compression = 6,
          .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}, .pixels = twoPixels},
         D3DFMT_A8R8G8B8, twoPixels},
        {"16-bit blue-green-red 5:6:5, scaled and rounded", {.width = 2, .bitCount = 16, .compression = 3,
          .masks = {0x001F, 0x07E0, 0xF800}, .pixels = {0x1F, 0x00, 0x20, 0x08, 0, 0}},
         D3DFMT_X8R8G8B8, {255, 0, 0, 255, 0, 4, 8, 255}},
    };
    for (const auto& [what, layout, format, rgba] : cases) {
        // With and without the file header: a headerless DIB's pixels follow its masks.
        for (const Bytes& file : {makeBmp(layout), makeDib(layout)}) {
            const DecodedImage image = decodeOrFail(file);
            EXPECT_EQ(std::pair(image.format, toRgba(image).pixels), std::pair(format, rgba)) << what;
        }
    }
}

TEST(BmpReader, ImageMagickFilesOfEveryKindDecodeToTheirPicture)
{
    REQUIRE_CONVERT();
    const Rgba colour = makeTestPicture(23, 13, true);
    const Rgba opaque = makeTestPicture(23, 13, false);
    const Rgba fewColours = fewColoursOf(opaque);
    const std::string colourPng = sourcePng("bmp-source-colour", colour, true);
    const std::string fewPng = sourcePng("bmp-source-few", fewColours, false);

    // Name, source, options, type, the bits and compression ImageMagick must choose, format, the
    // picture expected (null: ImageMagick's own reading) and the tolerance (one step of the
    // narrowest channel where the file narrows them).
    const std::tuple<const char*, const std::string&, const char*, const char*, uint16_t, uint32_t, D3DFORMAT,
                     const Rgba*, int>
        cases[] = {
        {"bmp3-24", colourPng, "-alpha off -type TrueColor", "bmp3", 24, 0, D3DFMT_R8G8B8, &opaque, 0},
        {"bmp5-32-alpha", colourPng, "-type TrueColorAlpha", "bmp", 32, 3, D3DFMT_A8R8G8B8, &colour, 0},
        {"bmp2-core-24", colourPng, "-alpha off -type TrueColor", "bmp2", 24, 0, D3DFMT_R8G8B8, &opaque, 0},
        {"bmp3-rle8", fewPng, "-type Palette -compress RLE", "bmp3", 8, 1, D3DFMT_P8, &fewColours, 0},
        {"bmp3-4-bit", colourPng, "-alpha off -colors 16 -type Palette", "bmp3", 4, 0, D3DFMT_P8, nullptr, 0},
        {"bmp3-1-bit", colourPng, "-alpha off -type Bilevel", "bmp3", 1, 0, D3DFMT_P8, nullptr, 0},
        // ImageMagick's own reading of 16-bit files shifts without widening, so these are
        // compared with the source picture, to within one step of the stored channel width.
        {"bmp-565", colourPng, "-alpha off -define bmp:subtype=RGB565", "bmp", 16, 3, D3DFMT_R5G6B5, &opaque, 8},
        {"bmp-555", colourPng, "-alpha off -define bmp:subtype=RGB555", "bmp", 16, 3, D3DFMT_X1R5G5B5, &opaque, 8},
    };
    for (const auto& [name, source, options, type, bits, compression, format, expected, tolerance] : cases) {
        SCOPED_TRACE(name);
        const std::string path = convertTo(source, options, type, name);
        const Bytes file = readFileBytes(path);
        ASSERT_GT(file.size(), 54u);
        auto le16 = [&](size_t at) { return uint32_t{file[at]} | uint32_t{file[at + 1]} << 8; };
        const bool core = le16(14) == 12; // the header size
        ASSERT_EQ(le16(core ? 24 : 28), bits) << "ImageMagick chose another depth";
        ASSERT_TRUE(core || le16(30) == compression) << "ImageMagick chose another compression";
        expectDecodes(readBmp, file, format, expected ? *expected : convertToRgba(path, 23, 13), tolerance, name);
    }
}
