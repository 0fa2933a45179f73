// The JPEG reader: output formats, agreement with ImageMagick on baseline, greyscale,
// progressive and restart-marker files, and refusal of cut-short or CMYK data.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

namespace {

// Through libjpeg directly: ImageMagick cannot be asked for restart markers.
Bytes encodeWithRestartMarkers(const Rgba& picture)
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
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    info.restart_interval = 1;
    jpeg_start_compress(&info, TRUE);
    Bytes rgb;
    for (size_t i = 0; i < picture.pixels.size(); i += 4)
        rgb.insert(rgb.end(), &picture.pixels[i], &picture.pixels[i + 3]);
    for (JSAMPROW row = rgb.data(); info.next_scanline < info.image_height; row += picture.width * 3)
        jpeg_write_scanlines(&info, &row, 1);
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

} // namespace

TEST(JpegReader, ColourAndGreyscaleFilesDecodeAsImageMagickDecodesThem)
{
    REQUIRE_CONVERT();
    const Rgba picture = makeTestPicture(37, 21, false);
    const std::string png = sourcePng("jpeg-source", picture, false);
    writeFileBytes(scratchPath("jpeg-restart.jpg"), encodeWithRestartMarkers(picture));
    const std::pair<const char*, const char*> cases[] = {
        {"jpeg-colour", ""}, {"jpeg-grey", "-type Grayscale"}, {"jpeg-progressive", "-interlace Plane"},
        {"jpeg-restart", nullptr}};
    for (const auto& [name, options] : cases) {
        SCOPED_TRACE(name);
        const std::string path = options ? convertTo(png, options, "jpg", name) : scratchPath("jpeg-restart.jpg");
        const Bytes file = readFileBytes(path);
        // Through decodeImage, which must tell a JPEG from the formats tried before it.
        const DecodedImage image = decodeOrFail(file);
        const bool grey = options && std::string(options).starts_with("-type");
        EXPECT_EQ(std::pair(image.format, image.pitch), std::pair(grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8, image.width * (grey ? 1 : 4)));
        EXPECT_TRUE(picturesMatch(toRgba(image), convertToRgba(path, 37, 21), 0, name));
        for (size_t i = 3; !grey && i < size_t{image.pitch} * image.height; i += 4)
            ASSERT_EQ(image.pixels[i], 0) << "each pixel is the word 0x00RRGGBB";
    }
    expectRefused(readJpeg, readFileBytes(convertTo(png, "-colorspace CMYK", "jpg", "jpeg-cmyk")), "CMYK");
}

TEST(JpegReader, CutShortDataIsRefused)
{
    const Bytes file = encodeWithRestartMarkers(makeTestPicture(24, 16, false));
    expectCutsRefused(readJpeg, file, file.size(), "jpeg");
}
