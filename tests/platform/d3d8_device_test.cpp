// The Direct3D 8 device as the show and documentation-written code use it: creation,
// defaults, state, resources, the flip chain, clearing, presentation, call record, lifetime.
#include <algorithm>
#include <array>
#include <bit>
#include <tuple>

#include "d3d8_test_util.h"
#include "platform_support.h"

using namespace d3d8test;

namespace {

class D3D8Device : public DeviceFixture {};

TEST(D3D8Create, RefusesOtherSdkVersionsAndReportsAFailedDisplayMode) {
    d3d8host::resetForTest();
    EXPECT_EQ(Direct3DCreate8(219), nullptr);
    for (const bool fail : {false, true}) {
        auto config = d3d8host::defaultDeviceConfig();
        config.failDisplayMode = fail;
        d3d8host::setDeviceConfig(config);
        IDirect3D8* d3d = Direct3DCreate8(220);
        ASSERT_NE(d3d, nullptr);
        D3DDISPLAYMODE mode;
        EXPECT_EQ(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode) < 0, fail);
        EXPECT_EQ(d3d->Release(), 0u);
    }
    EXPECT_EQ(d3d8host::liveObjectCount(), 0);
    d3d8host::resetForTest();
}

TEST_F(D3D8Device, RenderAndStageStatesStartAtDirect3D8Defaults) {
    const std::pair<D3DRENDERSTATETYPE, DWORD> renderStates[] = {
        {D3DRS_ZENABLE, D3DZB_TRUE},        {D3DRS_FILLMODE, D3DFILL_SOLID},     {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        {D3DRS_ZWRITEENABLE, TRUE},         {D3DRS_ALPHATESTENABLE, FALSE},      {D3DRS_SRCBLEND, D3DBLEND_ONE},
        {D3DRS_DESTBLEND, D3DBLEND_ZERO},   {D3DRS_CULLMODE, D3DCULL_CCW},       {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
        {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},   {D3DRS_ALPHABLENDENABLE, FALSE},     {D3DRS_FOGENABLE, FALSE},
        {D3DRS_SPECULARENABLE, FALSE},      {D3DRS_TEXTUREFACTOR, 0xFFFFFFFF},   {D3DRS_CLIPPING, TRUE},
        {D3DRS_LIGHTING, TRUE},             {D3DRS_COLORVERTEX, TRUE},           {D3DRS_NORMALIZENORMALS, FALSE},
        {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1}, {D3DRS_VERTEXBLEND, D3DVBF_DISABLE},
        {D3DRS_COLORWRITEENABLE, 0xF},      {D3DRS_BLENDOP, D3DBLENDOP_ADD},     {D3DRS_FOGEND, std::bit_cast<DWORD>(1.0f)},
    };
    for (const auto& [state, expected] : renderStates) {
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(state, &value), D3D_OK);
        EXPECT_EQ(value, expected) << "render state " << state;
    }
    const std::tuple<DWORD, D3DTEXTURESTAGESTATETYPE, DWORD> stageStates[] = {
        {0, D3DTSS_COLOROP, D3DTOP_MODULATE},     {0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1},
        {1, D3DTSS_COLOROP, D3DTOP_DISABLE},      {1, D3DTSS_ALPHAOP, D3DTOP_DISABLE},
        {1, D3DTSS_COLORARG1, D3DTA_TEXTURE},     {1, D3DTSS_COLORARG2, D3DTA_CURRENT},
        {5, D3DTSS_TEXCOORDINDEX, 5},             {0, D3DTSS_MAGFILTER, D3DTEXF_POINT},
        {0, D3DTSS_MIPFILTER, D3DTEXF_NONE},      {3, D3DTSS_ADDRESSV, D3DTADDRESS_WRAP},
    };
    DWORD v;
    for (const auto& [stage, type, expected] : stageStates) {
        v = 0xDEADBEEF;
        ASSERT_EQ(device->GetTextureStageState(stage, type, &v), D3D_OK);
        EXPECT_EQ(v, expected) << "stage " << stage << " state " << type;
    }
    EXPECT_LT(device->GetTextureStageState(0, D3DTSS_FORCE_DWORD, &v), 0);
    EXPECT_LT(device->SetTextureStageState(8, D3DTSS_COLOROP, D3DTOP_ADD), 0);

    D3DVIEWPORT8 vp;
    device->GetViewport(&vp);
    EXPECT_EQ(std::tuple(vp.Width, vp.Height, vp.MaxZ), std::tuple(640u, 480u, 1.0f));
}

// The given matrix multiplies from the left: a scale after a translation leaves the translation.
TEST_F(D3D8Device, MultiplyTransformPutsTheGivenMatrixFirst) {
    D3DMATRIX m = identity(), twice = identity(), out;
    m._41 = 3.0f;
    twice._11 = 2.0f;
    device->SetTransform(D3DTS_WORLD, &m);
    device->MultiplyTransform(D3DTS_WORLD, &twice);
    device->GetTransform(D3DTS_WORLDMATRIX(0), &out);
    EXPECT_EQ(std::pair(out._11, out._41), std::pair(2.0f, 3.0f));
}

TEST_F(D3D8Device, BuffersLockToWritableMemory) {
    IDirect3DVertexBuffer8* vb = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, kOverlayFvf, D3DPOOL_DEFAULT, &vb), D3D_OK);
    BYTE* data = nullptr;
    ASSERT_EQ(vb->Lock(0, 96, &data, 0), D3D_OK);
    std::memset(data, 0xAB, 96);
    EXPECT_EQ(vb->Unlock(), D3D_OK);
    EXPECT_LT(vb->Unlock(), 0);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), D3D_OK);  // size 0: the whole buffer
    EXPECT_EQ(data[95], 0xAB);
    vb->Unlock();
    EXPECT_LT(vb->Lock(90, 8, &data, 0), 0);
    vb->Release();
    EXPECT_LT(device->CreateVertexBuffer(20, 0, kOverlayFvf, D3DPOOL_DEFAULT, &vb), 0);  // smaller than a vertex

    IDirect3DIndexBuffer8* ib = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX32, D3DPOOL_DEFAULT, &ib), D3D_OK);
    ib->Release();
    EXPECT_LT(device->CreateIndexBuffer(12, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &ib), 0);
}

TEST_F(D3D8Device, TexturesHoldTheirLevels) {
    IDirect3DTexture8* t = nullptr;
    ASSERT_EQ(device->CreateTexture(256, 64, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 9u);
    D3DSURFACE_DESC desc;
    for (const auto& [level, width, height] : {std::tuple(8u, 1u, 1u), std::tuple(2u, 64u, 16u)}) {
        ASSERT_EQ(t->GetLevelDesc(level, &desc), D3D_OK);
        EXPECT_EQ(std::pair(desc.Width, desc.Height), std::pair(width, height)) << "level " << level;
    }
    EXPECT_LT(t->GetLevelDesc(9, &desc), 0);

    IDirect3DSurface8* level = nullptr;
    ASSERT_EQ(t->GetSurfaceLevel(1, &level), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(level->LockRect(&locked, nullptr, 0), D3D_OK);
    EXPECT_GE(locked.Pitch, 128 * 4);
    EXPECT_LT(level->LockRect(&locked, nullptr, 0), 0);  // already locked
    level->UnlockRect();
    level->Release();
    EXPECT_EQ(t->Release(), 0u);

    // A non-power-of-two size with a full chain: the larger side decides.
    ASSERT_EQ(device->CreateTexture(640, 480, 0, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &t), D3D_OK);
    EXPECT_EQ(t->GetLevelCount(), 10u);
    t->Release();
    EXPECT_LT(device->CreateTexture(4097, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), 0);
    EXPECT_LT(device->CreateTexture(8, 8, 5, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &t), 0);
    EXPECT_LT(device->CreateTexture(8, 8, 1, 0, D3DFMT_P8, D3DPOOL_MANAGED, &t), 0);
    EXPECT_EQ(t, nullptr);

    // Default-pool textures cannot be locked; they are filled from system memory.
    IDirect3DTexture8 *video = nullptr, *system = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &video), D3D_OK);
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &system), D3D_OK);
    EXPECT_LT(video->LockRect(0, &locked, nullptr, 0), 0);
    ASSERT_EQ(system->LockRect(0, &locked, nullptr, 0), D3D_OK);
    static_cast<uint32_t*>(locked.pBits)[0] = 0x12345678;
    system->UnlockRect(0);
    EXPECT_EQ(device->UpdateTexture(system, video), D3D_OK);
    EXPECT_LT(device->SetTexture(0, system), 0);
    system->Release();
    video->Release();
}

class D3D8PowerOfTwoDevice : public DeviceFixture {
    void configure(d3d8host::DeviceConfig& c) override {
        c.caps.TextureCaps |= D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_SQUAREONLY;
        c.caps.MaxTextureWidth = c.caps.MaxTextureHeight = 256;
        c.textureFormats = {D3DFMT_X8R8G8B8};
    }
};

TEST_F(D3D8PowerOfTwoDevice, RefusesWhatTheCardCannotHold) {
    IDirect3DTexture8* t = nullptr;
    // Not a power of two, not square, too large, a format it lacks.
    for (const auto& [w, h, format] : {std::tuple(640, 480, D3DFMT_X8R8G8B8), std::tuple(128, 64, D3DFMT_X8R8G8B8),
                                      std::tuple(512, 512, D3DFMT_X8R8G8B8), std::tuple(64, 64, D3DFMT_A8R8G8B8)})
        EXPECT_LT(device->CreateTexture(w, h, 1, 0, format, D3DPOOL_MANAGED, &t), 0) << w << "x" << h;
    ASSERT_EQ(device->CreateTexture(64, 64, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t), D3D_OK);
    t->Release();
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_A8R8G8B8),
              D3DERR_NOTAVAILABLE);
    EXPECT_EQ(d3d->CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, 0, D3DRTYPE_TEXTURE, D3DFMT_X8R8G8B8),
              D3D_OK);
}

TEST_F(D3D8Device, FlipChainHandsBackTheFrameBeforeLast) {
    std::vector<uint32_t> presented;
    d3d8host::setPresentHook(
        [&](const d3d8host::FrameView& f) { presented.push_back(f.pixels[f.pitchBytes / 4 * 10 + 10] & 0xFFFFFF); });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(presented, (std::vector<uint32_t>{0xFF0000u, 0x00FF00u}));
    // After presenting green, the back buffer holds red: the frame before last.
    EXPECT_EQ(backBufferPixels()[0] & 0xFFFFFF, 0xFF0000u);
}

TEST_F(D3D8Device, ClearsWholeTargetsAndRectangleLists) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF102030, 1.0f, 0);
    const D3DRECT rects[2] = {{10, 20, 30, 25}, {630, 470, 700, 500}};  // the second is clipped to the viewport
    ASSERT_EQ(device->Clear(2, rects, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0), D3D_OK);
    const auto pixels = backBufferPixels();
    EXPECT_EQ(std::count(pixels.begin(), pixels.end(), 0xFFFFFFFFu), 20 * 5 + 10 * 10);
    // Rectangles include their top-left edges and exclude the bottom-right ones.
    EXPECT_EQ((std::array{pixels[20 * 640 + 10], pixels[25 * 640 + 10], pixels[20 * 640 + 30]}),
              (std::array{0xFFFFFFFFu, 0xFF102030u, 0xFF102030u}));
    EXPECT_LT(device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0), 0);
    EXPECT_LT(device->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0), 0);
}

TEST_F(D3D8Device, ScenesPairAndDrawsNeedOne) {
    EXPECT_LT(device->EndScene(), 0);
    EXPECT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_LT(device->BeginScene(), 0);
    EXPECT_EQ(device->EndScene(), D3D_OK);

    IDirect3DVertexBuffer8* vb = nullptr;
    device->CreateVertexBuffer(96, D3DUSAGE_WRITEONLY, kOverlayFvf, D3DPOOL_DEFAULT, &vb);
    device->SetVertexShader(kOverlayFvf);
    device->SetStreamSource(0, vb, sizeof(OverlayVertex));
    EXPECT_LT(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), 0);  // outside a scene
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2), D3D_OK);
    EXPECT_LT(device->DrawPrimitive(D3DPT_TRIANGLEFAN, 1, 2), 0);  // past the end of the buffer
    EXPECT_LT(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), 0);
    EXPECT_LT(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 1), 0);  // no indices
    EXPECT_LT(device->SetVertexShader(0x1), 0);
    OverlayVertex tri[3] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof(OverlayVertex)), D3D_OK);
    IDirect3DVertexBuffer8* bound = reinterpret_cast<IDirect3DVertexBuffer8*>(1);
    UINT stride = 1;
    device->GetStreamSource(0, &bound, &stride);
    EXPECT_EQ(bound, nullptr);  // a draw from user memory unsets stream 0
    device->EndScene();
    vb->Release();
}

TEST_F(D3D8Device, ReferencesAndBindingsKeepObjectsAlive) {
    const int before = d3d8host::liveObjectCount();
    IDirect3DTexture8* t = nullptr;
    device->CreateTexture(8, 8, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &t);
    EXPECT_EQ(d3d8host::liveObjectCount(), before + 1);
    EXPECT_EQ(t->AddRef(), 2u);
    EXPECT_EQ(t->Release(), 1u);
    device->SetTexture(0, t);
    EXPECT_EQ(t->Release(), 0u);
    EXPECT_EQ(d3d8host::liveObjectCount(), before + 1);  // still bound to stage 0
    device->SetTexture(0, nullptr);
    EXPECT_EQ(d3d8host::liveObjectCount(), before);

    IDirect3DSurface8* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);
    D3DSURFACE_DESC desc;
    depth->GetDesc(&desc);
    EXPECT_EQ(desc.Format, D3DFMT_D16);
    D3DLOCKED_RECT locked;
    EXPECT_LT(depth->LockRect(&locked, nullptr, 0), 0);  // plain D16 is not lockable
    depth->Release();
}

TEST_F(D3D8Device, FrontBufferAndSurfaceCopies) {
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF336699, 1.0f, 0);
    device->Present(nullptr, nullptr, nullptr, nullptr);
    IDirect3DSurface8* image = nullptr;
    ASSERT_EQ(device->CreateImageSurface(640, 480, D3DFMT_A8R8G8B8, &image), D3D_OK);
    ASSERT_EQ(device->GetFrontBuffer(image), D3D_OK);
    D3DLOCKED_RECT locked;
    image->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], 0xFF336699u);
    image->UnlockRect();

    IDirect3DSurface8* small = nullptr;
    ASSERT_EQ(device->CreateImageSurface(4, 4, D3DFMT_A8R8G8B8, &small), D3D_OK);
    const RECT r{1, 1, 3, 3};
    const POINT p{2, 2}, outside{3, 3};
    EXPECT_EQ(device->CopyRects(image, &r, 1, small, &p), D3D_OK);
    small->LockRect(&locked, nullptr, 0);
    EXPECT_EQ(reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + 3 * locked.Pitch)[3], 0xFF336699u);
    small->UnlockRect();
    EXPECT_LT(device->CopyRects(image, &r, 1, small, &outside), 0);
    small->Release();
    image->Release();
}

TEST(D3D8Create, DesktopWithoutDisplayFailsCleanly) {
    win32host::resetForTest();
    d3d8host::resetForTest();
    bool available = false;
    {
        // A video driver that does not exist stands for a machine without a display.
        platformtest::EnvironmentOverride driver("SDL_VIDEODRIVER", "none-such");
        win32host::selectBackend(win32host::Backend::Desktop);
        available = win32host::desktopDisplayAvailable();
    }
    if (available) {
        win32host::resetForTest();
        GTEST_SKIP() << "a display is available here";
    }
    IDirect3D8* d3d = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(d3d, nullptr);
    D3DPRESENT_PARAMETERS p = d3d8host::showPresentParameters();
    IDirect3DDevice8* device = reinterpret_cast<IDirect3DDevice8*>(1);
    EXPECT_LT(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &p,
                                &device),
              0);
    EXPECT_EQ(device, nullptr);
    d3d->Release();
    win32host::resetForTest();
}

}  // namespace
