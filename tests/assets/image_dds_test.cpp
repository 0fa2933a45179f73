// The DDS reader and DXT expansion: uncompressed layouts, DXT1..DXT5, mip chains and cube
// faces as the `next` images, and refusals.
#include "image_test_support.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

struct DdsLayout {
    uint32_t width = 4, height = 4;
    uint32_t mipMapCount = 0; // 0: no mip-map count flag
    uint32_t pixelFlags = 0x40;
    uint32_t fourCc = 0;
    uint32_t bitCount = 32;
    uint32_t masks[4] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    uint32_t caps2 = 0;
};

Bytes ddsHeader(const DdsLayout& s)
{
    const std::pair<size_t, uint32_t> fields[] = {
        {0, MAKEFOURCC('D', 'D', 'S', ' ')}, {4, 124}, {8, 0x1007 | (s.mipMapCount ? 0x20000 : 0)},
        {12, s.height}, {16, s.width}, {28, s.mipMapCount}, {76, 32}, {80, s.pixelFlags}, {84, s.fourCc},
        {88, s.bitCount}, {92, s.masks[0]}, {96, s.masks[1]}, {100, s.masks[2]}, {104, s.masks[3]},
        {108, 0x1000}, {112, s.caps2}};
    Bytes out(128, 0);
    for (const auto& [at, value] : fields)
        for (int i = 0; i < 4; ++i)
            out[at + i] = static_cast<BYTE>(value >> (8 * i));
    return out;
}

} // namespace

TEST(DdsReader, UncompressedLayoutsAreDeliveredInPlaceOrConverted)
{
    // Converted layouts are checked on their first pixel, whose bytes are 0x01 0x01 0x02 0x03.
    // Name, layout, format, first pixel (none: used in place).
    const std::tuple<const char*, DdsLayout, D3DFORMAT, Bytes> cases[] = {
        {"alpha mask without the alpha flag", {}, D3DFMT_X8R8G8B8, {}},
        {"R5G6B5", {.bitCount = 16, .masks = {0xF800, 0x7E0, 0x1F, 0}}, D3DFMT_R5G6B5, {}},
        {"A1R5G5B5", {.pixelFlags = 0x41, .bitCount = 16, .masks = {0x7C00, 0x3E0, 0x1F, 0x8000}}, D3DFMT_A1R5G5B5, {}},
        {"A4R4G4B4", {.pixelFlags = 0x41, .bitCount = 16, .masks = {0xF00, 0xF0, 0xF, 0xF000}}, D3DFMT_A4R4G4B4, {}},
        {"L8", {.pixelFlags = 0x20000, .bitCount = 8, .masks = {0xFF, 0, 0, 0}}, D3DFMT_L8, {}},
        {"A8L8", {.pixelFlags = 0x20001, .bitCount = 16, .masks = {0xFF, 0, 0, 0xFF00}}, D3DFMT_A8L8, {}},
        {"A8", {.pixelFlags = 0x2, .bitCount = 8, .masks = {0, 0, 0, 0xFF}}, D3DFMT_A8, {}},
        {"A8B8G8R8", {.pixelFlags = 0x41, .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}}, D3DFMT_A8R8G8B8, {1, 1, 2, 3}},
        {"X8B8G8R8", {.masks = {0xFF, 0xFF00, 0xFF0000, 0}}, D3DFMT_X8R8G8B8, {1, 1, 2, 255}},
    };
    for (const auto& [name, layout, format, firstPixel] : cases) {
        SCOPED_TRACE(name);
        Bytes file = ddsHeader(layout);
        for (size_t i = 0; i < 4 * 4 * layout.bitCount / 8; ++i)
            file.push_back(static_cast<BYTE>(i == 0 ? 1 : i));
        const DecodedImage image = decodeOrFail(file);
        EXPECT_EQ(std::tuple(image.format, image.next.get()), std::tuple(format, nullptr));
        if (firstPixel.empty()) {
            EXPECT_EQ(std::tuple(image.pixels, image.pitch), std::tuple(file.data() + 128, UINT(4 * layout.bitCount / 8)));
        } else {
            const Rgba rgba = toRgba(image);
            EXPECT_EQ(Bytes(rgba.pixels.begin(), rgba.pixels.begin() + 4), firstPixel);
        }
    }
}

TEST(DdsReader, MipLevelsThenCubeFacesFollowAsNextImages)
{
    // A cube map with three faces (+X, +Y, -Z) of 4×2 L8 surfaces, three levels each.
    const DdsLayout layout{.width = 4, .height = 2, .mipMapCount = 3, .pixelFlags = 0x20000, .bitCount = 8,
                       .masks = {0xFF, 0, 0, 0}, .caps2 = 0x200 | 0x400 | 0x1000 | 0x8000};
    Bytes file = ddsHeader(layout);
    file.resize(128 + 3 * (8 + 2 + 1));
    DecodedImage image;
    ASSERT_TRUE(readDds(file.data(), file.size(), image));
    const UINT sizes[3][2] = {{4, 2}, {2, 1}, {1, 1}};
    const DecodedImage* at = &image;
    for (size_t i = 0, offset = 128; i < 9; offset += at->width * at->height, at = at->next.get(), ++i) {
        ASSERT_NE(at, nullptr) << "image " << i;
        EXPECT_EQ(std::tuple(at->format, at->width, at->height, at->pixels),
                  std::tuple(D3DFMT_L8, sizes[i % 3][0], sizes[i % 3][1], file.data() + offset))
            << "image " << i;
    }
    EXPECT_EQ(at, nullptr);
}

TEST(DdsReader, RefusesSurfacesItCannotRead)
{
    const std::pair<const char*, DdsLayout> cases[] = {
        {"DX10 extended header", {.pixelFlags = 0x4, .fourCc = MAKEFOURCC('D', 'X', '1', '0')}},
        {"volume texture", {.caps2 = 0x200000}},
        {"cube map without faces", {.caps2 = 0x200}},
        {"12 bits per pixel", {.bitCount = 12, .masks = {0xF00, 0xF0, 0xF, 0}}},
        {"scattered masks", {.masks = {0xF0F0, 0x0F0F, 0xF0000, 0}}},
        {"no format flags", {.pixelFlags = 0}},
        {"width 0", {.width = 0}},
        {"too tall", {.height = 16385}},
    };
    for (const auto& [what, layout] : cases) {
        Bytes file = ddsHeader(layout);
        file.resize(file.size() + 4 * 4 * 4, 0);
        expectRefused(readDds, file, what);
    }
    Bytes badSize = ddsHeader({});
    badSize[4] = 100;
    badSize.resize(badSize.size() + 64);
    expectRefused(readDds, badSize, "header size field");
}

TEST(DdsReader, ImageMagickSurfacesMatchImageMagicksOwnDecoding)
{
    REQUIRE_CONVERT();
    const std::string png = sourcePng("dds-source", makeTestPicture(32, 16, true), true);
    // DXT blocks are handed over as stored; their expansion may round a step off ImageMagick's.
    const std::tuple<const char*, const char*, D3DFORMAT, int> cases[] = {
        {"dds-none", "-define dds:compression=none", D3DFMT_A8R8G8B8, 0},
        {"dds-none-opaque", "-alpha off -define dds:compression=none", D3DFMT_R8G8B8, 0},
        {"dds-dxt1", "-alpha off -define dds:compression=dxt1", D3DFMT_DXT1, 1},
        {"dds-dxt5", "-define dds:compression=dxt5", D3DFMT_DXT5, 1},
    };
    for (const auto& [name, options, format, tolerance] : cases) {
        SCOPED_TRACE(name);
        const std::string path = convertTo(png, options, "dds", name);
        const Bytes file = readFileBytes(path);
        const DecodedImage image = expectDecodes(readDds, file, format, convertToRgba(path, 32, 16), tolerance, name);
        EXPECT_EQ(image.pixels, file.data() + 128) << "used in place";
        // ImageMagick writes the full chain for power-of-two sizes: 32×16 down to 1×1.
        int levels = 0;
        for (const DecodedImage* at = &image; at; at = at->next.get(), ++levels)
            EXPECT_EQ(std::tuple(at->width, at->height, at->format),
                      std::tuple(std::max(32u >> levels, 1u), std::max(16u >> levels, 1u), format))
                << "level " << levels;
        EXPECT_EQ(levels, 6);
        expectCutsRefused(readDds, file, file.size(), name);
    }
}
