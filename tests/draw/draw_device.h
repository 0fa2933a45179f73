// A headless device for the drawing helpers, set up as the show sets it up, with
// the frame each Present shows kept for the tests to read.
#pragma once

#include "show_harness.h"

#include <cstdint>
#include <string>
#include <vector>

class DrawDevice {
public:
    DrawDevice();
    ~DrawDevice();

    // The show's overlay states: no culling, no depth test, pixel transforms and
    // source-alpha blending switched on.
    void enterOverlay();
    // Clears to opaque black inside a scene of its own.
    void clearToBlack() { showState.device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0); }
    // Presents and returns the presented frame's pixels (X8R8G8B8, 640 per row).
    const std::vector<uint32_t>& present();

    // A texture owned by the fixture; its texels are left as they come.
    IDirect3DTexture8* texture();
    // The device label the call record uses for a texture ("tex#3").
    std::string labelOf(IDirect3DTexture8* texture);

    // The four corners the quad buffer holds now.
    std::vector<OverlayVertex> quadBufferContents();

private:
    ShowHarness harness;
    std::vector<uint32_t> frame;
    std::vector<IDirect3DTexture8*> textures;
};
