// Building textures from image files on devices of different abilities.
#include "assets.h"
#include "image_test_support.h"

#include <d3d8_host.h>
#include <win32_host.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// An uncompressed top-down TGA of any of the pixel layouts the tests need.
void writeTga(const fs::path& path, BYTE type, uint16_t width, uint16_t height, BYTE bits, const Bytes& pixels,
              const Bytes& colourMap = {}, BYTE mapBits = 0)
{
    const auto entries = static_cast<uint16_t>(mapBits ? colourMap.size() / ((mapBits + 7) / 8) : 0);
    writeFileBytes(path.string(), makeTga({.colourMapType = BYTE(mapBits ? 1 : 0), .imageType = type,
                                           .colourMapLength = entries, .colourMapBits = mapBits, .width = width,
                                           .height = height, .pixelBits = bits},
                                          colourMap, pixels));
}

std::vector<uint8_t> filled(size_t bytes, uint8_t value)
{
    return std::vector<uint8_t>(bytes, value);
}

struct TextureBuilderTest : ::testing::Test {
    fs::path dir;
    IDirect3D8* direct3d = nullptr;
    IDirect3DDevice8* device = nullptr;

    void SetUp() override
    {
        win32host::resetForTest();
        d3d8host::resetForTest();
        // ctest runs tests as parallel processes: each writes its own files.
        dir = fs::path(TOVIRA_TEST_BINARY_DIR) / ("texture_builder_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        releaseDevice();
        EXPECT_EQ(d3d8host::liveObjectCount(), 0);
        fs::remove_all(dir);
    }

    void makeDevice(const d3d8host::DeviceConfig& config = d3d8host::defaultDeviceConfig())
    {
        releaseDevice();
        d3d8host::setDeviceConfig(config);
        direct3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(direct3d, nullptr);
        D3DPRESENT_PARAMETERS parameters = d3d8host::showPresentParameters();
        ASSERT_EQ(direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                         D3DCREATE_SOFTWARE_VERTEXPROCESSING, &parameters, &device),
                  D3D_OK);
    }
    void releaseDevice()
    {
        if (device)
            device->Release();
        if (direct3d)
            direct3d->Release();
        device = nullptr;
        direct3d = nullptr;
    }

    d3d8host::DeviceConfig configWithout(const std::vector<D3DFORMAT>& missing)
    {
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        for (D3DFORMAT format : missing)
            std::erase(config.textureFormats, format);
        return config;
    }

    std::string path(const char* name) const { return (dir / name).string(); }

    struct Built {
        HRESULT result;
        D3DFORMAT format = D3DFMT_UNKNOWN;
        UINT width = 0, height = 0, levels = 0;
    };
    Built build(const std::string& file)
    {
        IDirect3DTexture8* texture = nullptr;
        Built built{createTextureFromFile(device, file.c_str(), &texture)};
        if (SUCCEEDED(built.result)) {
            D3DSURFACE_DESC desc;
            texture->GetLevelDesc(0, &desc);
            built.format = desc.Format;
            built.width = desc.Width;
            built.height = desc.Height;
            built.levels = texture->GetLevelCount();
            texture->Release();
        }
        return built;
    }

    // Level `level`'s pixels unpacked to 0xAARRGGBB.
    std::vector<uint32_t> levelPixels(IDirect3DTexture8* texture, UINT level)
    {
        D3DSURFACE_DESC desc;
        texture->GetLevelDesc(level, &desc);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(level, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        std::vector<uint32_t> argb(size_t(desc.Width) * desc.Height);
        pixelformat::unpackSurface(desc.Format, locked.pBits, locked.Pitch, int(desc.Width), int(desc.Height),
                                   argb.data(), int(desc.Width));
        texture->UnlockRect(level);
        return argb;
    }
};

} // namespace

TEST_F(TextureBuilderTest, FormatsFollowTheImageAndFallBackToTheCheapestSubstitute)
{
    Bytes opaqueMap(16 * 4), translucentMap(16 * 4);
    for (int i = 0; i < 16; ++i) {
        for (int c = 0; c < 3; ++c)
            opaqueMap[i * 4 + c] = translucentMap[i * 4 + c] = static_cast<uint8_t>(i * 16);
        opaqueMap[i * 4 + 3] = 255;
        translucentMap[i * 4 + 3] = i == 5 ? 128 : 255;
    }
    writeTga(dir / "rgba.tga", 2, 4, 4, 32, filled(4 * 4 * 4, 0x80));
    writeTga(dir / "rgb.tga", 2, 4, 4, 24, filled(4 * 4 * 3, 0x80));
    writeTga(dir / "grey.tga", 3, 4, 4, 8, filled(4 * 4, 0x80));
    writeTga(dir / "opaque.tga", 1, 4, 4, 8, filled(16, 3), opaqueMap, 32);
    writeTga(dir / "translucent.tga", 1, 4, 4, 8, filled(16, 3), translucentMap, 32);
    struct Case {
        const char* file;
        std::vector<D3DFORMAT> missing;
        D3DFORMAT expected;
    };
    const Case cases[] = {
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
    for (const Case& c : cases) {
        makeDevice(configWithout(c.missing));
        EXPECT_EQ(build(path(c.file)).format, c.expected) << c.file << " without " << c.missing.size() << " formats";
    }
}

TEST_F(TextureBuilderTest, LevelsFollowTheLargerSideAndDeviceLimitsShapeTheTexture)
{
    writeTga(dir / "square.tga", 3, 256, 256, 8, filled(256 * 256, 9));
    writeTga(dir / "wide.tga", 3, 256, 64, 8, filled(256 * 64, 9));
    writeTga(dir / "dot.tga", 3, 1, 1, 8, filled(1, 9));
    writeTga(dir / "screen.tga", 3, 640, 480, 8, filled(640 * 480, 200));
    struct Case {
        const char* file;
        DWORD capsAdded, capsRemoved;
        UINT maxSize, width, height, levels;
    };
    const Case cases[] = {
        {"square.tga", 0, 0, 0, 256, 256, 9},
        {"wide.tga", 0, 0, 0, 256, 64, 9},
        {"dot.tga", 0, 0, 0, 1, 1, 1},
        {"square.tga", 0, D3DPTEXTURECAPS_MIPMAP, 0, 256, 256, 1},
        {"screen.tga", D3DPTEXTURECAPS_POW2, 0, 0, 1024, 512, 11},
        {"screen.tga", D3DPTEXTURECAPS_SQUAREONLY, 0, 256, 256, 256, 9},
        {"screen.tga", D3DPTEXTURECAPS_NONPOW2CONDITIONAL, 0, 0, 640, 480, 1},
    };
    for (const Case& c : cases) {
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        config.caps.TextureCaps = (config.caps.TextureCaps | c.capsAdded) & ~c.capsRemoved;
        if (c.maxSize)
            config.caps.MaxTextureWidth = config.caps.MaxTextureHeight = c.maxSize;
        makeDevice(config);
        const Built built = build(path(c.file));
        EXPECT_EQ(built.width, c.width) << c.file << " caps +" << c.capsAdded << " -" << c.capsRemoved;
        EXPECT_EQ(built.height, c.height) << c.file << " caps +" << c.capsAdded << " -" << c.capsRemoved;
        EXPECT_EQ(built.levels, c.levels) << c.file << " caps +" << c.capsAdded << " -" << c.capsRemoved;
    }
}

TEST_F(TextureBuilderTest, ResampledLevelZeroKeepsAFlatImageFlat)
{
    writeTga(dir / "flat.tga", 2, 6, 3, 24, [] {
        std::vector<uint8_t> p;
        for (int i = 0; i < 18; ++i)
            p.insert(p.end(), {0x30, 0x60, 0x90});
        return p;
    }());
    d3d8host::DeviceConfig pow2 = d3d8host::defaultDeviceConfig();
    pow2.caps.TextureCaps |= D3DPTEXTURECAPS_POW2;
    makeDevice(pow2);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(createTextureFromFile(device, path("flat.tga").c_str(), &texture), D3D_OK);
    for (uint32_t pixel : levelPixels(texture, 0))
        EXPECT_EQ(pixel & 0xFFFFFF, 0x906030u);
    texture->Release();
}

TEST_F(TextureBuilderTest, BoxFilterRoundsToNearestAndDropsTheOddEdge)
{
    makeDevice();
    // 5x3 greyscale: level 1 is 2x1 from the top-left 2x2 blocks; column 4 and row 2 drop out.
    const std::vector<uint8_t> grey = {10, 11, 200, 201, 77,
                                       12, 14, 202, 203, 77,
                                       99, 99, 99,  99,  99};
    writeTga(dir / "odd.tga", 3, 5, 3, 8, grey);
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(createTextureFromFile(device, path("odd.tga").c_str(), &texture), D3D_OK);
    ASSERT_EQ(texture->GetLevelCount(), 3u);
    const std::vector<uint32_t> level1 = levelPixels(texture, 1);
    ASSERT_EQ(level1.size(), 2u);
    EXPECT_EQ(level1[0] & 0xFF, (10u + 11 + 12 + 14 + 2) / 4);   // 47 / 4 = 11.75 -> 12
    EXPECT_EQ(level1[1] & 0xFF, (200u + 201 + 202 + 203 + 2) / 4); // 806 / 4 = 201.5 -> 202
    const std::vector<uint32_t> level2 = levelPixels(texture, 2);
    ASSERT_EQ(level2.size(), 1u); // 1x1: a width of 1 stays 1, the other side halves
    EXPECT_EQ(level2[0] & 0xFF, (12u + 202 + 1) / 2);
    texture->Release();
}

TEST_F(TextureBuilderTest, NarrowingToSixteenBitsDithersWithTheOrderedMatrix)
{
    // 132 * 31 / 255 = 16.047: only the matrix's 0 entry (threshold 1/32) rounds red up.
    std::vector<uint8_t> pixels;
    for (int i = 0; i < 8 * 8; ++i)
        pixels.insert(pixels.end(), {0, 0, 132});
    writeTga(dir / "grey132.tga", 2, 8, 8, 24, pixels);
    makeDevice(configWithout({D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}));
    IDirect3DTexture8* texture = nullptr;
    ASSERT_EQ(createTextureFromFile(device, path("grey132.tga").c_str(), &texture), D3D_OK);
    D3DSURFACE_DESC desc;
    texture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_R5G6B5);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (int y = 0; y < 8; ++y) {
        const auto* row = reinterpret_cast<const uint16_t*>(static_cast<const BYTE*>(locked.pBits) + y * locked.Pitch);
        for (int x = 0; x < 8; ++x) {
            const bool roundsUp = (y % 4 == 3) && (x % 4 == 0);
            EXPECT_EQ(row[x] >> 11, roundsUp ? 17 : 16) << x << "," << y;
        }
    }
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(TextureBuilderTest, FailuresReturnTheirCodeLeaveTheOutputAndLeakNothing)
{
    writeTga(dir / "ok.tga", 2, 8, 8, 32, filled(256, 0x40));
    std::ofstream(dir / "junk.tga", std::ios::binary) << "this is no picture";
    makeDevice();
    IDirect3DTexture8* const untouched = reinterpret_cast<IDirect3DTexture8*>(0x1);
    IDirect3DTexture8* texture = untouched;
    const int live = d3d8host::liveObjectCount();

    EXPECT_EQ(createTextureFromFile(nullptr, path("ok.tga").c_str(), &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, nullptr, &texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, path("ok.tga").c_str(), nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(createTextureFromFile(device, path("absent.tga").c_str(), &texture), D3DXERR_INVALIDDATA);
    EXPECT_EQ(createTextureFromFile(device, path("junk.tga").c_str(), &texture), D3DXERR_INVALIDDATA);

    d3d8host::DeviceConfig none = d3d8host::defaultDeviceConfig();
    none.textureFormats.clear();
    makeDevice(none);
    EXPECT_EQ(createTextureFromFile(device, path("ok.tga").c_str(), &texture), D3DERR_NOTAVAILABLE);

    d3d8host::DeviceConfig noCreate = d3d8host::defaultDeviceConfig();
    noCreate.failCreateTextureAfter = 0;
    makeDevice(noCreate);
    EXPECT_LT(createTextureFromFile(device, path("ok.tga").c_str(), &texture), 0);

    d3d8host::DeviceConfig noLock = d3d8host::defaultDeviceConfig();
    noLock.failLockAfter = 2; // level 0 fills, level 1 cannot be locked
    makeDevice(noLock);
    const int liveWithDevice = d3d8host::liveObjectCount();
    EXPECT_LT(createTextureFromFile(device, path("ok.tga").c_str(), &texture), 0);
    EXPECT_EQ(d3d8host::liveObjectCount(), liveWithDevice);

    EXPECT_EQ(texture, untouched);
    (void)live;
}

TEST_F(TextureBuilderTest, UnlockableDefaultPoolIsFilledThroughSystemMemory)
{
    writeTga(dir / "ok.tga", 2, 8, 8, 32, filled(256, 0x40));
    makeDevice();
    TextureRequest request;
    request.pool = D3DPOOL_DEFAULT;
    IDirect3DTexture8* texture = nullptr;
    d3d8host::setCallRecording(true);
    ASSERT_EQ(createTextureFromFileEx(device, path("ok.tga").c_str(), request, &texture), D3D_OK);
    d3d8host::setCallRecording(false);
    // A default-pool texture cannot be locked: it is built in system memory and copied over.
    std::vector<std::string> creates, updates;
    for (const std::string& call : d3d8host::recordedCalls()) {
        if (call.rfind("CreateTexture(", 0) == 0)
            creates.push_back(call.substr(0, call.find('=')));
        if (call.rfind("UpdateTexture(", 0) == 0)
            updates.push_back(call);
    }
    ASSERT_EQ(creates.size(), 2u);
    EXPECT_EQ(creates[0], "CreateTexture(8,8,4,0,21,2)");
    EXPECT_EQ(creates[1], "CreateTexture(8,8,4,0,21,0)");
    EXPECT_EQ(updates.size(), 1u);
    texture->Release();
}
