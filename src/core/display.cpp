// The display device, the one-call state presets, the overlay mode and the release.
#include "show.h"
#include "assets.h"

#include <cstring>

namespace {

constexpr UINT SCREEN_WIDTH = 640;
constexpr UINT SCREEN_HEIGHT = 480;

// Device creation is tried with these formats and behaviours, in this order.
struct DeviceAttempt {
    D3DFORMAT backBufferFormat;
    DWORD behaviour;
};
constexpr DeviceAttempt DEVICE_ATTEMPTS[] = {
    {D3DFMT_X8R8G8B8, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {D3DFMT_X8R8G8B8, D3DCREATE_MIXED_VERTEXPROCESSING},
    {D3DFMT_X8R8G8B8, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
    {D3DFMT_A8R8G8B8, D3DCREATE_HARDWARE_VERTEXPROCESSING},
    {D3DFMT_A8R8G8B8, D3DCREATE_MIXED_VERTEXPROCESSING},
    {D3DFMT_A8R8G8B8, D3DCREATE_SOFTWARE_VERTEXPROCESSING},
};

D3DPRESENT_PARAMETERS fullScreenParameters()
{
    D3DPRESENT_PARAMETERS parameters;
    std::memset(&parameters, 0, sizeof(parameters));
    parameters.BackBufferWidth = SCREEN_WIDTH;
    parameters.BackBufferHeight = SCREEN_HEIGHT;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 1;
    parameters.MultiSampleType = D3DMULTISAMPLE_NONE;
    parameters.SwapEffect = D3DSWAPEFFECT_FLIP;
    parameters.hDeviceWindow = nullptr;
    parameters.Windowed = FALSE;
    parameters.EnableAutoDepthStencil = TRUE;
    parameters.AutoDepthStencilFormat = D3DFMT_D16;
    parameters.Flags = 0;
    parameters.FullScreen_RefreshRateInHz = D3DPRESENT_RATE_DEFAULT;
    parameters.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return parameters;
}

bool createDevice()
{
    ShowState& g = showState;
    D3DPRESENT_PARAMETERS parameters = fullScreenParameters();
    for (const DeviceAttempt& attempt : DEVICE_ATTEMPTS) {
        parameters.BackBufferFormat = attempt.backBufferFormat;
        if (SUCCEEDED(g.direct3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, g.window, attempt.behaviour,
                                               &parameters, &g.device)))
            return true;
    }
    return false;
}

void createQuadBuffer()
{
    ShowState& g = showState;
    g.device->CreateVertexBuffer(sizeof(g.quadVertices), D3DUSAGE_WRITEONLY, OVERLAY_FVF, D3DPOOL_DEFAULT,
                                 &g.quadBuffer);
    BYTE* data = nullptr;
    if (g.quadBuffer && SUCCEEDED(g.quadBuffer->Lock(0, sizeof(g.quadVertices), &data, 0))) {
        std::memcpy(data, g.quadVertices, sizeof(g.quadVertices));
        g.quadBuffer->Unlock();
    }
}

} // namespace

bool createDisplay()
{
    ShowState& g = showState;
    g.direct3d = Direct3DCreate8(D3D_SDK_VERSION);
    if (!g.direct3d)
        return false;
    D3DDISPLAYMODE mode;
    if (FAILED(g.direct3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)))
        return false;
    if (!createDevice()) {
        MessageBoxA(g.window, "Nyt meni vituiks", "D3D FATAALI VIRHE!", MB_OK);
        return false;
    }
    createQuadBuffer();
    return true;
}

void releaseAll()
{
    ShowState& g = showState;
    releaseAssets();
    if (g.quadBuffer)
        g.quadBuffer->Release();
    if (g.device)
        g.device->Release();
    if (g.direct3d)
        g.direct3d->Release();
}

void setOverlayMode(bool on)
{
    ShowState& g = showState;
    if (on) {
        Matrix projection, identity;
        matrixOrthoOffCenterLH(&projection, 0.0f, 640.0f, 480.0f, 0.0f, 0.0f, 1.0f);
        matrixIdentity(&identity);
        g.device->SetTransform(D3DTS_PROJECTION, &projection);
        g.device->SetTransform(D3DTS_VIEW, &identity);
        g.device->SetTransform(D3DTS_WORLD, &identity);
    } else {
        g.device->SetTransform(D3DTS_PROJECTION, &g.projection);
        g.device->SetTransform(D3DTS_VIEW, &g.view);
    }
}

void setCullMode(DWORD mode)
{
    showState.device->SetRenderState(D3DRS_CULLMODE, mode);
}

void setDepthTest(bool on)
{
    showState.device->SetRenderState(D3DRS_ZENABLE, on ? D3DZB_TRUE : D3DZB_FALSE);
}

void useAlphaBlend()
{
    IDirect3DDevice8* device = showState.device;
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
}

void useOneSrcAlphaBlend()
{
    IDirect3DDevice8* device = showState.device;
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCALPHA);
}

void presentFrame()
{
    showState.device->Present(nullptr, nullptr, nullptr, nullptr);
}
