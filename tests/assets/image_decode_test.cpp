// Recognising the kind of an image from its bytes, mapping files through the Win32 layer, and
// the ownership rules of DecodedImage.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

Bytes tinyTga()
{
    // 2×1 true colour, 24 bits, top-down.
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0x20, 1, 2, 3, 4, 5, 6};
}

Bytes tinyPpm()
{
    const std::string text = "P3 1 1 255 10 20 30\n";
    return Bytes(text.begin(), text.end());
}

Bytes tinyDib()
{
    // BITMAPINFOHEADER, 1×1, 24 bits, one padded row.
    Bytes dib = {40, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
    dib.resize(40, 0);
    dib.insert(dib.end(), {7, 8, 9, 0});
    return dib;
}

Bytes tinyBmp()
{
    Bytes bmp = tinyDib();
    const Bytes header = {'B', 'M', BYTE(14 + bmp.size()), 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0};
    bmp.insert(bmp.begin(), header.begin(), header.end());
    return bmp;
}

Bytes tinyDds()
{
    Bytes dds(128, 0);
    std::memcpy(dds.data(), "DDS ", 4);
    dds[4] = 124;
    dds[12] = 1;  // height
    dds[16] = 1;  // width
    dds[76] = 32; // pixel format size
    dds[80] = 0x40;
    dds[88] = 32;
    dds[94] = 0xFF; // red 0x00FF0000
    dds[97] = 0xFF; // green 0x0000FF00
    dds[100] = 0xFF; // blue 0x000000FF
    dds.insert(dds.end(), {1, 2, 3, 4});
    return dds;
}

} // namespace

TEST(ImageRecogniser, EachKindIsRecognisedFromItsBytesAlone)
{
    struct Case {
        const char* kind;
        Bytes bytes;
        D3DFORMAT format;
    };
    const Case cases[] = {
        {"BMP", tinyBmp(), D3DFMT_R8G8B8}, {"PPM", tinyPpm(), D3DFMT_X8R8G8B8}, {"DDS", tinyDds(), D3DFMT_X8R8G8B8},
        {"TGA", tinyTga(), D3DFMT_R8G8B8}, {"DIB", tinyDib(), D3DFMT_R8G8B8},
    };
    for (const Case& c : cases) {
        DecodedImage image;
        ASSERT_EQ(decodeImage(c.bytes.data(), c.bytes.size(), image), S_OK) << c.kind;
        EXPECT_EQ(image.format, c.format) << c.kind;
        EXPECT_EQ(image.width, c.kind == std::string("TGA") ? 2u : 1u) << c.kind;
    }
    // The BMP's pixels decoded through the headerless DIB reader are the same pixels.
    const Bytes bmp = tinyBmp();
    const Bytes dib = tinyDib();
    DecodedImage viaBmp, viaDib;
    ASSERT_EQ(decodeImage(bmp.data(), bmp.size(), viaBmp), S_OK);
    ASSERT_EQ(decodeImage(dib.data(), dib.size(), viaDib), S_OK);
    EXPECT_EQ(std::memcmp(viaBmp.pixels, viaDib.pixels, 3), 0);
}

TEST(ImageRecogniser, BytesNoReaderAcceptsGiveInvalidDataAndAnEmptyImage)
{
    const std::string text = "just some text, not a picture";
    const Bytes cases[] = {Bytes{}, Bytes{0}, Bytes(text.begin(), text.end()), Bytes(4096, 0), Bytes(4096, 0xFF)};
    for (const Bytes& bytes : cases) {
        DecodedImage image;
        image.format = D3DFMT_L8; // whatever was there before is dropped
        EXPECT_EQ(decodeImage(bytes.data(), bytes.size(), image), invalidData) << bytes.size();
        EXPECT_EQ(image.format, D3DFMT_UNKNOWN);
        EXPECT_EQ(image.pixels, nullptr);
    }
    DecodedImage image;
    EXPECT_EQ(decodeImage(nullptr, 10, image), invalidData);
}

TEST(ImageFiles, MappingGivesTheWholeFileReadOnlyAndUnmapsCleanly)
{
    const std::string path = scratchPath("mapped.bin");
    Bytes content(10000);
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<BYTE>(i * 7);
    writeFileBytes(path, content);

    MappedFile mapped;
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    ASSERT_NE(mapped.bytes, nullptr);
    EXPECT_EQ(mapped.size, content.size());
    EXPECT_EQ(std::memcmp(mapped.bytes, content.data(), content.size()), 0);
    unmapImageFile(mapped);
    EXPECT_EQ(mapped.bytes, nullptr);
    EXPECT_EQ(mapped.size, 0u);
    EXPECT_EQ(mapped.file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(mapped.mapping, nullptr);
    unmapImageFile(mapped); // a second time does nothing

    // Mapping again over a record that still holds a file releases the old one first.
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    EXPECT_EQ(mapped.size, content.size());
}

TEST(ImageFiles, MissingOrEmptyFilesCannotBeMapped)
{
    const std::string empty = scratchPath("empty.tga");
    writeFileBytes(empty, {});
    for (const std::string& path : {scratchPath("no-such-file.tga"), empty, scratchDirectory()}) {
        MappedFile mapped;
        EXPECT_EQ(mapImageFile(path.c_str(), mapped), invalidData) << path;
        EXPECT_EQ(mapped.bytes, nullptr);
        EXPECT_EQ(mapped.file, INVALID_HANDLE_VALUE);
    }
    MappedFile mapped;
    EXPECT_EQ(mapImageFile(nullptr, mapped), invalidData);
}

TEST(ImageFiles, AFileNamedTgaHoldingJpegDataDecodesAsJpeg)
{
    REQUIRE_CONVERT();
    const std::string png = scratchPath("jpeg-in-tga.png");
    writePng(png, makeTestPicture(16, 8, false), false);
    const std::string path = scratchPath("jpeg-in-disguise.tga");
    ASSERT_TRUE(runConvert("'" + png + "' 'jpg:" + path + "'"));

    MappedFile mapped;
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    DecodedImage image;
    ASSERT_EQ(decodeImage(mapped.bytes, mapped.size, image), S_OK);
    EXPECT_EQ(image.format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(image.width, 16u);
    EXPECT_EQ(image.height, 8u);
}

TEST(ImageFiles, ARawTopDownTgaIsUsedStraightFromTheMappedFile)
{
    const std::string path = scratchPath("in-place.tga");
    writeFileBytes(path, tinyTga());
    MappedFile mapped;
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    DecodedImage image;
    ASSERT_EQ(decodeImage(mapped.bytes, mapped.size, image), S_OK);
    EXPECT_FALSE(image.ownsPixels);
    EXPECT_EQ(image.pixels, mapped.bytes + 18);
    EXPECT_EQ(image.pixels[5], 6);
}

TEST(DecodedImageRecord, MovingHandsOverTheBufferAndResetFreesTheWholeChain)
{
    // 3×1 run-length greyscale: one run of 42, so the pixels have their own buffer.
    const Bytes rle = {0, 0, 11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 1, 0, 8, 0x20, 0x82, 42};
    DecodedImage owned;
    ASSERT_EQ(decodeImage(rle.data(), rle.size(), owned), S_OK);
    ASSERT_TRUE(owned.ownsPixels);
    const BYTE* pixels = owned.pixels;

    DecodedImage moved(std::move(owned));
    EXPECT_EQ(moved.pixels, pixels);
    EXPECT_TRUE(moved.ownsPixels);
    EXPECT_EQ(owned.pixels, nullptr);
    EXPECT_FALSE(owned.ownsPixels);
    EXPECT_EQ(moved.pixels[2], 42);

    // Further images with buffers of their own are freed with the first (checked by the
    // leak sanitizer in sanitizer builds).
    DecodedImage* at = &moved;
    for (int i = 0; i < 20; ++i) {
        at->next = std::make_unique<DecodedImage>();
        at = at->next.get();
        ASSERT_EQ(decodeImage(rle.data(), rle.size(), *at), S_OK);
    }
    moved.reset();
    EXPECT_EQ(moved.pixels, nullptr);
    EXPECT_EQ(moved.next, nullptr);
    EXPECT_EQ(moved.format, D3DFMT_UNKNOWN);
}
