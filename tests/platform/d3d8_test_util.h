// Helpers shared by the Direct3D 8 and rasteriser tests: a headless device as the show
// creates it, and small vertex/texture builders.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <utility>
#include <vector>

#include <d3d8.h>

#include "d3d8_host.h"
#include "win32_host.h"

namespace d3d8test {

struct OverlayVertex {
    float x, y, z;
    DWORD diffuse;
    float u, v;
};
constexpr DWORD kOverlayFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1;

inline D3DMATRIX identity() {
    D3DMATRIX m{};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

// The next value of a repeatable pseudo-random sequence (the C library's classic generator).
inline uint32_t nextRandom(uint32_t& state) { return state = state * 1103515245u + 12345u; }

// The overlay projection: pixel (x, y) to clip (x/320 - 1, 1 - y/240), z as is.
inline D3DMATRIX overlayProjection(float width = 640.0f, float height = 480.0f) {
    D3DMATRIX m = identity();
    m._11 = 2.0f / width;
    m._22 = -2.0f / height;
    m._41 = -1.0f;
    m._42 = 1.0f;
    return m;
}

class DeviceFixture : public ::testing::Test {
protected:
    void SetUp() override {
        win32host::resetForTest();  // headless
        d3d8host::resetForTest();
        configure(config);
        d3d8host::setDeviceConfig(config);
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p = d3d8host::showPresentParameters(backBufferFormat);
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                    &p, &device),
                  D3D_OK);
    }
    void TearDown() override {
        for (DWORD stage = 0; device && stage < 8; ++stage) device->SetTexture(stage, nullptr);
        for (IDirect3DTexture8* texture : textures) EXPECT_EQ(texture->Release(), 0u);
        EXPECT_EQ(device ? device->Release() : 0u, 0u);
        EXPECT_EQ(d3d ? d3d->Release() : 0u, 0u);
        EXPECT_EQ(d3d8host::liveObjectCount(), 0);
        d3d8host::resetForTest();
    }
    virtual void configure(d3d8host::DeviceConfig&) {}

    // The back buffer as 0xAARRGGBB rows of 640.
    std::vector<uint32_t> backBufferPixels() {
        IDirect3DSurface8* surface = nullptr;
        EXPECT_EQ(device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface), D3D_OK);
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT locked;
        std::vector<uint32_t> pixels(static_cast<size_t>(desc.Width) * desc.Height);
        if (surface->LockRect(&locked, nullptr, D3DLOCK_READONLY) == D3D_OK) {
            for (UINT y = 0; y < desc.Height; ++y) {
                std::memcpy(&pixels[y * desc.Width], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                            desc.Width * 4);
            }
            surface->UnlockRect();
        }
        surface->Release();
        return pixels;
    }

    // A texture filled with argb rows, released (and unbound) when the test ends.
    IDirect3DTexture8* makeTexture(int width, int height, const std::vector<uint32_t>& argb,
                                   D3DFORMAT format = D3DFMT_A8R8G8B8) {
        IDirect3DTexture8* texture = nullptr;
        EXPECT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture), D3D_OK);
        textures.push_back(texture);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < height; ++y)
            std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &argb[y * width], width * 4);
        texture->UnlockRect(0);
        return texture;
    }

    // Overlay mode, no culling, no depth, lighting off: what the show sets around 2D drawing.
    void overlayState() {
        const D3DMATRIX id = identity(), proj = overlayProjection();
        device->SetTransform(D3DTS_PROJECTION, &proj);
        device->SetTransform(D3DTS_VIEW, &id);
        device->SetTransform(D3DTS_WORLD, &id);
        renderStates({{D3DRS_LIGHTING, FALSE}, {D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_ZENABLE, FALSE}});
    }

    void renderStates(std::initializer_list<std::pair<D3DRENDERSTATETYPE, DWORD>> states) {
        for (const auto& [state, value] : states) device->SetRenderState(state, value);
    }
    void stageStates(DWORD stage, std::initializer_list<std::pair<D3DTEXTURESTAGESTATETYPE, DWORD>> states) {
        for (const auto& [state, value] : states) device->SetTextureStageState(stage, state, value);
    }
    // Blending on, with the given factors.
    void blend(DWORD src, DWORD dst) {
        renderStates({{D3DRS_ALPHABLENDENABLE, TRUE}, {D3DRS_SRCBLEND, src}, {D3DRS_DESTBLEND, dst}});
    }

    // One draw from user memory in a scene of its own.
    template <class Vertex>
    void drawUP(D3DPRIMITIVETYPE type, DWORD fvf, UINT count, const Vertex* vertices) {
        device->SetVertexShader(fvf);
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        ASSERT_EQ(device->DrawPrimitiveUP(type, count, vertices, sizeof(Vertex)), D3D_OK);
        ASSERT_EQ(device->EndScene(), D3D_OK);
    }

    // A rectangle whose u runs from u0 at the left edge to u1 at the right, v from 0 to 1.
    void drawQuad(float x0, float y0, float x1, float y1, DWORD diffuse, float u0 = 0, float u1 = 1) {
        const OverlayVertex quad[4] = {{x0, y0, 1.0f, diffuse, u0, 0}, {x1, y0, 1.0f, diffuse, u1, 0},
                                       {x1, y1, 1.0f, diffuse, u1, 1}, {x0, y1, 1.0f, diffuse, u0, 1}};
        drawUP(D3DPT_TRIANGLEFAN, kOverlayFvf, 2, quad);
    }

    d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
    D3DFORMAT backBufferFormat = D3DFMT_X8R8G8B8;
    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
    std::vector<IDirect3DTexture8*> textures;
};

}  // namespace d3d8test
