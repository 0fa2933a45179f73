#include "draw_device.h"

#include <gtest/gtest.h>

#include <cstring>

DrawDevice::DrawDevice()
{
    harness.drawPixels(true); // these tests look at the images they draw
    ShowState& g = showState;
    g.window = CreateWindowExA(0, "STATIC", "draw", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(createDisplay());
    // The render states the show's entry sets before the first scene.
    setCullMode(D3DCULL_CCW);
    setDepthTest(true);
    g.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    g.device->SetRenderState(D3DRS_LIGHTING, FALSE);
    d3d8host::setPresentHook([this](const d3d8host::FrameView& view) {
        frame.resize(static_cast<size_t>(view.width) * view.height);
        for (int y = 0; y < view.height; ++y)
            std::memcpy(&frame[static_cast<size_t>(y) * view.width],
                        reinterpret_cast<const uint8_t*>(view.pixels) + static_cast<size_t>(y) * view.pitchBytes,
                        static_cast<size_t>(view.width) * 4);
    });
}

DrawDevice::~DrawDevice()
{
    for (IDirect3DTexture8* texture : textures)
        texture->Release();
    releaseAll();
}

void DrawDevice::enterOverlay()
{
    setCullMode(D3DCULL_NONE);
    setDepthTest(false);
    setOverlayMode(true);
    showState.device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    useAlphaBlend();
}

const std::vector<uint32_t>& DrawDevice::present()
{
    presentFrame();
    return frame;
}

IDirect3DTexture8* DrawDevice::texture()
{
    IDirect3DTexture8* texture = nullptr;
    EXPECT_EQ(showState.device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture), D3D_OK);
    if (texture != nullptr)
        textures.push_back(texture);
    return texture;
}

std::string DrawDevice::labelOf(IDirect3DTexture8* texture)
{
    showState.device->SetTexture(7, texture);
    const std::string call = d3d8host::recordedCalls().back(); // "SetTexture(7,tex#3)"
    showState.device->SetTexture(7, nullptr);
    return call.substr(13, call.size() - 14);
}

std::vector<OverlayVertex> DrawDevice::quadBufferContents()
{
    std::vector<OverlayVertex> corners(4);
    BYTE* data = nullptr;
    if (showState.quadBuffer->Lock(0, 96, &data, D3DLOCK_READONLY) == D3D_OK && data != nullptr) {
        std::memcpy(corners.data(), data, 96);
        showState.quadBuffer->Unlock();
    }
    return corners;
}
