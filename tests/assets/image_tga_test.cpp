// The TGA reader: header checks, pixel formats, colour maps, orientations, run-length
// encoding and truncated data, against hand-made files and files written by ImageMagick.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

bool tgaAccepted(const Bytes& bytes, DecodedImage& image)
{
    return readTga(bytes.data(), bytes.size(), image);
}
// A raw top-down image points into its file, so the file must outlive the image.
bool tgaAccepted(Bytes&& bytes, DecodedImage& image) = delete;

Bytes pixelBytes(const DecodedImage& image)
{
    Bytes out;
    for (UINT y = 0; y < image.height; ++y)
        out.insert(out.end(), image.pixels + size_t{y} * image.pitch, image.pixels + size_t{y + 1} * image.pitch);
    return out;
}

// A picture with few enough colours for a colour-mapped file to hold it exactly.
Rgba makeFewColourPicture(UINT width, UINT height)
{
    Rgba picture = makeTestPicture(width, height, false);
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            picture.pixels[i + c] = static_cast<BYTE>(picture.pixels[i + c] / 51 * 51);
    return picture;
}

Rgba greyOf(const Rgba& picture)
{
    Rgba out = picture;
    for (size_t i = 0; i < out.pixels.size(); i += 4)
        out.pixels[i] = out.pixels[i + 1] = out.pixels[i + 2] = out.pixels[i + 1];
    return out;
}

} // namespace

TEST(TgaReader, RefusesHeadersItCannotRead)
{
    const Bytes onePixel = {1, 2, 3};
    struct Case {
        const char* what;
        TgaLayout layout;
        Bytes colourMap;
    };
    const Case cases[] = {
        {"image type 0 (no image data)", {.imageType = 0}, {}},
        {"image type 8 (run-length, no image data)", {.imageType = 8}, {}},
        {"colour-map type 2", {.colourMapType = 2}, {}},
        {"12-bit pixels", {.pixelBits = 12}, {}},
        {"8-bit true colour", {.pixelBits = 8}, {}},
        {"image type with bit 2 set", {.imageType = 2 | 4}, {}},
        {"image type 32 (Huffman)", {.imageType = 32}, {}},
        {"width 0", {.width = 0}, {}},
        {"height 0", {.height = 0}, {}},
        {"colour-mapped image without a colour map", {.imageType = 1, .pixelBits = 8}, {}},
        {"colour-mapped image with 16-bit indices",
         {.colourMapType = 1, .imageType = 1, .colourMapLength = 1, .colourMapBits = 24, .pixelBits = 16},
         {0, 0, 0}},
        {"colour map of 8-bit entries",
         {.colourMapType = 1, .imageType = 1, .colourMapLength = 1, .colourMapBits = 8, .pixelBits = 8},
         {0}},
        {"colour map passing entry 256",
         {.colourMapType = 1, .imageType = 1, .colourMapFirst = 255, .colourMapLength = 2, .colourMapBits = 24,
          .pixelBits = 8},
         Bytes(6, 0)},
        {"16-bit greyscale", {.imageType = 3, .pixelBits = 16}, {}},
    };
    for (const Case& c : cases) {
        expectRefused(readTga, makeTga(c.layout, c.colourMap, onePixel), c.what);
    }
    Bytes shortHeader = makeTga({}, {}, onePixel);
    shortHeader.resize(17);
    expectRefused(readTga, shortHeader, "short header");
}

TEST(TgaReader, PixelBitsChooseTheFormatWhateverTheAlphaBits)
{
    struct Case {
        BYTE imageType;
        BYTE pixelBits;
        BYTE descriptor;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {2, 15, 0x20, D3DFMT_X1R5G5B5}, {2, 16, 0x21, D3DFMT_A1R5G5B5}, {2, 16, 0x20, D3DFMT_A1R5G5B5},
        {2, 24, 0x20, D3DFMT_R8G8B8},   {2, 32, 0x28, D3DFMT_A8R8G8B8}, {2, 32, 0x20, D3DFMT_A8R8G8B8},
        {3, 8, 0x20, D3DFMT_L8},        {3, 8, 0x28, D3DFMT_L8},
    };
    for (const Case& c : cases) {
        const size_t bytesPerPixel = (c.pixelBits + 7) / 8;
        Bytes pixels(2 * 2 * bytesPerPixel);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<BYTE>(i * 17 + 3);
        const TgaLayout layout{.imageType = c.imageType, .width = 2, .height = 2, .pixelBits = c.pixelBits,
                           .descriptor = c.descriptor};
        DecodedImage image;
        const Bytes file = makeTga(layout, {}, pixels);
        ASSERT_TRUE(tgaAccepted(file, image)) << int(c.pixelBits);
        EXPECT_EQ(image.format, c.format) << int(c.pixelBits);
        EXPECT_EQ(image.pitch, 2 * bytesPerPixel);
        EXPECT_EQ(image.width, 2u);
        EXPECT_EQ(image.height, 2u);
        EXPECT_EQ(image.depth, 1u);
        EXPECT_EQ(image.palette, nullptr);
        EXPECT_EQ(pixelBytes(image), pixels) << "pixels are delivered exactly as stored";
    }
}

TEST(TgaReader, RawTopDownLeftToRightDataIsUsedInPlace)
{
    const Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    const TgaLayout layout{.idLength = 5, .width = 2, .height = 2, .descriptor = 0x20};
    const Bytes file = makeTga(layout, {}, pixels);
    DecodedImage image;
    ASSERT_TRUE(tgaAccepted(file, image));
    EXPECT_FALSE(image.ownsPixels);
    EXPECT_EQ(image.pixels, file.data() + 18 + 5);

    // Trailing data (a TGA 2.0 footer, say) does not stop the in-place use.
    Bytes withFooter = file;
    withFooter.resize(file.size() + 26, 0);
    ASSERT_TRUE(tgaAccepted(withFooter, image));
    EXPECT_FALSE(image.ownsPixels);

    // Every other arrangement gets its own buffer.
    for (BYTE descriptor : {BYTE(0x00), BYTE(0x10), BYTE(0x30)}) {
        TgaLayout other = layout;
        other.descriptor = descriptor;
        const Bytes otherFile = makeTga(other, {}, pixels);
        ASSERT_TRUE(tgaAccepted(otherFile, image));
        EXPECT_TRUE(image.ownsPixels) << int(descriptor);
    }
}

TEST(TgaReader, ColourMapsBecomeTheFullPaletteFromTheFirstEntry)
{
    // Entries as stored for each entry size; the image uses indices 10, 11 and 12.
    struct Case {
        BYTE bits;
        Bytes entries;
        PALETTEENTRY expected[2];
    };
    const Case cases[] = {
        // 5:5:5 words: 0x7C1F = red 31, green 0, blue 31; 0x0421 = 1, 1, 1.
        {15, {0x1F, 0x7C, 0x21, 0x04}, {{255, 0, 255, 255}, {8, 8, 8, 255}}},
        // 16 bits: the top bit is the alpha.
        {16, {0x1F, 0xFC, 0x10, 0x42}, {{255, 0, 255, 255}, {132, 132, 132, 0}}},
        // 24 bits: blue, green, red.
        {24, {1, 2, 3, 4, 5, 6}, {{3, 2, 1, 255}, {6, 5, 4, 255}}},
        // 32 bits: the little-endian word A8R8G8B8.
        {32, {1, 2, 3, 4, 5, 6, 7, 8}, {{3, 2, 1, 4}, {7, 6, 5, 8}}},
    };
    for (const Case& c : cases) {
        const TgaLayout layout{.colourMapType = 1, .imageType = 1, .colourMapFirst = 10, .colourMapLength = 2,
                           .colourMapBits = c.bits, .width = 3, .height = 1, .pixelBits = 8};
        DecodedImage image;
        const Bytes file = makeTga(layout, c.entries, {10, 11, 12});
        ASSERT_TRUE(tgaAccepted(file, image)) << int(c.bits);
        EXPECT_EQ(image.format, D3DFMT_P8);
        ASSERT_NE(image.palette, nullptr);
        for (int i = 0; i < 256; ++i) {
            const PALETTEENTRY expected = i == 10 ? c.expected[0] : i == 11 ? c.expected[1] : PALETTEENTRY{255, 255, 255, 255};
            const PALETTEENTRY& e = image.palette[i];
            EXPECT_TRUE(e.peRed == expected.peRed && e.peGreen == expected.peGreen && e.peBlue == expected.peBlue &&
                        e.peFlags == expected.peFlags)
                << int(c.bits) << "-bit entry " << i << ": " << int(e.peRed) << " " << int(e.peGreen) << " "
                << int(e.peBlue) << " " << int(e.peFlags);
        }
        EXPECT_EQ(pixelBytes(image), (Bytes{10, 11, 12}));
    }
}

TEST(TgaReader, TrueColourImagesSkipAPresentColourMap)
{
    const TgaLayout layout{.idLength = 3, .colourMapType = 1, .imageType = 2, .colourMapLength = 3, .colourMapBits = 16,
                       .width = 1, .height = 1, .pixelBits = 24};
    DecodedImage image;
    const Bytes file = makeTga(layout, Bytes(6, 0xEE), {7, 8, 9});
    ASSERT_TRUE(tgaAccepted(file, image));
    EXPECT_EQ(image.format, D3DFMT_R8G8B8);
    EXPECT_EQ(image.palette, nullptr);
    EXPECT_EQ(pixelBytes(image), (Bytes{7, 8, 9}));
}

TEST(TgaReader, RunLengthPacketsContinueOnTheNextRowAndStopAtTheImageEnd)
{
    // 3×2 greyscale, bottom-up: a run of 4 (fills the bottom row and starts the top one), a
    // literal packet of 3 whose last pixel passes the end of the image and is dropped.
    const Bytes stream = {0x83, 50, 0x02, 60, 70, 80};
    const TgaLayout layout{.imageType = 11, .width = 3, .height = 2, .pixelBits = 8, .descriptor = 0x00};
    DecodedImage image;
    const Bytes file = makeTga(layout, {}, stream);
    ASSERT_TRUE(tgaAccepted(file, image));
    EXPECT_EQ(pixelBytes(image), (Bytes{50, 60, 70, 50, 50, 50}));

    // The same stream right to left, top-down.
    TgaLayout mirrored = layout;
    mirrored.descriptor = 0x30;
    const Bytes mirroredFile = makeTga(mirrored, {}, stream);
    ASSERT_TRUE(tgaAccepted(mirroredFile, image));
    EXPECT_EQ(pixelBytes(image), (Bytes{50, 50, 50, 70, 60, 50}));

    // A run longer than the whole image fills it and nothing else.
    const Bytes longRunFile = makeTga(layout, {}, {0xFF, 9});
    ASSERT_TRUE(tgaAccepted(longRunFile, image));
    EXPECT_EQ(pixelBytes(image), Bytes(6, 9));
}

TEST(TgaReader, DataRunningOutRefusesTheFile)
{
    // Raw with an ID field, run-length true colour, run-length colour-mapped: every byte is needed.
    const Bytes raw = makeTga({.idLength = 5, .width = 4, .height = 3, .descriptor = 0x00}, {}, Bytes(4 * 3 * 3, 0x40));
    Bytes stream = {0x02}; // literal of 3, run of 5, literal of 4
    stream.insert(stream.end(), 12, 0x11);
    stream.push_back(0x84);
    stream.insert(stream.end(), 4, 0x22);
    stream.push_back(0x03);
    stream.insert(stream.end(), 16, 0x33);
    const Bytes rle = makeTga({.imageType = 10, .width = 4, .height = 3, .pixelBits = 32}, {}, stream);
    const Bytes mapped = makeTga({.colourMapType = 1, .imageType = 9, .colourMapLength = 2, .colourMapBits = 24,
                                  .width = 2, .height = 2, .pixelBits = 8},
                                 Bytes(6, 1), {0x81, 0, 0x81, 1});
    expectCutsRefused(readTga, raw, raw.size(), "raw");
    expectCutsRefused(readTga, rle, rle.size(), "run-length");
    expectCutsRefused(readTga, mapped, mapped.size(), "colour-mapped");
}

// ---------------------------------------------------------------------------------------------
// Files written by ImageMagick. ImageMagick stores rows in its own memory order and only
// records the orientation, so each picture is flipped first to come out right.
// ---------------------------------------------------------------------------------------------

namespace {

struct Orientation {
    const char* name;
    const char* flips; // ImageMagick operators that put rows in stored order
    bool vertical;
    bool horizontal;
};

constexpr Orientation orientations[] = {
    {"TopLeft", "", false, false},
    {"TopRight", "-flop", false, true},
    {"BottomLeft", "-flip", true, false},
    {"BottomRight", "-flip -flop", true, true},
};

constexpr const char* encodings[] = {"None", "RLE"};

std::string variantPath(const std::string& name, const Orientation& o, const char* encoding)
{
    return scratchPath(name + "-" + encoding + "." + o.name + ".tga");
}

// Writes `source` as a TGA in every orientation, raw and run-length, with one convert run.
bool convertTgaVariants(const std::string& source, const std::string& name, const std::string& options)
{
    std::string arguments = "'" + source + "' " + options;
    for (const Orientation& o : orientations) {
        for (const char* encoding : encodings) {
            arguments += std::string(" \\( +clone ") + o.flips + " -orient " + o.name + " -compress " + encoding +
                         " -write 'tga:" + variantPath(name, o, encoding) + "' +delete \\)";
        }
    }
    return runConvert(arguments + " null:");
}

} // namespace

TEST(TgaReader, EveryOrientationAndEncodingGivesTheSamePicture)
{
    REQUIRE_CONVERT();
    const Rgba colour = makeTestPicture(29, 17, true);
    const Rgba fewColours = makeFewColourPicture(29, 17);
    const Rgba grey = greyOf(fewColours);
    const std::string colourPng = scratchPath("tga-source-colour.png");
    const std::string fewPng = scratchPath("tga-source-few.png");
    const std::string greyPng = scratchPath("tga-source-grey.png");
    writePng(colourPng, colour, true);
    writePng(fewPng, fewColours, false);
    writePng(greyPng, grey, false);

    struct Kind {
        const char* name;
        const std::string* source;
        std::string options;
        D3DFORMAT format;
        Rgba expected;
    };
    Rgba opaque = colour;
    for (size_t i = 3; i < opaque.pixels.size(); i += 4)
        opaque.pixels[i] = 255;
    const Kind kinds[] = {
        {"rgba", &colourPng, "-type TrueColorAlpha", D3DFMT_A8R8G8B8, colour},
        {"rgb", &colourPng, "-alpha off -type TrueColor", D3DFMT_R8G8B8, opaque},
        {"grey", &greyPng, "-type Grayscale", D3DFMT_L8, grey},
        {"mapped", &fewPng, "-type Palette", D3DFMT_P8, fewColours},
    };
    for (const Kind& kind : kinds) {
        const std::string name = std::string("tga-") + kind.name;
        ASSERT_TRUE(convertTgaVariants(*kind.source, name, kind.options));
        Bytes firstRaw;
        for (const Orientation& o : orientations) {
            for (const char* encoding : encodings) {
                const Bytes file = readFileBytes(variantPath(name, o, encoding));
                const std::string label = name + "-" + encoding + "-" + o.name;
                ASSERT_GE(file.size(), 18u) << label;
                DecodedImage image;
                ASSERT_TRUE(tgaAccepted(file, image)) << label;
                EXPECT_EQ(image.format, kind.format) << label;
                EXPECT_EQ(file[2] & 8, encoding[0] == 'R' ? 8 : 0) << label << ": ImageMagick chose the encoding";
                EXPECT_TRUE(picturesMatch(toRgba(image), kind.expected, 0, label));
                if (firstRaw.empty()) {
                    firstRaw = pixelBytes(image);
                } else if (kind.format != D3DFMT_P8) { // palettes may be ordered differently per file
                    EXPECT_EQ(pixelBytes(image), firstRaw) << label;
                }
            }
        }
    }
}

TEST(TgaReader, AgreesWithFfmpegOnImageMagickFiles)
{
    REQUIRE_CONVERT();
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed";
    // ImageMagick's default TGA keeps its rows top first but declares them bottom-up; a reader
    // that follows the format (as FFmpeg does) shows that picture upside down.
    const Rgba picture = makeTestPicture(13, 6, false);
    const std::string png = scratchPath("tga-ffmpeg.png");
    writePng(png, picture, false);
    const std::string tga = scratchPath("tga-ffmpeg.tga");
    ASSERT_TRUE(runConvert("'" + png + "' -type TrueColor 'tga:" + tga + "'"));
    const std::string rgb = scratchPath("tga-ffmpeg.rgb");
    ASSERT_EQ(std::system(("ffmpeg -v error -y -i '" + tga + "' -f rawvideo -pix_fmt rgb24 '" + rgb + "'").c_str()), 0);
    const Bytes samples = readFileBytes(rgb);
    ASSERT_EQ(samples.size(), 13u * 6 * 3);
    Rgba ffmpeg{13, 6, {}};
    for (size_t i = 0; i < samples.size(); i += 3)
        ffmpeg.pixels.insert(ffmpeg.pixels.end(), {samples[i], samples[i + 1], samples[i + 2], 255});

    const Bytes file = readFileBytes(tga);
    DecodedImage image;
    ASSERT_TRUE(tgaAccepted(file, image));
    EXPECT_TRUE(picturesMatch(toRgba(image), ffmpeg, 0, "tga-ffmpeg"));
    EXPECT_TRUE(picturesMatch(toRgba(image), flipped(picture, true, false), 0, "tga-ffmpeg-flipped"));
}
