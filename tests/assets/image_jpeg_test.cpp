// The JPEG reader: output formats, agreement with libjpeg on progressive and restart-marker
// files, and refusal of cut-short or CMYK data.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

namespace {

struct JpegOptions {
    int components = 3; // 1 grey, 3 colour, 4 CMYK
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
    info.input_components = options.components;
    info.in_color_space = options.components == 1 ? JCS_GRAYSCALE : options.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    if (options.progressive)
        jpeg_simple_progression(&info);
    info.restart_interval = options.restartInterval;
    jpeg_start_compress(&info, TRUE);
    std::vector<BYTE> row(size_t{picture.width} * options.components);
    while (info.next_scanline < info.image_height) {
        for (UINT x = 0; x < picture.width; ++x) {
            const BYTE* p = picture.at(x, info.next_scanline);
            std::copy_n(options.components == 1 ? p + 1 : p, options.components, &row[x * options.components]);
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

} // namespace

TEST(JpegReader, ColourAndGreyscaleFilesDecodeAsLibjpegDecodesThem)
{
    const Rgba picture = makeTestPicture(37, 21, false);
    struct Case {
        const char* name;
        JpegOptions options;
    };
    const Case cases[] = {
        {"jpeg-colour", {}},
        {"jpeg-grey", {.components = 1}},
        {"jpeg-progressive", {.progressive = true}},
        {"jpeg-restart", {.restartInterval = 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Bytes file = encodeJpeg(picture, c.options);
        // Through decodeImage, which must tell a JPEG from the formats tried before it.
        const DecodedImage image = decodeOrFail(file);
        const bool grey = c.options.components == 1;
        EXPECT_EQ(image.format, grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8);
        EXPECT_EQ(image.pitch, image.width * (grey ? 1 : 4));
        EXPECT_TRUE(picturesMatch(toRgba(image), decodeWithLibjpeg(file), 0, c.name));
        bool topBytesZero = true;
        for (size_t i = 3; !grey && i < size_t{image.pitch} * image.height; i += 4)
            topBytesZero = topBytesZero && image.pixels[i] == 0;
        EXPECT_TRUE(topBytesZero) << "each pixel is the word 0x00RRGGBB";
    }
}

TEST(JpegReader, CutShortOrCmykDataIsRefused)
{
    const Rgba picture = makeTestPicture(24, 16, false);
    const Bytes file = encodeJpeg(picture, {.restartInterval = 1});
    expectCutsRefused(readJpeg, file, file.size(), "jpeg");
    expectRefused(readJpeg, encodeJpeg(picture, {.components = 4}), "CMYK");
}
