// The vector vertex path against the one-vertex-at-a-time path, field by field: what it
// writes must be the same bits, and what the per-vertex path leaves alone stays untouched.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "raster_internal.h"

namespace {

using namespace raster;

struct MeshVertex {  // the show's 0x216 vertex
    float x, y, z, weight, nx, ny, nz, u0, v0, u1, v1;
};
constexpr DWORD kMeshFvf = 0x216;
constexpr int kWords = sizeof(ShadedVertex) / sizeof(uint32_t);
constexpr int kFirstAttrWord = offsetof(ShadedVertex, attr) / sizeof(uint32_t);
constexpr uint32_t kUnwritten = 0xA5A5A5A5u;

uint32_t word(const ShadedVertex& v, int w) {
    uint32_t bits;
    std::memcpy(&bits, reinterpret_cast<const char*>(&v) + 4 * w, 4);
    return bits;
}

// Points from behind the camera to past the far plane and far outside the guard band, so
// some vertices are clipped and some are not in every vector.
std::vector<MeshVertex> scatteredMesh(int count) {
    std::vector<MeshVertex> mesh;
    for (int k = 0; k < count; ++k) {
        const float a = static_cast<float>(k);
        mesh.push_back({static_cast<float>(k * 37 % 61 - 30) * 1.5f, static_cast<float>(k * 53 % 47 - 23),
                        static_cast<float>(k * 29 % 71 - 10), 0.0f, std::sin(a), std::cos(a), 0.5f, a * 0.25f,
                        1.0f - a * 0.125f, a * 0.5f, -a});
    }
    return mesh;
}

DrawState cameraState() {
    DrawState state{};
    for (D3DMATRIX* m : {&state.world[0], &state.view}) {
        *m = D3DMATRIX{};
        m->_11 = m->_22 = m->_33 = m->_44 = 1.0f;
    }
    const float zn = 1.0f, zf = 50.0f;
    state.projection = D3DMATRIX{};
    state.projection._11 = 1.3f, state.projection._22 = 1.7f;
    state.projection._33 = zf / (zf - zn), state.projection._34 = 1.0f;
    state.projection._43 = -zn * zf / (zf - zn);
    state.viewport = {0, 0, 640, 480, 0.0f, 1.0f};
    return state;
}

// Sampled stages with the given attribute slots; their coordinates come from either set or
// from the reflection vector.
PipelineConfig stages(std::initializer_list<int> slots) {
    PipelineConfig pipe;
    for (int slot : slots) {
        StageConfig& sc = pipe.stages[pipe.stageCount];
        sc.sampled = true;
        sc.texSlot = slot;
        sc.texCoordIndex = pipe.stageCount % 3 == 2 ? DWORD(D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR)
                                                    : DWORD(pipe.stageCount % 3);
        ++pipe.stageCount;
    }
    return pipe;
}

void expectSameAsOneByOne(PipelineConfig pipe) {
    const std::vector<MeshVertex> mesh = scatteredMesh(48);
    const DrawState state = cameraState();
    const FvfLayout layout = decodeFvf(kMeshFvf);
    const ViewportTransform viewport = viewportTransform(state.viewport);
    VertexInput input{reinterpret_cast<const uint8_t*>(mesh.data()), sizeof(MeshVertex), kMeshFvf, 0,
                      static_cast<UINT>(mesh.size())};
    std::vector<ShadedVertex> whole(mesh.size());
    std::memset(whole.data(), 0xA5, whole.size() * sizeof(ShadedVertex));
    processVertices(state, pipe, layout, input, viewport, whole.data());

    bool written[kWords] = {};
    for (int st = 0; st < pipe.stageCount; ++st) {
        written[kFirstAttrWord + pipe.stages[st].texSlot] = written[kFirstAttrWord + pipe.stages[st].texSlot + 1] = true;
    }
    int clippedCount = 0;
    for (UINT i = 0; i < input.vertexCount; ++i) {
        VertexInput one = input;
        one.firstVertex = i, one.vertexCount = 1;
        ShadedVertex alone;
        std::memset(&alone, 0xA5, sizeof alone);
        processVertices(state, pipe, layout, one, viewport, &alone);
        const bool clipped = (alone.outcode & kClipMask) != 0;
        clippedCount += clipped;
        for (int w = 0; w < kWords; ++w) {
            const bool screen = w >= static_cast<int>(offsetof(ShadedVertex, sx) / 4) && w < kFirstAttrWord - 1;
            const bool colour = w >= kFirstAttrWord && w < kFirstAttrWord + kFirstTexSlot;
            if (w < kFirstAttrWord ? !(screen && clipped) : written[w]) {
                EXPECT_EQ(word(whole[i], w), word(alone, w)) << "vertex " << i << " word " << w;
            } else if (i > 0 || !colour) {  // the first vertex also carries the draw's colours
                EXPECT_EQ(word(whole[i], w), kUnwritten) << "vertex " << i << " word " << w;
            }
        }
    }
    EXPECT_GT(clippedCount, 4);
    EXPECT_LT(clippedCount, static_cast<int>(mesh.size()) - 4);
}

}  // namespace

TEST(RasterVertices, WholeVectorsWriteWhatSingleVerticesWrite) {
    if (kernelLevel() < 2) GTEST_SKIP() << "no vector vertex path in this build of the kernels";
    expectSameAsOneByOne(stages({}));
    expectSameAsOneByOne(stages({kFirstTexSlot, kFirstTexSlot + 2}));
    expectSameAsOneByOne(stages({kFirstTexSlot, kFirstTexSlot + 2, kFirstTexSlot + 4, kFirstTexSlot + 6,
                                 kFirstTexSlot + 8, kFirstTexSlot + 10, kFirstTexSlot + 12, kFirstTexSlot + 14}));
    expectSameAsOneByOne(stages({kFirstTexSlot + 4, kFirstTexSlot}));  // slots out of order
}
