// The software rasteriser behind our Direct3D 8 device: fixed-function vertex processing,
// clipping, triangle set-up by Direct3D's fill rules, and a pixel pipeline assembled per
// draw from kernels chosen for the state (texture formats, stage operations, depth, blend).
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3d8.h"

namespace raster {

constexpr int kMaxStages = 8;
constexpr int kMaxLevels = 16;
constexpr int kRenderStateCount = 256;
constexpr int kStageStateCount = 32;

struct ColourTarget {
    uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;  // in pixels
    bool hasAlpha = false;  // A8R8G8B8; X8R8G8B8 targets read back alpha as 1.0
};

struct DepthTarget {
    uint16_t* values = nullptr;  // null: no depth buffer
    int pitch = 0;               // in values
};

// One mip level as the sampler reads it: 0xAARRGGBB texels, alpha forced by orMask.
struct LevelView {
    const uint32_t* texels = nullptr;
    int width = 0;
    int height = 0;
    int pitch = 0;  // in texels
    uint32_t orMask = 0;
    // Level 0 only, where the texture keeps it: squareTexels of the texels, same pitch.
    const uint32_t* squared = nullptr;
};

// What MODULATE of a texture by itself gives at each texel, alpha kept: the overlay's stage 0.
// Worked out once per texture content, it spares the fused loops the products.
void squareTexels(const uint32_t* texels, uint32_t orMask, uint32_t* out, size_t count);

struct TextureView {
    int levelCount = 0;  // 0: no texture bound
    LevelView levels[kMaxLevels];
};

struct LightState {
    D3DLIGHT8 light{};
    bool set = false;
    bool enabled = false;
};

// Everything a draw depends on, as the device holds it.
struct DrawState {
    DWORD renderStates[kRenderStateCount];
    DWORD stageStates[kMaxStages][kStageStateCount];
    D3DMATRIX world[4];
    D3DMATRIX view;
    D3DMATRIX projection;
    D3DMATRIX textureMatrix[kMaxStages];
    D3DVIEWPORT8 viewport;
    D3DMATERIAL8 material;
    const LightState* lights = nullptr;
    int lightCount = 0;
    TextureView textures[kMaxStages];
    int stageLimit = kMaxStages;
};

struct VertexInput {
    const uint8_t* data = nullptr;  // vertex 0 of the stream
    UINT stride = 0;
    DWORD fvf = 0;
    UINT firstVertex = 0;  // range of vertices that may be read: [firstVertex, firstVertex + vertexCount)
    UINT vertexCount = 0;
};

struct IndexInput {
    const uint8_t* data = nullptr;  // null: non-indexed
    bool is32 = false;
    UINT baseVertex = 0;  // added to every index
};

// Size in bytes of one vertex of the format; 0 when the format is not one we can draw.
UINT vertexSizeOfFvf(DWORD fvf);
bool isDrawableFvf(DWORD fvf);

// Large draws are cut into bands of rows that separate threads draw at once. No pixel
// changes with the number of bands: each pixel lies in one band and goes through the same
// operations in the same order. The default, and setDrawThreads(0), is one thread per core
// up to kMaxDrawThreads, or the number in TOVIRA_RASTER_THREADS; 1 draws on the calling
// thread alone.
constexpr int kMaxDrawThreads = 8;
void setDrawThreads(int count);
int drawThreads();

// A rectangle of a surface of 32- or 16-bit values, and the value to fill it with.
struct FillRect {
    uint8_t* bits = nullptr;
    size_t pitch = 0;   // in bytes
    int valueSize = 4;  // 4 or 2
    int left = 0, top = 0, right = 0, bottom = 0;
    uint32_t value = 0;
};

void fillRects(const FillRect* rects, int count);

// Draws primCount primitives starting at index (or vertex) start. Triangles only; points
// and lines draw nothing.
void drawPrimitives(const DrawState& state, const ColourTarget& target, const DepthTarget& depth,
                    D3DPRIMITIVETYPE type, const VertexInput& vertices, const IndexInput& indices, UINT start,
                    UINT primCount);

}  // namespace raster
