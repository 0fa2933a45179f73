// The PNG reader: every colour type and bit depth, transparency, interlacing, and damaged or
// cut-short files. ImageMagick writes the files, and its own decoding is the reference.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <png.h>

#include <tuple>

namespace {

// ImageMagick's own decoding; 16-bit samples come out of it cut to 8 bits, so those are asked
// for whole and rounded to nearest, as the reader does.
Rgba reference(const std::string& path, int bitDepth)
{
    if (bitDepth != 16)
        return convertToRgba(path, 13, 9);
    runConvert("'" + path + "' -depth 16 -endian MSB 'rgba:" + path + ".rgba16'");
    const Bytes wide = readFileBytes(path + ".rgba16");
    Rgba out{13, 9, {}};
    for (size_t i = 0; i + 1 < wide.size(); i += 2)
        out.pixels.push_back(static_cast<BYTE>(((wide[i] << 8 | wide[i + 1]) * 255 + 32767) / 65535));
    EXPECT_EQ(out.pixels.size(), 13u * 9 * 4) << path;
    return out;
}

} // namespace

TEST(PngReader, EveryColourTypeAndBitDepthDecodesAsImageMagickDecodesIt)
{
    REQUIRE_CONVERT();
    const std::string colour = "-size 13x9 gradient:red-blue \\( -size 9x13 gradient:white-black -rotate 90 \\) "
                               "-compose multiply -composite";
    const std::string grey = "-size 13x9 gradient: -colorspace gray";
    const std::string alpha = " -alpha set -channel A -fx 'i<3?i/3:1' +channel";
    // Options, colour type, bit depth, format; palettes are written as png8.
    std::vector<std::tuple<std::string, int, int, D3DFORMAT>> cases;
    for (int depth : {1, 2, 4, 8, 16})
        cases.emplace_back(grey + " -depth " + std::to_string(depth), 0, depth, D3DFMT_L8);
    for (int depth : {1, 2, 4, 8})
        cases.emplace_back(colour + " +dither -colors " + std::to_string(depth == 1 ? 2 : depth == 2 ? 3 : 11), 3,
                           depth, D3DFMT_P8);
    for (int depth : {8, 16}) {
        cases.emplace_back(grey + alpha + " -depth " + std::to_string(depth), 4, depth, D3DFMT_A8L8);
        cases.emplace_back(colour + " -depth " + std::to_string(depth), 2, depth, D3DFMT_X8R8G8B8);
        cases.emplace_back(colour + alpha + " -depth " + std::to_string(depth), 6, depth, D3DFMT_A8R8G8B8);
    }
    // Transparency chunks: palette alphas, and one transparent grey or colour.
    cases.emplace_back(colour + alpha + " +dither -colors 11", 3, 4, D3DFMT_P8);
    cases.emplace_back(grey + " -depth 2 -transparent black", 0, 2, D3DFMT_A8L8);
    cases.emplace_back(colour + " -depth 16 -transparent red", 2, 16, D3DFMT_A8R8G8B8);

    for (bool interlaced : {false, true}) {
        for (size_t i = 0; i < cases.size(); ++i) {
            const auto& [options, colourType, bitDepth, format] = cases[i];
            const std::string name = "png-case" + std::to_string(i) + (interlaced ? "-interlaced" : "");
            const std::string path = scratchPath(name + ".png");
            ASSERT_TRUE(runConvert(options + " -define png:color-type=" + std::to_string(colourType) +
                                   " -define png:bit-depth=" + std::to_string(bitDepth) + " -interlace " +
                                   (interlaced ? "PNG" : "None") + (colourType == 3 ? " 'png8:" : " 'png:") + path + "'"));
            const Bytes file = readFileBytes(path);
            ASSERT_GT(file.size(), 33u);
            ASSERT_EQ(std::make_tuple(int(file[24]), int(file[25]), file[28] != 0),
                      std::make_tuple(bitDepth, colourType, interlaced))
                << name << ": ImageMagick chose another layout";
            const DecodedImage image = expectDecodes(readPng, file, format, reference(path, bitDepth), 0, name);
            EXPECT_EQ(image.palette != nullptr, format == D3DFMT_P8) << name;
            EXPECT_EQ(image.palette ? image.palette[200].peFlags : 255, 255) << name << ": past PLTE is opaque";
        }
    }
}

TEST(PngReader, DamagedOrCutShortFilesAreRefused)
{
    REQUIRE_CONVERT();
    const std::string path = scratchPath("png-damaged.png");
    ASSERT_TRUE(runConvert("-size 7x5 gradient:red-blue -alpha set -channel A -fx i/w +channel -strip 'png32:" + path + "'"));
    const Bytes file = readFileBytes(path);
    expectCutsRefused(readPng, file, file.size(), "png");
    // A flipped bit inside the image data fails its checksum.
    Bytes damaged = file;
    damaged[damaged.size() - 20] ^= 0x10;
    expectRefused(readPng, damaged, "bad checksum");
    // Wider than ImageMagick will make: through libpng's own writer.
    png_image wide{};
    wide.version = PNG_IMAGE_VERSION;
    wide.width = 20000;
    wide.height = 1;
    wide.format = PNG_FORMAT_GRAY;
    const Bytes row(20000, 128);
    Bytes wideFile(1024);
    png_alloc_size_t size = wideFile.size();
    ASSERT_TRUE(png_image_write_to_memory(&wide, wideFile.data(), &size, 0, row.data(), 0, nullptr)) << wide.message;
    wideFile.resize(size);
    expectRefused(readPng, wideFile, "beyond the readers' limit");
}
