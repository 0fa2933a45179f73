// Recognising the kind of an image from its bytes, mapping files through the Win32 layer, and
// the ownership rules of DecodedImage.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

TEST(ImageRecogniser, BytesNoReaderAcceptsGiveInvalidDataAndAnEmptyImage)
{
    const Bytes cases[] = {Bytes{}, Bytes{0}, Bytes(4096, 0), Bytes(4096, 0xFF)};
    for (const Bytes& bytes : cases) {
        DecodedImage image;
        image.format = D3DFMT_L8; // whatever was there before is dropped
        EXPECT_EQ(decodeImage(bytes.data(), bytes.size(), image), invalidData) << bytes.size();
        EXPECT_EQ(std::tuple(image.format, image.pixels), std::tuple(D3DFMT_UNKNOWN, nullptr));
    }
    DecodedImage image;
    EXPECT_EQ(decodeImage(nullptr, 10, image), invalidData);
}

TEST(ImageFiles, MappingGivesTheWholeFileOrNothing)
{
    const std::string path = scratchPath("mapped.bin");
    const Bytes content = {1, 2, 3, 4, 5};
    writeFileBytes(path, content);
    MappedFile mapped;
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    // Mapping again over a record that still holds a file releases the old one first.
    ASSERT_EQ(mapImageFile(path.c_str(), mapped), S_OK);
    EXPECT_EQ(Bytes(mapped.bytes, mapped.bytes + mapped.size), content);
    for (int twice = 0; twice < 2; ++twice) {
        unmapImageFile(mapped);
        EXPECT_EQ(std::tuple(mapped.bytes, mapped.file), std::tuple(nullptr, INVALID_HANDLE_VALUE));
    }

    const std::string empty = scratchPath("empty.tga");
    writeFileBytes(empty, {});
    for (const std::string& bad : {empty, scratchPath("")}) {
        EXPECT_EQ(mapImageFile(bad.c_str(), mapped), invalidData) << bad;
        EXPECT_EQ(mapped.bytes, nullptr);
    }
    EXPECT_EQ(mapImageFile(nullptr, mapped), invalidData);
}

TEST(DecodedImageRecord, MovingHandsOverTheBufferAndResetFreesTheWholeChain)
{
    // 3×1 run-length greyscale: one run of 42, so the pixels have their own buffer.
    const Bytes rle = makeTga({.imageType = 11, .width = 3, .pixelBits = 8}, {}, {0x82, 42});
    DecodedImage owned = decodeOrFail(rle);
    ASSERT_TRUE(owned.ownsPixels);
    const BYTE* pixels = owned.pixels;
    DecodedImage moved(std::move(owned));
    EXPECT_EQ(std::tuple(moved.pixels, moved.ownsPixels), std::tuple(pixels, true));
    EXPECT_EQ(std::tuple(owned.pixels, owned.ownsPixels), std::tuple(nullptr, false));

    // Further images with buffers of their own are freed with the first (checked by the
    // leak sanitizer in sanitizer builds).
    moved.next = std::make_unique<DecodedImage>(decodeOrFail(rle));
    moved.next->next = std::make_unique<DecodedImage>(decodeOrFail(rle));
    moved.reset();
    EXPECT_EQ(std::tuple(moved.pixels, moved.next.get(), moved.format), std::tuple(nullptr, nullptr, D3DFMT_UNKNOWN));
}
