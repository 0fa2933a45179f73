// The PPM reader: plain and raw pixmaps, 8- and 16-bit samples, scaling of odd maxvals, header
// syntax and refusals.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using namespace std::string_literals;

Bytes textBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

} // namespace

TEST(PpmReader, HeadersWithCommentsAndOddMaxvalsScaleToEightBits)
{
    const std::tuple<const char*, Bytes, Bytes> cases[] = {
        // Comments anywhere white space may be; maxval 1000 scaled to 0..255, rounded.
        {"plain", textBytes("P3\n# made by hand\n2 1 # two pixels\n1000\n0 500 1000\n  999 2 #x\n 4"),
         {0, 128, 255, 255, 255, 1, 1, 255}},
        {"raw, maxval 1", textBytes("P6 2 1 1\n\x01\x00\x01\x00\x01\x00"s), {255, 0, 255, 255, 0, 255, 0, 255}},
        {"raw 16-bit samples, big-endian", textBytes("P6\n1 1\n65535\n\xFF\xFF\x80\x00\x00\x80"s), {255, 128, 0, 255}},
    };
    for (const auto& [what, file, rgba] : cases) {
        const DecodedImage image = decodeOrFail(file);
        EXPECT_EQ(std::pair(image.format, toRgba(image).pixels), std::pair(D3DFMT_X8R8G8B8, rgba)) << what;
    }
}

TEST(PpmReader, RefusesWhatIsNotAPixmapItCanRead)
{
    const char* cases[] = {
        "P5 1 1 255\n\x01",              // greymap
        "P6 1 1 0\n\x01\x02\x03",        // maxval 0
        "P6 1 1 65536\n\x01\x02\x03",    // maxval too large
        "P6 16385 1 255\n",              // too wide
        "P6 1 1 255",                    // nothing after the maxval
        "P3 1 1 255 1 2 256",            // sample above maxval
        "P3 1 1 255 1 2",                // a sample missing
        "P6 1 1 100\n\x01\x02\x65",      // raw sample above maxval
    };
    for (const char* text : cases)
        expectRefused(readPpm, textBytes(text), text);
}

TEST(PpmReader, ImageMagickPixmapsDecodeToTheirPicture)
{
    REQUIRE_CONVERT();
    const Rgba picture = makeTestPicture(19, 11, false);
    const std::string png = sourcePng("ppm-source", picture, false);
    const std::pair<const char*, const char*> cases[] = {{"ppm-raw-8", "-depth 8"}, {"ppm-raw-16", "-depth 16"},
        {"ppm-plain-8", "-depth 8 -compress none"}, {"ppm-plain-16", "-depth 16 -compress none"}};
    for (const auto& [name, options] : cases) {
        const Bytes file = readFileBytes(convertTo(png, options, "ppm", name));
        ASSERT_GT(file.size(), 2u);
        ASSERT_EQ(file[1], std::string(options).ends_with("none") ? '3' : '6') << name;
        expectDecodes(readPpm, file, D3DFMT_X8R8G8B8, picture, 0, name);
    }
    // Cut short anywhere: refused, by decodeImage as a whole too.
    const Bytes raw = readFileBytes(scratchPath("ppm-raw-16.ppm"));
    expectCutsRefused(readPpm, raw, raw.size(), "ppm-raw-16");
}
