#include "d3d8_host.h"

#include <cstring>

#include <cstdarg>
#include <cstdio>

#include "d3d8_objects.h"

namespace d3d8impl {

HostState& host() {
    static HostState* state = [] {
        auto* s = new HostState;
        s->config = d3d8host::defaultDeviceConfig();
        return s;
    }();
    return *state;
}

void record(std::string line) { host().calls.push_back(std::move(line)); }

std::string formatCall(const char* format, ...) {
    char buffer[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    return buffer;
}

std::string matrixText(const D3DMATRIX& m) {
    std::string text = "[";
    for (int i = 0; i < 16; ++i) {
        char value[32];
        std::snprintf(value, sizeof value, i ? " %g" : "%g", static_cast<double>(m.m[i / 4][i % 4]));
        text += value;
    }
    return text + "]";
}

bool lockAllowed() {
    HostState& h = host();
    const bool allowed = h.config.failLockAfter < 0 || h.lockCalls < h.config.failLockAfter;
    ++h.lockCalls;
    return allowed;
}

bool containsFormat(const std::vector<D3DFORMAT>& formats, D3DFORMAT format) {
    for (D3DFORMAT f : formats) {
        if (f == format) return true;
    }
    return false;
}

}  // namespace d3d8impl

namespace d3d8host {
namespace {

D3DCAPS8 modernCaps() {
    D3DCAPS8 c{};
    c.DeviceType = D3DDEVTYPE_HAL;
    c.AdapterOrdinal = 0;
    c.Caps2 = 0x20000000L | 0x00020000L;  // D3DCAPS2_CANRENDERWINDOWED | D3DCAPS2_FULLSCREENGAMMA
    c.Caps3 = 0x00000020L;                // D3DCAPS3_ALPHA_FULLSCREEN_FLIP_OR_DISCARD
    c.PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    c.DevCaps = D3DDEVCAPS_EXECUTESYSTEMMEMORY | D3DDEVCAPS_TLVERTEXSYSTEMMEMORY | D3DDEVCAPS_TEXTURESYSTEMMEMORY |
                D3DDEVCAPS_TEXTUREVIDEOMEMORY | D3DDEVCAPS_DRAWPRIMTLVERTEX | D3DDEVCAPS_CANRENDERAFTERFLIP |
                D3DDEVCAPS_HWTRANSFORMANDLIGHT | D3DDEVCAPS_HWRASTERIZATION | D3DDEVCAPS_PUREDEVICE;
    c.PrimitiveMiscCaps = D3DPMISCCAPS_MASKZ | D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW |
                          D3DPMISCCAPS_CULLCCW | D3DPMISCCAPS_CLIPTLVERTS | D3DPMISCCAPS_TSSARGTEMP;
    c.RasterCaps = D3DPRASTERCAPS_ZTEST;
    c.ZCmpCaps = 0xFF;
    c.AlphaCmpCaps = 0xFF;
    const DWORD blends = D3DPBLENDCAPS_ZERO | D3DPBLENDCAPS_ONE | D3DPBLENDCAPS_SRCCOLOR |
                         D3DPBLENDCAPS_INVSRCCOLOR | D3DPBLENDCAPS_SRCALPHA | D3DPBLENDCAPS_INVSRCALPHA |
                         D3DPBLENDCAPS_DESTALPHA | D3DPBLENDCAPS_INVDESTALPHA | D3DPBLENDCAPS_DESTCOLOR |
                         D3DPBLENDCAPS_INVDESTCOLOR | D3DPBLENDCAPS_SRCALPHASAT;
    c.SrcBlendCaps = blends;
    c.DestBlendCaps = blends;
    c.ShadeCaps = D3DPSHADECAPS_COLORGOURAUDRGB | D3DPSHADECAPS_ALPHAGOURAUDBLEND;
    c.TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA | D3DPTEXTURECAPS_MIPMAP;
    c.TextureFilterCaps = D3DPTFILTERCAPS_MINFPOINT | D3DPTFILTERCAPS_MINFLINEAR | D3DPTFILTERCAPS_MIPFPOINT |
                          D3DPTFILTERCAPS_MIPFLINEAR | D3DPTFILTERCAPS_MAGFPOINT | D3DPTFILTERCAPS_MAGFLINEAR;
    c.TextureAddressCaps = D3DPTADDRESSCAPS_WRAP | D3DPTADDRESSCAPS_MIRROR | D3DPTADDRESSCAPS_CLAMP |
                           D3DPTADDRESSCAPS_BORDER | D3DPTADDRESSCAPS_INDEPENDENTUV | D3DPTADDRESSCAPS_MIRRORONCE;
    c.MaxTextureWidth = 4096;
    c.MaxTextureHeight = 4096;
    c.MaxTextureRepeat = 8192;
    c.MaxTextureAspectRatio = 4096;
    c.MaxAnisotropy = 1;
    c.MaxVertexW = 1e10f;
    c.GuardBandLeft = -8192.0f;
    c.GuardBandTop = -8192.0f;
    c.GuardBandRight = 8192.0f;
    c.GuardBandBottom = 8192.0f;
    c.FVFCaps = 8;  // eight texture coordinate sets
    c.TextureOpCaps = 0x0000FFFF;  // DISABLE through BLENDCURRENTALPHA
    c.MaxTextureBlendStages = raster::kMaxStages;
    c.MaxSimultaneousTextures = raster::kMaxStages;
    c.VertexProcessingCaps = D3DVTXPCAPS_TEXGEN | D3DVTXPCAPS_MATERIALSOURCE7 | D3DVTXPCAPS_DIRECTIONALLIGHTS |
                             D3DVTXPCAPS_POSITIONALLIGHTS | D3DVTXPCAPS_LOCALVIEWER;
    c.MaxActiveLights = 8;
    c.MaxUserClipPlanes = 0;
    c.MaxVertexBlendMatrices = 4;
    c.MaxVertexBlendMatrixIndex = 0;
    c.MaxPointSize = 1.0f;
    c.MaxPrimitiveCount = 0x00FFFFFF;
    c.MaxVertexIndex = 0x00FFFFFF;
    c.MaxStreams = 1;
    c.MaxStreamStride = 255;
    c.VertexShaderVersion = 0;
    c.MaxVertexShaderConst = 0;
    c.PixelShaderVersion = 0;
    c.MaxPixelShaderValue = 1.0f;
    return c;
}

}  // namespace

DeviceConfig defaultDeviceConfig() {
    DeviceConfig config;
    config.caps = modernCaps();
    config.textureFormats = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5,
                             D3DFMT_A1R5G5B5, D3DFMT_A4R4G4B4, D3DFMT_L8,     D3DFMT_A8L8,
                             D3DFMT_A8,       D3DFMT_DXT1,     D3DFMT_DXT2,   D3DFMT_DXT3,
                             D3DFMT_DXT4,     D3DFMT_DXT5};
    config.backBufferFormats = {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8};
    config.depthFormats = {D3DFMT_D16, D3DFMT_D16_LOCKABLE};
    return config;
}

void setDeviceConfig(const DeviceConfig& config) {
    auto& h = d3d8impl::host();
    h.config = config;
    h.createTextureCalls = 0;
    h.lockCalls = 0;
}

const DeviceConfig& deviceConfig() { return d3d8impl::host().config; }

void setPresentHook(PresentHook hook) { d3d8impl::host().presentHook = std::move(hook); }
uint64_t presentCount() { return d3d8impl::host().presents; }

void setCallRecording(bool on) { d3d8impl::host().recording = on; }
bool callRecording() { return d3d8impl::host().recording; }
const std::vector<std::string>& recordedCalls() { return d3d8impl::host().calls; }
void clearRecordedCalls() { d3d8impl::host().calls.clear(); }

int liveObjectCount() { return d3d8impl::host().liveObjects; }

void resetForTest() {
    auto& h = d3d8impl::host();
    h.config = defaultDeviceConfig();
    h.presentHook = nullptr;
    h.presents = 0;
    h.recording = false;
    h.calls.clear();
    h.textureLabels = h.vertexBufferLabels = h.indexBufferLabels = h.surfaceLabels = 0;
    h.createTextureCalls = 0;
    h.lockCalls = 0;
}

}  // namespace d3d8host

D3DPRESENT_PARAMETERS d3d8host::showPresentParameters(D3DFORMAT backBuffer)
{
    D3DPRESENT_PARAMETERS p;
    std::memset(&p, 0, sizeof p);
    p.BackBufferWidth = 640;
    p.BackBufferHeight = 480;
    p.BackBufferFormat = backBuffer;
    p.BackBufferCount = 1;
    p.SwapEffect = D3DSWAPEFFECT_FLIP;
    p.Windowed = FALSE;
    p.EnableAutoDepthStencil = TRUE;
    p.AutoDepthStencilFormat = D3DFMT_D16;
    p.FullScreen_PresentationInterval = D3DPRESENT_INTERVAL_ONE;
    return p;
}
