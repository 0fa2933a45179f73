// Host-side control of our Direct3D 8 device: what the "card" can do, where presented
// frames go, and the call record that tests of the show read. Nothing here is part of
// the Direct3D 8 API; the show itself never includes this header.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "d3d8.h"

namespace d3d8host {

// What the adapter offers. Tests change it before Direct3DCreate8/CreateDevice to get a
// card that lacks a format, hardware vertex processing, non-power-of-two textures, ...
struct DeviceConfig {
    D3DCAPS8 caps{};
    std::vector<D3DFORMAT> textureFormats;     // CheckDeviceFormat / CreateTexture accept these
    std::vector<D3DFORMAT> backBufferFormats;  // CheckDeviceType / CreateDevice accept these
    std::vector<D3DFORMAT> depthFormats;       // AutoDepthStencilFormat and depth-stencil surfaces
    D3DDISPLAYMODE displayMode{640, 480, 60, D3DFMT_X8R8G8B8};  // the desktop before CreateDevice
    bool hardwareVertexProcessing = true;
    bool mixedVertexProcessing = true;
    bool softwareVertexProcessing = true;

    // Failure injection.
    bool failCreate = false;            // Direct3DCreate8 returns null
    bool failDisplayMode = false;       // GetAdapterDisplayMode / GetDisplayMode fail
    bool failCreateDevice = false;      // CreateDevice fails whatever is asked
    int failCreateTextureAfter = -1;    // n >= 0: the first n CreateTexture calls succeed, later ones fail
    int failLockAfter = -1;             // n >= 0: the first n locks (buffers, textures, surfaces) succeed
    bool failCreateVertexBuffer = false;
    bool failCreateIndexBuffer = false;
    bool failCreateImageSurface = false;
    bool failUpdateTexture = false;
    bool failBeginScene = false;

    // False: draws are validated and recorded but no pixel is drawn, for tests that follow
    // a whole show's timeline through its calls and need no image.
    bool drawPixels = true;
};

// Capabilities of a current card: any texture size up to 4096, mip-maps, no power-of-two
// or square rule, the common 32/24/16/8-bit formats and DXT1-5, X8R8G8B8/A8R8G8B8 back
// buffers, a 16-bit depth buffer.
DeviceConfig defaultDeviceConfig();
void setDeviceConfig(const DeviceConfig& config);

// The show's full-screen presentation: 640x480, one back buffer of the given format, FLIP,
// a D16 depth buffer, one present per retrace. Tools and tests create their devices with it.
D3DPRESENT_PARAMETERS showPresentParameters(D3DFORMAT backBuffer = D3DFMT_X8R8G8B8);
const DeviceConfig& deviceConfig();

// Presentation. The hook sees every presented image (the front buffer after the flip), in
// both backends; the desktop backend also hands it to the window.
struct FrameView {
    const uint32_t* pixels;
    int width;
    int height;
    int pitchBytes;
    D3DFORMAT format;
};
using PresentHook = std::function<void(const FrameView&)>;
void setPresentHook(PresentHook hook);
uint64_t presentCount();

// Call record. One line per device-level call while recording is on, for example
//   "Clear(0,3,ff000000,1,0)"  "SetRenderState(27,1)"  "SetTextureStageState(0,4,4)"
//   "SetTexture(1,tex#7)"  "SetTexture(1,null)"  "SetTransform(256,[16 values])"
//   "SetVertexShader(0x142)"  "SetStreamSource(0,vb#1,24)"  "SetIndices(ib#1,0)"
//   "BeginScene"  "EndScene"  "DrawPrimitive(6,0,2)"  "DrawIndexedPrimitive(4,0,V,0,T)"
//   "Present"  "CreateTexture(256,256,9,0,22,1)=tex#3"  "Lock(vb#1,0,96,0)"  "Unlock(vb#1)"
//   "Release(tex#3)"  "Release(device)"  "Release(d3d)"
// Values are decimal except colours (bare hex) and vertex formats (0x hex); matrices are
// their 16 floats with %g. Objects are labelled by kind and creation number (tex#, vb#,
// ib#, surf#), counted from 1 since the last resetForTest. Getters are not recorded.
void setCallRecording(bool on);
bool callRecording();
const std::vector<std::string>& recordedCalls();
void clearRecordedCalls();

// Objects (Direct3D, devices, buffers, textures, surfaces) created and not yet destroyed.
int liveObjectCount();

// Back to a fresh process: default config, no hook, no record, counters and labels at 0.
// Objects still alive are left alone (and still counted).
void resetForTest();

}  // namespace d3d8host
