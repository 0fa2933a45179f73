// The PPM reader: plain and raw pixmaps, 8- and 16-bit samples, scaling of odd maxvals, header
// syntax and refusals.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cctype>

namespace {

Bytes textBytes(const std::string& text)
{
    return Bytes(text.begin(), text.end());
}

Bytes rgbaOf(const DecodedImage& image)
{
    return toRgba(image).pixels;
}

} // namespace

TEST(PpmReader, HeadersWithCommentsAndOddMaxvalsScaleToEightBits)
{
    // Plain: comments anywhere white space may be; maxval 1000 scaled to 0..255, rounded.
    const Bytes plain = textBytes("P3\n# made by hand\n2 1 # two pixels\n1000\n0 500 1000\n  999 2 #x\n 4");
    DecodedImage image;
    ASSERT_TRUE(readPpm(plain.data(), plain.size(), image));
    EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(image.pitch, 8u);
    EXPECT_EQ(rgbaOf(image), (Bytes{0, 128, 255, 255, 255, 1, 1, 255}));

    // Raw with maxval 1: every sample is 0 or 255.
    Bytes raw = textBytes("P6 2 1 1\n");
    raw.insert(raw.end(), {1, 0, 1, 0, 1, 0});
    ASSERT_TRUE(readPpm(raw.data(), raw.size(), image));
    EXPECT_EQ(rgbaOf(image), (Bytes{255, 0, 255, 255, 0, 255, 0, 255}));

    // Raw 16-bit samples are big-endian.
    Bytes wide = textBytes("P6\n1 1\n65535\n");
    wide.insert(wide.end(), {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x80});
    ASSERT_TRUE(readPpm(wide.data(), wide.size(), image));
    EXPECT_EQ(rgbaOf(image), (Bytes{255, 128, 0, 255}));
}

TEST(PpmReader, RefusesWhatIsNotAPixmapItCanRead)
{
    const char* cases[] = {
        "P5 1 1 255\n\x01",              // greymap
        "P61 1 255\n\x01\x02\x03",       // no space after the magic
        "P6 1 1 0\n\x01\x02\x03",        // maxval 0
        "P6 1 1 65536\n\x01\x02\x03",    // maxval too large
        "P6 0 1 255\n",                  // no width
        "P6 16385 1 255\n",              // too wide
        "P6 1 1 255",                    // nothing after the maxval
        "P3 1 1 255 1 2 256",            // sample above maxval
        "P3 1 1 255 1 2 x",              // not a number
        "P6 1 1 100\n\x01\x02\x65",      // raw sample above maxval
        "P6 1 # comment without end",
    };
    for (const char* text : cases)
        expectRefused(readPpm, textBytes(text), text);
}

TEST(PpmReader, ImageMagickPixmapsDecodeToTheirPicture)
{
    REQUIRE_CONVERT();
    const Rgba picture = makeTestPicture(19, 11, false);
    const std::string png = scratchPath("ppm-source.png");
    writePng(png, picture, false);
    struct Case {
        const char* name;
        const char* options;
        const char* magic;
    };
    const Case cases[] = {
        {"ppm-raw-8", "-depth 8", "P6"},
        {"ppm-raw-16", "-depth 16", "P6"},
        {"ppm-plain-8", "-depth 8 -compress none", "P3"},
        {"ppm-plain-16", "-depth 16 -compress none", "P3"},
    };
    for (const Case& c : cases) {
        const std::string path = scratchPath(std::string(c.name) + ".ppm");
        ASSERT_TRUE(runConvert("'" + png + "' " + c.options + " 'ppm:" + path + "'"));
        const Bytes file = readFileBytes(path);
        ASSERT_EQ(std::string(file.begin(), file.begin() + 2), c.magic) << c.name;
        DecodedImage image;
        ASSERT_TRUE(readPpm(file.data(), file.size(), image)) << c.name;
        EXPECT_TRUE(picturesMatch(toRgba(image), picture, 0, c.name));

        // Cut short anywhere before its last sample: refused, by decodeImage as a whole too. (A
        // plain file cut inside its last number still holds a number, so that stays readable.)
        size_t refusedBelow = file.size();
        if (c.magic[1] == '3') {
            while (refusedBelow > 0 && !std::isdigit(file[refusedBelow - 1]))
                --refusedBelow;
            while (refusedBelow > 0 && std::isdigit(file[refusedBelow - 1]))
                --refusedBelow;
            ++refusedBelow;
        }
        expectCutsRefused(readPpm, file, refusedBelow, c.name);
    }
}
