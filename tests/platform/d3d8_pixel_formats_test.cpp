// The format table and the one conversion between texel formats and 8-bit channels, and
// sampling of every texture format the device offers.
#include <pixel_formats.h>

#include <array>
#include <tuple>

#include "d3d8_test_util.h"

using namespace d3d8test;

namespace {

// Block formats count in 4x4 blocks, odd edges rounded up.
TEST(PixelFormats, SurfaceSizes) {
    EXPECT_EQ(pixelformat::rowPitch(D3DFMT_DXT1, 10), 24u);  // three blocks of 8 bytes
    EXPECT_EQ(pixelformat::surfaceSize(D3DFMT_DXT5, 8, 8), 64u);
    EXPECT_EQ(pixelformat::rowPitch(D3DFMT_R8G8B8, 3), 12u);
}

// Exact widening, round(c * 255 / (2^n - 1)): the 5-bit table starts 00 08 10 19 21 29 31 3A
// and differs from bit replication at 3, 7, 24 and 28.
TEST(PixelFormats, WideningIsExactRounding) {
    const uint8_t five[8] = {0x00, 0x08, 0x10, 0x19, 0x21, 0x29, 0x31, 0x3A};
    for (int c = 0; c < 8; ++c) EXPECT_EQ(pixelformat::widenChannel(c, 5), five[c]);
    EXPECT_EQ(pixelformat::widenChannel(31, 5), 255);
    EXPECT_EQ(pixelformat::widenChannel(24, 5), 197);  // replication would give 198
    EXPECT_EQ(pixelformat::widenChannel(11, 6), 45);    // replication would give 44
    EXPECT_EQ(pixelformat::widenChannel(1, 1), 255);
    EXPECT_EQ(pixelformat::widenChannel(512, 10), 128);
    // Narrowing the widened value gives the value back.
    for (int bits = 1; bits <= 8; ++bits)
        for (uint32_t c = 0; c < (1u << bits); ++c)
            EXPECT_EQ(pixelformat::narrowChannel(pixelformat::widenChannel(c, bits), bits), c);
    EXPECT_EQ(pixelformat::narrowChannel(132, 5), 16u);  // 132 * 31 / 255 = 16.05
    EXPECT_EQ(pixelformat::narrowChannel(132, 5, 0.95f), 16u);
    EXPECT_EQ(pixelformat::narrowChannel(132, 5, 0.03f), 17u);  // a low threshold rounds up
}

// Single texels of the formats a texture can hold are unpacked in the sampling test below;
// X8R8G8B8, R8G8B8 and the readers' DXT blocks against libjpeg and ImageMagick in the readers' tests.
TEST(PixelFormats, UnpackAndPackRows) {
    uint32_t out[1];
    const uint16_t a4 = 0x8F3C;
    PALETTEENTRY palette[256] = {};
    palette[3] = {0x11, 0x22, 0x33, 0x44};
    const uint8_t p8 = 3;
    EXPECT_FALSE(pixelformat::unpackRow(D3DFMT_P8, &p8, out, 1));
    ASSERT_TRUE(pixelformat::unpackRow(D3DFMT_P8, &p8, out, 1, palette));
    EXPECT_EQ(out[0], 0x44112233u);
    EXPECT_FALSE(pixelformat::unpackRow(D3DFMT_V8U8, &a4, out, 1));

    const uint32_t argb[2] = {0xFFFF8000, 0x80FFFFFF};
    uint16_t packed[2];
    ASSERT_TRUE(pixelformat::packRow(D3DFMT_R5G6B5, argb, packed, 2));
    EXPECT_EQ(packed[0], 0xFC00);  // 128 * 63 / 255 = 31.6 -> 32
    ASSERT_TRUE(pixelformat::packRow(D3DFMT_A1R5G5B5, argb, packed, 2));
    EXPECT_EQ(packed[1], 0xFFFF);  // 128 rounds to alpha 1
    uint8_t lum;
    const uint32_t green = 0xFF00FF00;
    ASSERT_TRUE(pixelformat::packRow(D3DFMT_L8, &green, &lum, 1));
    EXPECT_EQ(lum, 182);  // 0.7154 * 255
    EXPECT_FALSE(pixelformat::packRow(D3DFMT_P8, argb, packed, 1));
    EXPECT_FALSE(pixelformat::packRow(D3DFMT_DXT1, argb, packed, 1));
}

TEST(PixelFormats, DxtBlocks) {
    // DXT1 with c0 <= c1, red and blue end points: three colours and transparent black.
    uint32_t out[16];
    const uint8_t three[8] = {0x1F, 0x00, 0x00, 0xF8, 0b11100100, 0, 0, 0};
    pixelformat::decodeDxtBlock(D3DFMT_DXT1, three, out);
    EXPECT_EQ(std::pair(out[2], out[3]), std::pair(0xFF800080u, 0x00000000u));
    // DXT3: explicit 4-bit alpha.
    uint8_t dxt3[16] = {0x10, 0x32, 0, 0, 0, 0, 0, 0, 0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0};
    pixelformat::decodeDxtBlock(D3DFMT_DXT3, dxt3, out);
    EXPECT_EQ((std::array{out[0], out[1], out[3]}), (std::array{0x00FF0000u, 0x11FF0000u, 0x33FF0000u}));
}

class TextureFormats : public DeviceFixture {
    void configure(d3d8host::DeviceConfig&) override { backBufferFormat = D3DFMT_A8R8G8B8; }
};

// Each format the device exposes, sampled onto an A8R8G8B8 target with its alpha.
TEST_F(TextureFormats, EveryExposedFormatSamples) {
    overlayState();
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    // Format, every texel as stored (for DXT1 the one 4x4 block), the colour drawn.
    const std::tuple<D3DFORMAT, uint64_t, uint32_t> cases[] = {
        {D3DFMT_A8R8G8B8, 0x80402010, 0x80402010}, {D3DFMT_X8R8G8B8, 0x00402010, 0xFF402010},
        {D3DFMT_R5G6B5, 0xF821, 0xFFFF0408},       {D3DFMT_X1R5G5B5, 0x7C00, 0xFFFF0000},
        {D3DFMT_A1R5G5B5, 0x03E0, 0x0000FF00},     {D3DFMT_A4R4G4B4, 0x8F3C, 0x88FF33CC},
        {D3DFMT_L8, 0x40, 0xFF404040},             {D3DFMT_A8L8, 0x40C0, 0x40C0C0C0},
        {D3DFMT_A8, 0x7F, 0x7F000000},             {D3DFMT_DXT1, 0x001FF800, 0xFFFF0000}, // red end point
    };
    for (const auto& [format, raw, expected] : cases) {
        IDirect3DTexture8* t = nullptr;
        ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, format, D3DPOOL_MANAGED, &t), D3D_OK) << format;
        D3DLOCKED_RECT locked;
        ASSERT_EQ(t->LockRect(0, &locked, nullptr, 0), D3D_OK);
        const int bytes = pixelformat::findFormat(format)->bitsPerPixel / 8;
        if (bytes == 0)
            std::memcpy(locked.pBits, &raw, 8);
        for (int i = 0; i < 16 && bytes > 0; ++i)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + i / 4 * locked.Pitch + i % 4 * bytes, &raw, bytes);
        t->UnlockRect(0);
        device->SetTexture(0, t);
        drawQuad(0, 0, 4, 4, 0xFFFFFFFF);
        EXPECT_EQ(backBufferPixels()[1 * 640 + 1], expected) << pixelformat::formatName(format);
        // A later lock and change shows in the next draw.
        t->LockRect(0, &locked, nullptr, 0);
        std::memset(locked.pBits, 0, pixelformat::surfaceSize(format, 4, 4));
        t->UnlockRect(0);
        drawQuad(0, 0, 4, 4, 0xFFFFFFFF);
        EXPECT_NE(backBufferPixels()[1 * 640 + 1], expected) << pixelformat::formatName(format);
        device->SetTexture(0, nullptr);
        t->Release();
    }
}

}  // namespace
