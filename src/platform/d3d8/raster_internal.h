// Shared pieces of the rasteriser's stages: the vertex layout, the per-draw pipeline
// configuration, the processed vertex, and the fragment batch the pixel kernels work on.
#pragma once

#include <cmath>
#include <cstdint>

#include "raster.h"

namespace raster {

// round(v / 255) for v < 65663: shifts and adds, cheap in any vector width.
inline uint32_t div255(uint32_t v) { return (v + 128 + ((v + 128) >> 8)) >> 8; }

struct FvfLayout {
    bool valid = false;
    bool pretransformed = false;  // XYZRHW
    int blendValues = 0;          // floats after x, y, z (XYZBn)
    bool lastBetaUbyte4 = false;
    int normal = -1;  // byte offsets, -1 when absent
    int diffuse = -1;
    int specular = -1;
    int texSets = 0;
    int texOffset[8] = {};
    int texSize[8] = {};
    UINT size = 0;
};

FvfLayout decodeFvf(DWORD fvf);

// Attributes carried per vertex and interpolated per pixel: diffuse RGBA and specular RGB
// in 0..255, then (u, v) for each stage that samples.
constexpr int kDiffuseSlot = 0;
constexpr int kSpecularSlot = 4;
constexpr int kFirstTexSlot = 7;
constexpr int kMaxAttrs = kFirstTexSlot + 2 * kMaxStages;

struct StageConfig {
    DWORD colorOp = D3DTOP_DISABLE;
    DWORD colorArg[3] = {};  // ARG0, ARG1, ARG2
    DWORD alphaOp = D3DTOP_DISABLE;
    DWORD alphaArg[3] = {};
    DWORD resultArg = D3DTA_CURRENT;
    bool sampled = false;        // a texture is bound and the stage reads it
    bool readsMissingTexture = false;  // reads an unbound texture (alpha only: reads as opaque)
    const TextureView* texture = nullptr;
    DWORD addressU = D3DTADDRESS_WRAP, addressV = D3DTADDRESS_WRAP;
    uint32_t border = 0;
    DWORD magFilter = D3DTEXF_POINT, minFilter = D3DTEXF_POINT, mipFilter = D3DTEXF_NONE;
    float lodBias = 0.0f;
    int maxMipLevel = 0;
    DWORD texCoordIndex = 0;  // set index and generation mode
    DWORD transformFlags = 0;
    int texSlot = -1;         // attribute of u; v follows
};

struct PipelineConfig {
    int stageCount = 0;  // stages processed, up to the first disabled or cut one
    StageConfig stages[kMaxStages];
    int attrCount = kFirstTexSlot;
    bool needDiffuse = true;
    bool needSpecular = false;
    bool constDiffuse = false;  // every vertex of the draw has the same diffuse colour
    bool constSpecular = false;
    float diffuseValue[4] = {255, 255, 255, 255};
    float specularValue[3] = {0, 0, 0};
    bool specularEnable = false;
    uint32_t tfactor = 0xFFFFFFFF;
    bool depthTest = false;
    bool depthWrite = false;
    DWORD depthFunc = D3DCMP_LESSEQUAL;
    bool alphaTest = false;
    DWORD alphaFunc = D3DCMP_ALWAYS;
    uint32_t alphaRef = 0;
    bool blend = false;
    DWORD srcBlend = D3DBLEND_ONE, dstBlend = D3DBLEND_ZERO, blendOp = D3DBLENDOP_ADD;
    DWORD writeMask = 0xF;
    bool targetAlpha = false;
    bool flatShade = false;
    // The pixel stage reads what earlier fragments wrote, so one batch may not hold two
    // fragments of the same pixel.
    bool pixelsInOrder = false;
    bool perTriangleLod = false;    // mip-mapping: level chosen per triangle, one per batch
    DWORD cullMode = D3DCULL_CCW;
    // Attributes interpolated per pixel, and where each slot sits in that list (-1: not).
    int interpCount = 0;
    int interpSlots[kMaxAttrs] = {};
    int interpIndex[kMaxAttrs] = {};
};

// Fills the interpolated-attribute list once the draw's vertices are known.
void listInterpolants(PipelineConfig& pipe);

// A vertex after transformation: clip-space position, outcode, screen position in 1/256
// pixel for vertices inside the guard band, and its attributes.
struct ShadedVertex {
    float clip[4];
    float sx, sy, sz, q;  // screen x, y, depth 0..1, 1/w
    int32_t fx, fy;
    uint32_t outcode;
    float attr[kMaxAttrs];
};

enum Outcode : uint32_t {
    OutLeft = 1,
    OutRight = 2,
    OutBottom = 4,
    OutTop = 8,
    OutNear = 16,
    OutFar = 32,
    OutGuardLeft = 64,
    OutGuardRight = 128,
    OutGuardBottom = 256,
    OutGuardTop = 512,
    OutW = 1024,
};
constexpr uint32_t kRejectMask = OutLeft | OutRight | OutBottom | OutTop | OutNear | OutFar;
constexpr uint32_t kClipMask = OutNear | OutFar | OutGuardLeft | OutGuardRight | OutGuardBottom | OutGuardTop | OutW;

struct ViewportTransform {
    float x, y, halfW, halfH, minZ, rangeZ;
    float guardLeft, guardRight, guardBottom, guardTop;  // clip-space x/w, y/w limits of the guard band
    int left, top, right, bottom;                        // pixel rectangle drawn into
};

ViewportTransform viewportTransform(const D3DVIEWPORT8& vp);

// Outcode and, for vertices inside every clipping plane, the screen position.
inline void finishVertex(ShadedVertex& v, const ViewportTransform& t) {
    const float x = v.clip[0], y = v.clip[1], z = v.clip[2], w = v.clip[3];
    uint32_t oc = 0;
    if (x < -w) oc |= OutLeft;
    if (x > w) oc |= OutRight;
    if (y < -w) oc |= OutBottom;
    if (y > w) oc |= OutTop;
    if (z < 0.0f) oc |= OutNear;
    if (z > w) oc |= OutFar;
    if (x < t.guardLeft * w) oc |= OutGuardLeft;
    if (x > t.guardRight * w) oc |= OutGuardRight;
    if (y < t.guardBottom * w) oc |= OutGuardBottom;
    if (y > t.guardTop * w) oc |= OutGuardTop;
    if (!(w >= 1e-6f)) oc |= OutW;  // also catches NaN
    v.outcode = oc;
    if (oc & kClipMask) return;
    const float rw = 1.0f / w;
    v.sx = t.x + (x * rw + 1.0f) * t.halfW;
    v.sy = t.y + (1.0f - y * rw) * t.halfH;
    v.sz = t.minZ + z * rw * t.rangeZ;
    v.q = rw;
    v.fx = static_cast<int32_t>(lrintf(v.sx * 256.0f));
    v.fy = static_cast<int32_t>(lrintf(v.sy * 256.0f));
}


PipelineConfig buildPipeline(const DrawState& state, const FvfLayout& layout, const ColourTarget& target,
                             const DepthTarget& depth);

// A draw whose vertices the vector path can take: one world matrix, no lighting, no vertex
// colours, texture coordinates passed through (two or more floats) or generated as camera-
// space reflection vectors, no texture transforms.
struct VertexBatch {
    const uint8_t* data = nullptr;  // vertex 0 of the draw
    UINT stride = 0;
    UINT count = 0;
    int normalOffset = -1;  // -1: the format has no normal
    bool needCamera = false, needNormal = false, normalize = false;
    float wvp[4][4], worldView[4][4], normalMatrix[4][4];
    int stageCount = 0;
    int slot[kMaxStages];       // attribute of u
    int texOffset[kMaxStages];  // byte offset of the coordinates, -1 for the reflection vector
    ViewportTransform viewport;
};

// Shades vertices from 0 in whole vectors as processVertices would, bit for bit; returns how
// many it did (0 where the build has no vector path).
using ShadeVerticesFn = UINT (*)(const VertexBatch&, ShadedVertex* out);
ShadeVerticesFn shadeVerticesFunction();
void processVertices(const DrawState& state, PipelineConfig& pipe, const FvfLayout& layout,
                     const VertexInput& input, const ViewportTransform& viewport, ShadedVertex* out);

// ---- fragments ----------------------------------------------------------------------

constexpr int kBatchSize = 512;
constexpr int kBatchTriangles = 256;
constexpr int kBatchSlack = 16;  // whole vectors may be written past the last fragment

// Plane equations of one triangle relative to its first vertex (x0, y0): depth, 1/w, and
// the perspective barycentrics of vertices 1 and 2 multiplied by 1/w.
struct TrianglePlanes {
    float x0, y0;
    float z0, zdx, zdy;
    float q0, qdx, qdy;
    float b1dx, b1dy, b2dx, b2dy;
    float attrBase[kMaxAttrs];  // per interpolated attribute: value at vertex 0, and
    float attrD1[kMaxAttrs];    // the differences to vertices 1 and 2
    float attrD2[kMaxAttrs];
    int mipLevel[kMaxStages];
    float mipBlend[kMaxStages];
};

// A batch's fragments: where each lies (offset) and, unless interpolated, its triangle and
// position relative to that triangle's first vertex, from which shading works out the rest.
struct FragmentBatch {
    int count = 0;
    int triangles = 0;
    bool contiguous = true;
    bool depthTested = false;  // the fragments have passed (and written) the depth test already
    bool interpolated = false;  // attr holds every interpolated attribute of every fragment
    alignas(64) float rx[kBatchSize + kBatchSlack];
    alignas(64) float ry[kBatchSize + kBatchSlack];
    alignas(64) int32_t offset[kBatchSize + kBatchSlack];
    alignas(64) uint16_t tri[kBatchSize + kBatchSlack];
    TrianglePlanes planes[kBatchTriangles];
    alignas(64) float attr[kMaxAttrs][kBatchSize + kBatchSlack];
};

// Runs task(job, band) for every band of drawThreads(), band 0 on the calling thread, and
// returns when all are done.
using BandTask = void (*)(void* job, int band);
void runBands(BandTask task, void* job);

// Where band k of `bands` of equal height over rows [top, bottom) starts.
inline int bandEdge(int top, int bottom, int k, int bands) { return top + (bottom - top) * k / bands; }

struct PixelContext {
    const PipelineConfig* pipe;
    ColourTarget target;
    DepthTarget depth;
};

// A triangle whose attributes are affine on screen (the same w at every vertex, as with
// the orthographic overlay): stage 0's texel coordinates times 256 relative to (x0, y0),
// and its one diffuse colour.
struct AffineTriangle {
    float x0, y0;
    float s0, sdx, sdy;
    float t0, tdx, tdy;
    uint32_t diffuse;
};

// Shades and writes pixels [x0, x1) of rows [top, bottom) of an affine triangle in one fused
// loop.
using AffineSpanFn = void (*)(const PixelContext&, const AffineTriangle&, int top, int bottom, int x0, int x1);
AffineSpanFn affineSpanFunction(const PipelineConfig& pipe);

// Runs the pixel pipeline over a batch and writes the surviving fragments; the function for a
// draw may be a fused loop for its state.
using ShadeBatchFn = void (*)(const PixelContext&, FragmentBatch&);
ShadeBatchFn shadeBatchFunction(const PipelineConfig& pipe);

// A triangle whose bounding box is small enough for exact edge functions in 32 bits. Edge i
// at pixel centre (left + x, top + y) is e[i] + x * dx[i] + y * dy[i], in 1/256 pixel
// squared; the centre is inside when every edge is above its bias (-1 on the top and left
// edges, which own the centres lying on them, 0 on the others).
struct SmallTriangle {
    int left, top, width, height;
    int32_t e[3], dx[3], dy[3], bias[3];
    int slot;           // its planes in the batch
    bool depthEarly;    // test (and write) depth here rather than when shading
    bool interpolate;   // fill the batch's attributes here too
    bool run = false;   // one row whose centres are all inside: no edges to test
};
constexpr int kSmallTriangleSpan = 16;  // largest vertex extent, in pixels, taken this way
// The vector kernels walk a box in stamps of sixteen centres: rows of 4, 8 or 16.
// Powers of two, so they are given as shifts: log2 of the centres across a stamp row.
inline int stampAcrossShift(int width) { return width <= 4 ? 2 : width <= 8 ? 3 : 4; }
inline int stampAcross(int width) { return 1 << stampAcrossShift(width); }
// What the plane set-up multiplies its cross products by: 1 / area in pixels squared, for
// twice the signed area in 1/256 pixel squared. One division, the same in every path.
inline float planeScale(int64_t area) { return 65536.0f / static_cast<float>(area); }

// Its bounding box, at most one pixel centre wider each way, fits in one batch.
static_assert((kSmallTriangleSpan + 1) * (kSmallTriangleSpan + 1) <= kBatchSize);

// Sixteen triangles of an indexed list set up at once, in vector registers: which of them
// draw nothing (out of range, off screen, culled, no pixel centre inside), which go the
// general way one by one (clipped, larger than kSmallTriangleSpan, or affine), and for the
// rest their SmallTriangle edges, exactly as the one-by-one path works them out.
constexpr int kGroupSize = 16;
struct TriangleGroup {
    int size;                          // triangles in the group
    const uint8_t* indices;            // the first triangle's three indices, 16 or 32 bits each
    uint32_t vertex[3][kGroupSize];    // out: their vertices, as positions in the shaded array
    uint32_t drawn;                    // out: lanes with something to draw
    uint32_t small;                    // out: of those, the ones set up here
    uint32_t pairs;                    // out: small lanes that may share stamps with the next
                                       // lane, which is small too: they cover no centre twice
    uint32_t sharedBoxes;              // out: of the pairs, those that take fewer stamps
                                       // walked as one box than as two
    float planeScale[kGroupSize];      // planeScale of the triangles' areas
    int32_t left[kGroupSize], top[kGroupSize], width[kGroupSize], height[kGroupSize];
    int32_t e[3][kGroupSize], dx[3][kGroupSize], dy[3][kGroupSize], bias[3][kGroupSize];
};
struct GroupSettings {
    const ShadedVertex* shaded;
    uint32_t count;       // vertices in shaded
    DWORD cullMode;
    bool affine;          // triangles with one w at every vertex take the affine span
    int left, top, right, bottom;  // the viewport's pixel rectangle
    bool indices32;       // the index width
    uint32_t indexOffset;  // the index value of shaded[0]
};
using SetupGroupFn = void (*)(const GroupSettings&, TriangleGroup&);
SetupGroupFn setupGroupFunction();  // null where no vector build has it

// Appends the triangle's fragments to the batch, which has room for width * height more.
using RasteriseSmallFn = void (*)(const PixelContext&, FragmentBatch&, const SmallTriangle&);
RasteriseSmallFn rasteriseSmallFunction();

// The same for two triangles of a group's pair, set up on one box that both lie in: their
// fragments as the two one after the other would give them, in a different order.
using RasterisePairFn = void (*)(const PixelContext&, FragmentBatch&, const SmallTriangle* pair);
RasterisePairFn rasterisePairFunction();  // null where no vector build has it

namespace kernels_base {
void shadeBatch(const PixelContext& context, FragmentBatch& batch);
ShadeBatchFn shadeBatchFor(const PipelineConfig& pipe);
UINT shadeVertices(const VertexBatch& batch, ShadedVertex* out);
void rasteriseSmall(const PixelContext& context, FragmentBatch& batch, const SmallTriangle& triangle);
AffineSpanFn affineSpanFor(const PipelineConfig& pipe);
bool available();
}
namespace kernels_avx2 {
void shadeBatch(const PixelContext& context, FragmentBatch& batch);
ShadeBatchFn shadeBatchFor(const PipelineConfig& pipe);
UINT shadeVertices(const VertexBatch& batch, ShadedVertex* out);
void rasteriseSmall(const PixelContext& context, FragmentBatch& batch, const SmallTriangle& triangle);
AffineSpanFn affineSpanFor(const PipelineConfig& pipe);
bool available();
}
namespace kernels_avx512 {
void shadeBatch(const PixelContext& context, FragmentBatch& batch);
ShadeBatchFn shadeBatchFor(const PipelineConfig& pipe);
UINT shadeVertices(const VertexBatch& batch, ShadedVertex* out);
void rasteriseSmall(const PixelContext& context, FragmentBatch& batch, const SmallTriangle& triangle);
AffineSpanFn affineSpanFor(const PipelineConfig& pipe);
void setupGroup(const GroupSettings& settings, TriangleGroup& group);
void rasterisePair(const PixelContext& context, FragmentBatch& batch, const SmallTriangle* pair);
bool available();
}

// Which build of the pixel pipeline runs: 0 for any x86-64, 1 for AVX2, 2 for AVX-512.
// TOVIRA_RASTER_ISA=base|avx2|avx512 in the environment caps it (for comparisons).
int kernelLevel();

}  // namespace raster
