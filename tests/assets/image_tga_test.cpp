// The TGA reader: header checks, pixel formats, colour maps, orientations, run-length
// encoding and truncated data, against hand-made files and files written by ImageMagick.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

TEST(TgaReader, RefusesHeadersItCannotReadAndDataRunningOut)
{
    const std::tuple<const char*, TgaLayout, Bytes> cases[] = {
        {"image type 0 (no image data)", {.imageType = 0}, {}},
        {"colour-map type 2", {.colourMapType = 2}, {}},
        {"12-bit pixels", {.pixelBits = 12}, {}},
        {"image type with bit 2 set", {.imageType = 2 | 4}, {}},
        {"width 0", {.width = 0}, {}},
        {"wider than 16384", {.imageType = 3, .width = 16385, .pixelBits = 8}, {}},
        {"colour-mapped image without a colour map", {.imageType = 1, .pixelBits = 8}, {}},
        {"colour-mapped image with 16-bit indices",
         {.colourMapType = 1, .imageType = 1, .colourMapLength = 1, .colourMapBits = 24, .pixelBits = 16},
         {0, 0, 0}},
        {"colour map passing entry 256",
         {.colourMapType = 1, .imageType = 1, .colourMapFirst = 255, .colourMapLength = 2, .colourMapBits = 24,
          .pixelBits = 8},
         Bytes(6, 0)},
        {"16-bit greyscale", {.imageType = 3, .pixelBits = 16}, {}},
    };
    // Enough pixel data for every case, so only the header can be the reason.
    const Bytes pixels(16385 * 3, 1);
    for (const auto& [what, layout, colourMap] : cases)
        expectRefused(readTga, makeTga(layout, colourMap, pixels), what);
    // 16384 × 4097 passes 2^26 pixels, though the run-length data would cover it.
    Bytes runs;
    for (size_t covered = 0; covered < size_t{16384} * 4097; covered += 128)
        runs.insert(runs.end(), {0xFF, 0});
    expectRefused(readTga, makeTga({.imageType = 11, .width = 16384, .height = 4097, .pixelBits = 8}, {}, runs),
                  "more than 2^26 pixels");
    // Raw with an ID field, run-length colour-mapped: every byte is needed.
    const Bytes raw = makeTga({.idLength = 5, .width = 4, .height = 3, .descriptor = 0x00}, {}, Bytes(4 * 3 * 3, 0x40));
    const Bytes mapped = makeTga({.colourMapType = 1, .imageType = 9, .colourMapLength = 2, .colourMapBits = 24,
                                  .width = 3, .height = 2, .pixelBits = 8},
                                 Bytes(6, 1), {0x81, 0, 0x01, 1, 0, 0x81, 1});
    expectCutsRefused(readTga, raw, raw.size(), "raw");
    expectCutsRefused(readTga, mapped, mapped.size(), "run-length colour-mapped");
}

TEST(TgaReader, RawTopDownPixelsAreUsedInPlaceInTheFormatTheirBitsChoose)
{
    // The alpha bits of the descriptor do not change the format; an ID field, a colour map in
    // a true-colour file and trailing data (a TGA 2.0 footer, say) are skipped.
    const std::tuple<TgaLayout, Bytes, D3DFORMAT> cases[] = {
        {{.width = 2, .height = 2, .pixelBits = 15}, {}, D3DFMT_X1R5G5B5},
        {{.width = 2, .height = 2, .pixelBits = 16, .descriptor = 0x21}, {}, D3DFMT_A1R5G5B5},
        {{.idLength = 5, .width = 2, .height = 2, .pixelBits = 24}, {}, D3DFMT_R8G8B8},
        {{.idLength = 3, .colourMapType = 1, .colourMapLength = 3, .colourMapBits = 16, .pixelBits = 24},
         Bytes(6, 0xEE), D3DFMT_R8G8B8},
    };
    for (const auto& [layout, colourMap, format] : cases) {
        SCOPED_TRACE(testing::Message() << int(layout.pixelBits) << " bits, descriptor " << int(layout.descriptor));
        Bytes pixels(size_t{layout.width} * layout.height * ((layout.pixelBits + 7) / 8));
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<BYTE>(i * 17 + 3);
        Bytes file = makeTga(layout, colourMap, pixels);
        file.resize(file.size() + 26, 0);
        const DecodedImage image = decodeOrFail(file);
        EXPECT_EQ(std::tuple(image.format, image.palette.get(), image.ownsPixels, image.pixels),
                  std::tuple(format, nullptr, false, file.data() + 18 + layout.idLength + colourMap.size()));
        EXPECT_EQ(storedBytes(image), pixels);
    }
}

TEST(TgaReader, ColourMapsBecomeTheFullPaletteFromTheFirstEntry)
{
    // Entries 10 and 11 as stored for each entry size, then as red, green, blue, flags.
    const std::tuple<BYTE, Bytes, Bytes> cases[] = {
        // 5:5:5 words: 0x7C1F = red 31, green 0, blue 31; 0x0421 = 1, 1, 1.
        {15, {0x1F, 0x7C, 0x21, 0x04}, {255, 0, 255, 255, 8, 8, 8, 255}},
        // 16 bits: the top bit is the alpha.
        {16, {0x1F, 0xFC, 0x10, 0x42}, {255, 0, 255, 255, 132, 132, 132, 0}},
        // 32 bits: the little-endian word A8R8G8B8.
        {32, {1, 2, 3, 4, 5, 6, 7, 8}, {3, 2, 1, 4, 7, 6, 5, 8}},
    };
    for (const auto& [bits, entries, expected] : cases) {
        const Bytes file = makeTga({.colourMapType = 1, .imageType = 1, .colourMapFirst = 10, .colourMapLength = 2,
                                    .colourMapBits = bits, .width = 3, .height = 1, .pixelBits = 8},
                                   entries, {10, 11, 12});
        const DecodedImage image = decodeOrFail(file);
        EXPECT_EQ(std::pair(image.format, storedBytes(image)), std::pair(D3DFMT_P8, Bytes{10, 11, 12}));
        ASSERT_NE(image.palette, nullptr);
        // The entries before and after the map stay white.
        Bytes palette(256 * 4, 255);
        std::copy(expected.begin(), expected.end(), palette.begin() + 40);
        const BYTE* actual = reinterpret_cast<const BYTE*>(image.palette.get());
        EXPECT_EQ(Bytes(actual, actual + 256 * 4), palette) << int(bits) << "-bit entries";
    }
}

TEST(TgaReader, RunLengthPacketsContinueOnTheNextRowAndStopAtTheImageEnd)
{
    // 3×2 greyscale, bottom-up: a run of 4 (fills the bottom row and starts the top one), a
    // literal packet of 3 whose last pixel passes the end of the image and is dropped.
    const Bytes stream = {0x83, 50, 0x02, 60, 70, 80};
    const std::tuple<BYTE, Bytes, Bytes> cases[] = {
        {0x00, stream, {50, 60, 70, 50, 50, 50}},
        {0x30, stream, {50, 50, 50, 70, 60, 50}}, // right to left, top-down
        {0x00, {0xFF, 9}, Bytes(6, 9)},           // a run longer than the whole image
    };
    for (const auto& [descriptor, runs, expected] : cases) {
        const Bytes file =
            makeTga({.imageType = 11, .width = 3, .height = 2, .pixelBits = 8, .descriptor = descriptor}, {}, runs);
        EXPECT_EQ(storedBytes(decodeOrFail(file)), expected) << int(descriptor);
    }
}

// Bottom-up right to left, which hand-made files do not reach raw. ImageMagick stores rows in
// its own memory order and only records the orientation, so each picture is flipped first.
TEST(TgaReader, RightToLeftImageMagickFilesOfEveryKindAndEncodingGiveTheSamePicture)
{
    REQUIRE_CONVERT();
    const Rgba colour = makeTestPicture(29, 17, true);
    const Rgba opaque = makeTestPicture(29, 17, false);
    const Rgba fewColours = fewColoursOf(opaque);
    Rgba grey = fewColours;
    for (size_t i = 0; i < grey.pixels.size(); i += 4)
        grey.pixels[i] = grey.pixels[i + 2] = grey.pixels[i + 1];
    const std::string colourPng = sourcePng("tga-source-colour", colour, true);
    const std::tuple<const char*, std::string, const char*, D3DFORMAT, const Rgba&> kinds[] = {
        {"rgba", colourPng, "-type TrueColorAlpha", D3DFMT_A8R8G8B8, colour},
        {"rgb", colourPng, "-alpha off -type TrueColor", D3DFMT_R8G8B8, opaque},
        {"grey", sourcePng("tga-source-grey", grey, false), "-type Grayscale", D3DFMT_L8, grey},
        {"mapped", sourcePng("tga-source-few", fewColours, false), "-type Palette", D3DFMT_P8, fewColours},
    };
    for (const auto& [kind, source, options, format, expected] : kinds) {
        for (const std::string encoding : {"None", "RLE"}) {
            const std::string name = std::string("tga-") + kind + "-" + encoding;
            const Bytes file = readFileBytes(convertTo(
                source, std::string(options) + " -flip -flop -orient BottomRight -compress " + encoding, "tga", name));
            ASSERT_GE(file.size(), 18u) << name;
            EXPECT_EQ(file[2] & 8, encoding == "RLE" ? 8 : 0) << name << ": ImageMagick chose the encoding";
            expectDecodes(readTga, file, format, expected, 0, name);
        }
    }
}
