// Building textures from image files on devices of different abilities.
#include "image_test_support.h"
#include "show_device_fixture.h"

#include <algorithm>
#include <tuple>

namespace {

struct TextureBuilderTest : ShowDeviceTest {
    IDirect3DDevice8*& device = showState.device;

    // A fresh device of this configuration in place of the last one.
    void makeDevice(const d3d8host::DeviceConfig& config = d3d8host::defaultDeviceConfig())
    {
        releaseShowDevice();
        createShowDevice(config);
    }

    static d3d8host::DeviceConfig configWithout(const std::vector<D3DFORMAT>& missing)
    {
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        for (D3DFORMAT format : missing)
            std::erase(config.textureFormats, format);
        return config;
    }

    // An uncompressed top-down TGA of any of the pixel layouts the tests need.
    void writeTga(const char* name, BYTE type, uint16_t width, uint16_t height, BYTE bits, const Bytes& pixels,
                  const Bytes& colourMap = {})
    {
        const BYTE mapBits = colourMap.empty() ? 0 : 32;
        writeFileBytes(name, makeTga({.colourMapType = BYTE(mapBits ? 1 : 0), .imageType = type,
                                     .colourMapLength = uint16_t(colourMap.size() / 4), .colourMapBits = mapBits,
                                     .width = width, .height = height, .pixelBits = bits},
                                    colourMap, pixels));
    }

    struct Built {
        D3DSURFACE_DESC top{};
        std::vector<std::vector<uint32_t>> levels; // each unpacked to 0xAARRGGBB
    };
    Built build(const char* name)
    {
        IDirect3DTexture8* texture = nullptr;
        Built built;
        EXPECT_EQ(createTextureFromFile(device, name, &texture), D3D_OK) << name;
        if (!texture)
            return built;
        texture->GetLevelDesc(0, &built.top);
        for (UINT level = 0; level < texture->GetLevelCount(); ++level) {
            D3DSURFACE_DESC desc;
            texture->GetLevelDesc(level, &desc);
            D3DLOCKED_RECT locked;
            EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
            std::vector<uint32_t>& argb = built.levels.emplace_back(size_t(desc.Width) * desc.Height);
            pixelformat::unpackSurface(desc.Format, locked.pBits, locked.Pitch, int(desc.Width), int(desc.Height),
                                       argb.data(), int(desc.Width));
            texture->UnlockRect(level);
        }
        texture->Release();
        return built;
    }
};

} // namespace

TEST_F(TextureBuilderTest, FormatsFollowTheImageAndFallBackToTheCheapestSubstitute)
{
    Bytes opaqueMap;
    for (BYTE i = 0; i < 16; ++i)
        opaqueMap.insert(opaqueMap.end(), {BYTE(i * 16), BYTE(i * 16), BYTE(i * 16), 255});
    Bytes translucentMap = opaqueMap;
    translucentMap[5 * 4 + 3] = 128;
    writeTga("rgba.tga", 2, 4, 4, 32, Bytes(4 * 4 * 4, 0x80));
    writeTga("rgb.tga", 2, 4, 4, 24, Bytes(4 * 4 * 3, 0x80));
    writeTga("grey.tga", 3, 4, 4, 8, Bytes(4 * 4, 0x80));
    writeTga("opaque.tga", 1, 4, 4, 8, Bytes(16, 3), opaqueMap);
    writeTga("translucent.tga", 1, 4, 4, 8, Bytes(16, 3), translucentMap);
    const std::tuple<const char*, std::vector<D3DFORMAT>, D3DFORMAT> cases[] = {
        {"rgba.tga", {}, D3DFMT_A8R8G8B8},
        {"rgb.tga", {}, D3DFMT_X8R8G8B8},
        {"grey.tga", {}, D3DFMT_L8},
        {"grey.tga", {D3DFMT_L8}, D3DFMT_X8R8G8B8},
        {"opaque.tga", {}, D3DFMT_X8R8G8B8},
        {"translucent.tga", {}, D3DFMT_A8R8G8B8},
        // Alpha 8->1 or 4 and colour 8->5 or 4 cost the same; the earlier 16-bit row wins.
        {"rgba.tga", {D3DFMT_A8R8G8B8}, D3DFMT_A1R5G5B5},
        {"rgba.tga", {D3DFMT_A8R8G8B8, D3DFMT_A1R5G5B5}, D3DFMT_A4R4G4B4},
    };
    for (const auto& [file, missing, expected] : cases) {
        makeDevice(configWithout(missing));
        EXPECT_EQ(build(file).top.Format, expected) << file << " without " << missing.size() << " formats";
    }
}

TEST_F(TextureBuilderTest, LevelsFollowTheLargerSideAndDeviceLimitsShapeTheTexture)
{
    writeTga("wide.tga", 3, 256, 64, 8, Bytes(256 * 64, 9));
    Bytes flat;
    for (int i = 0; i < 640 * 480; ++i)
        flat.insert(flat.end(), {0x30, 0x60, 0x90});
    writeTga("screen.tga", 2, 640, 480, 24, flat);
    // File, texture caps added and removed, largest size (0: the device's), expected size and levels.
    const std::tuple<std::string, DWORD, DWORD, UINT, UINT, UINT, size_t> cases[] = {
        {"wide.tga", 0, 0, 0, 256, 64, 9},
        {"wide.tga", 0, D3DPTEXTURECAPS_MIPMAP, 0, 256, 64, 1},
        {"screen.tga", D3DPTEXTURECAPS_POW2, 0, 0, 1024, 512, 11},
        {"screen.tga", D3DPTEXTURECAPS_SQUAREONLY, 0, 256, 256, 256, 9},
        {"screen.tga", D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0, 0, 640, 480, 1},
    };
    for (const auto& [file, capsAdded, capsRemoved, maxSize, width, height, levels] : cases) {
        SCOPED_TRACE(testing::Message() << file << " caps +" << capsAdded << " -" << capsRemoved);
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        config.caps.TextureCaps = (config.caps.TextureCaps | capsAdded) & ~capsRemoved;
        if (maxSize)
            config.caps.MaxTextureWidth = config.caps.MaxTextureHeight = maxSize;
        makeDevice(config);
        const Built built = build(file.c_str());
        EXPECT_EQ(std::tuple(built.top.Width, built.top.Height, built.levels.size()), std::tuple(width, height, levels));
        // Resampling to another size keeps a flat picture flat, every channel in its place.
        const uint32_t colour = file == "screen.tga" ? 0x906030 : 0x090909;
        const std::vector<uint32_t>& top = built.levels.at(0);
        EXPECT_EQ(std::count_if(top.begin(), top.end(), [&](uint32_t p) { return (p & 0xFFFFFF) == colour; }),
                  std::ptrdiff_t(top.size()));
    }
}

TEST_F(TextureBuilderTest, BoxFilterRoundsToNearestAndDropsTheOddEdge)
{
    makeDevice();
    // 5x3 greyscale: level 1 is 2x1 from the top-left 2x2 blocks; column 4 and row 2 drop out.
    writeTga("odd.tga", 3, 5, 3, 8, {10, 11, 200, 201, 77, //
                                     12, 14, 202, 203, 77, //
                                     99, 99, 99, 99, 99});
    const Built built = build("odd.tga");
    ASSERT_EQ(built.levels.size(), 3u);
    ASSERT_EQ(built.levels[1].size(), 2u);
    EXPECT_EQ(built.levels[1][0] & 0xFF, 12u);  // (10 + 11 + 12 + 14) / 4 = 11.75
    EXPECT_EQ(built.levels[1][1] & 0xFF, 202u); // (200 + 201 + 202 + 203) / 4 = 201.5
    ASSERT_EQ(built.levels[2].size(), 1u);      // a width of 1 stays 1, the other side halves
    EXPECT_EQ(built.levels[2][0] & 0xFF, 107u); // (12 + 202) / 2
}

TEST_F(TextureBuilderTest, NarrowingToSixteenBitsDithersWithTheOrderedMatrix)
{
    // 132 * 31 / 255 = 16.047: only the matrix's 0 entry (threshold 1/32) rounds red up.
    Bytes pixels;
    for (int i = 0; i < 8 * 8; ++i)
        pixels.insert(pixels.end(), {0, 0, 132});
    writeTga("grey132.tga", 2, 8, 8, 24, pixels);
    makeDevice(configWithout({D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}));
    const Built built = build("grey132.tga");
    EXPECT_EQ(built.top.Format, D3DFMT_R5G6B5);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool roundsUp = (y % 4 == 3) && (x % 4 == 0);
            // Red 17 or 16 of 31, widened to 8 bits.
            EXPECT_EQ(built.levels.at(0)[y * 8 + x] >> 16 & 0xFF, roundsUp ? 140u : 132u) << x << "," << y;
        }
    }
}

TEST_F(TextureBuilderTest, FailuresReturnTheirCodeLeaveTheOutputAndLeakNothing)
{
    writeTga("ok.tga", 2, 8, 8, 32, Bytes(256, 0x40));
    writeFileBytes("junk.tga", {'n', 'o', 'n', 'e'});
    makeDevice();
    IDirect3DTexture8* const untouched = reinterpret_cast<IDirect3DTexture8*>(0x1);
    IDirect3DTexture8* texture = untouched;
    EXPECT_EQ(createTextureFromFile(nullptr, "ok.tga", &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, "ok.tga", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, "absent.tga", &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(createTextureFromFile(device, "junk.tga", &texture), D3DXERR_INVALIDDATA);

    d3d8host::DeviceConfig none = d3d8host::defaultDeviceConfig(), noCreate = none, noLock = none;
    none.textureFormats.clear();
    makeDevice(none);
    EXPECT_EQ(createTextureFromFile(device, "ok.tga", &texture), D3DERR_NOTAVAILABLE);
    noCreate.failCreateTextureAfter = 0;
    noLock.failLockAfter = 2; // level 0 fills, level 1 cannot be locked
    for (const d3d8host::DeviceConfig& config : {noCreate, noLock}) {
        makeDevice(config);
        const int liveWithDevice = d3d8host::liveObjectCount();
        EXPECT_LT(createTextureFromFile(device, "ok.tga", &texture), 0);
        EXPECT_EQ(d3d8host::liveObjectCount(), liveWithDevice);
    }
    EXPECT_EQ(texture, untouched);
}

TEST_F(TextureBuilderTest, UnlockableDefaultPoolIsFilledThroughSystemMemory)
{
    writeTga("ok.tga", 2, 8, 8, 32, Bytes(256, 0x40));
    makeDevice();
    const TextureRequest request{.pool = D3DPOOL_DEFAULT};
    IDirect3DTexture8* texture = nullptr;
    d3d8host::setCallRecording(true);
    // A default-pool texture cannot be locked: it is built in system memory and copied over.
    ASSERT_EQ(createTextureFromFileEx(device, "ok.tga", request, &texture), D3D_OK);
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Pool, D3DPOOL_DEFAULT);
    EXPECT_EQ(callsStartingWith(d3d8host::recordedCalls(), {"UpdateTexture"}).size(), 1u);
    texture->Release();
}
