// The JPEG reader: output formats, agreement with libjpeg and ImageMagick, progressive and
// restart-marker files, and refusal of broken or cut-short data.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace {

struct JpegOptions {
    bool grey = false;
    int quality = 85;
    bool progressive = false;
    unsigned restartInterval = 0; // in MCU rows' worth of MCUs; 0 = none
};

// Compresses through libjpeg directly, for the variants ImageMagick cannot be asked for.
Bytes encodeJpeg(const Rgba& picture, const JpegOptions& options)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = picture.width;
    info.image_height = picture.height;
    info.input_components = options.grey ? 1 : 3;
    info.in_color_space = options.grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.restart_interval = options.restartInterval;
    jpeg_start_compress(&info, TRUE);
    std::vector<BYTE> row(size_t{picture.width} * 3);
    while (info.next_scanline < info.image_height) {
        for (UINT x = 0; x < picture.width; ++x) {
            const BYTE* p = picture.at(x, info.next_scanline);
            if (options.grey)
                row[x] = p[1];
            else
                std::copy_n(p, 3, &row[x * 3]);
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// The reference decode: libjpeg with its defaults, one output component per channel.
Rgba decodeWithLibjpeg(const Bytes& file)
{
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), file.size());
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    Rgba out{info.output_width, info.output_height, {}};
    std::vector<BYTE> row(size_t{info.output_width} * info.output_components);
    while (info.output_scanline < info.output_height) {
        JSAMPROW rows[] = {row.data()};
        jpeg_read_scanlines(&info, rows, 1);
        for (UINT x = 0; x < info.output_width; ++x) {
            if (info.output_components == 1)
                out.pixels.insert(out.pixels.end(), {row[x], row[x], row[x], 255});
            else
                out.pixels.insert(out.pixels.end(), {row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 255});
        }
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

void expectDecodesLikeLibjpeg(const Bytes& file, D3DFORMAT format, const std::string& name)
{
    DecodedImage image;
    ASSERT_TRUE(readJpeg(file.data(), file.size(), image)) << name;
    EXPECT_EQ(image.format, format) << name;
    EXPECT_EQ(image.pitch, image.width * (format == D3DFMT_L8 ? 1 : 4)) << name;
    EXPECT_TRUE(image.ownsPixels);
    EXPECT_EQ(image.palette, nullptr);
    if (format == D3DFMT_X8R8G8B8) {
        bool topBytesZero = true;
        for (UINT y = 0; y < image.height; ++y)
            for (UINT x = 0; x < image.width; ++x)
                topBytesZero = topBytesZero && image.pixels[y * image.pitch + x * 4 + 3] == 0;
        EXPECT_TRUE(topBytesZero) << name << ": each pixel is the word 0x00RRGGBB";
    }
    EXPECT_TRUE(picturesMatch(toRgba(image), decodeWithLibjpeg(file), 0, name));
}

} // namespace

TEST(JpegReader, ColourAndGreyscaleFilesDecodeAsLibjpegDecodesThem)
{
    const Rgba picture = makeTestPicture(37, 21, false);
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {}), D3DFMT_X8R8G8B8, "jpeg-colour");
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {.grey = true}), D3DFMT_L8, "jpeg-grey");
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {.progressive = true}), D3DFMT_X8R8G8B8, "jpeg-progressive");
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {.grey = true, .progressive = true}), D3DFMT_L8,
                             "jpeg-grey-progressive");
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {.restartInterval = 1}), D3DFMT_X8R8G8B8, "jpeg-restart");
    expectDecodesLikeLibjpeg(encodeJpeg(picture, {.progressive = true, .restartInterval = 2}), D3DFMT_X8R8G8B8,
                             "jpeg-progressive-restart");
}

TEST(JpegReader, ImageMagickFilesMatchImageMagicksOwnDecoding)
{
    REQUIRE_CONVERT();
    const Rgba picture = makeTestPicture(45, 30, false);
    const std::string png = scratchPath("jpeg-source.png");
    writePng(png, picture, false);
    struct Case {
        const char* name;
        const char* options;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {"jpeg-im-baseline", "-quality 90", D3DFMT_X8R8G8B8},
        {"jpeg-im-420", "-quality 75 -sampling-factor 2x2", D3DFMT_X8R8G8B8},
        {"jpeg-im-progressive", "-interlace JPEG", D3DFMT_X8R8G8B8},
        {"jpeg-im-grey", "-colorspace Gray", D3DFMT_L8},
    };
    for (const Case& c : cases) {
        const std::string path = scratchPath(std::string(c.name) + ".jpg");
        ASSERT_TRUE(runConvert("'" + png + "' " + c.options + " 'jpg:" + path + "'"));
        const Bytes file = readFileBytes(path);
        DecodedImage image;
        ASSERT_TRUE(readJpeg(file.data(), file.size(), image)) << c.name;
        EXPECT_EQ(image.format, c.format) << c.name;
        // ImageMagick picks its own IDCT, so the two may round differently by a step or two.
        EXPECT_TRUE(picturesMatch(toRgba(image), convertToRgba(path, 45, 30), 3, c.name));
    }
}

TEST(JpegReader, RefusesOtherComponentCounts)
{
    REQUIRE_CONVERT();
    const std::string png = scratchPath("jpeg-cmyk-source.png");
    writePng(png, makeTestPicture(16, 16, false), false);
    const std::string path = scratchPath("jpeg-cmyk.jpg");
    ASSERT_TRUE(runConvert("'" + png + "' -colorspace CMYK 'jpg:" + path + "'"));
    expectRefused(readJpeg, readFileBytes(path), "CMYK");
}

TEST(JpegReader, CutShortOrDamagedDataIsRefused)
{
    const Rgba picture = makeTestPicture(24, 16, false);
    for (const Bytes& file : {encodeJpeg(picture, {}), encodeJpeg(picture, {.progressive = true}),
                              encodeJpeg(picture, {.grey = true, .restartInterval = 1})})
        expectCutsRefused(readJpeg, file, file.size(), "jpeg");
    // A frame header claiming zero lines.
    Bytes damaged = encodeJpeg(picture, {});
    for (size_t i = 2; i + 9 < damaged.size(); ++i) {
        if (damaged[i] == 0xFF && damaged[i + 1] == 0xC0) { // SOF0: length, precision, height, width
            damaged[i + 5] = damaged[i + 6] = 0;
            break;
        }
    }
    expectRefused(readJpeg, damaged, "no lines");
}
