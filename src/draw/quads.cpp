// Screen rectangles and full-screen fades, all through the one quadVertices array
// and the one quadBuffer; each rectangle is a scene of its own on the device.
#include "draw.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int SCREEN_WIDTH = 640;
constexpr int SCREEN_HEIGHT = 480;

// Corner sums are formed in 64 bits so that no argument can overflow them.
float cornerCoordinate(int origin, int extent = 0)
{
    return static_cast<float>(static_cast<int64_t>(origin) + extent);
}

void placeCorners(int x, int y, int w, int h, DWORD colour)
{
    OverlayVertex* corners = showState.quadVertices;
    corners[0].x = cornerCoordinate(x);
    corners[0].y = cornerCoordinate(y);
    corners[1].x = cornerCoordinate(x, w);
    corners[1].y = cornerCoordinate(y);
    corners[2].x = cornerCoordinate(x, w);
    corners[2].y = cornerCoordinate(y, h);
    corners[3].x = cornerCoordinate(x);
    corners[3].y = cornerCoordinate(y, h);
    for (int i = 0; i < 4; ++i)
        corners[i].diffuse = colour;
}

// False when the buffer cannot take the corners; the rectangle is then skipped
// rather than drawn from stale or unwritten vertices.
bool uploadCorners()
{
    ShowState& g = showState;
    if (g.quadBuffer == nullptr)
        return false;
    BYTE* data = nullptr;
    if (FAILED(g.quadBuffer->Lock(0, sizeof(g.quadVertices), &data, 0)))
        return false;
    if (data == nullptr) {
        g.quadBuffer->Unlock();
        return false;
    }
    std::memcpy(data, g.quadVertices, sizeof(g.quadVertices));
    g.quadBuffer->Unlock();
    return true;
}

void drawRectangle(int x, int y, int w, int h, IDirect3DTexture8* texture, DWORD colour)
{
    ShowState& g = showState;
    placeCorners(x, y, w, h, colour);
    if (!uploadCorners())
        return;
    g.device->SetTexture(0, texture);
    g.device->BeginScene(); // not tested: a failed scene passes and the next frame tries again
    g.device->SetVertexShader(OVERLAY_FVF);
    g.device->SetStreamSource(0, g.quadBuffer, sizeof(OverlayVertex));
    g.device->DrawPrimitive(D3DPT_TRIANGLEFAN, 0, 2);
    g.device->EndScene();
}

} // namespace

DWORD fadeColour(float alpha)
{
    float a = alpha;
    if (!(a >= 0.0f)) // below zero or not a number
        a = 0.0f;
    else if (a > 1.0f)
        a = 1.0f;
    const DWORD opacity = static_cast<DWORD>(a * 255.0f);
    return (opacity << 24) | 0x00FFFFFFu;
}

void drawQuad(int x, int y, int w, int h, IDirect3DTexture8* texture)
{
    drawRectangle(x, y, w, h, texture, 0xFFFFFFFFu);
}

void drawFadedQuad(int x, int y, int w, int h, IDirect3DTexture8* texture, float alpha)
{
    drawRectangle(x, y, w, h, texture, fadeColour(alpha));
}

void drawScreenFade(float alpha)
{
    drawFadedQuad(0, 0, SCREEN_WIDTH, SCREEN_HEIGHT, showState.fadeTexture, alpha);
}
