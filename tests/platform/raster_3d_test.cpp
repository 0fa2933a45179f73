// The rasteriser on 3D drawing: clipping at the near and far planes, depth, culling,
// indexed primitives and reflection mapping.
#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <string>

#include "d3d8_test_util.h"
#include "raster.h"
#include "raster_golden.h"

using namespace d3d8test;

namespace {

struct ColourVertex {
    float x, y, z;
    DWORD diffuse;
};
constexpr DWORD kColourFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct MeshVertex {  // the show's 0x216 vertex
    float x, y, z, weight, nx, ny, nz, u0, v0, u1, v1;
};
// A vertex with a colour of its own.
struct ColouredVertex {
    float x, y, z, nx, ny, nz;
    DWORD diffuse;
    float u0, v0, u1, v1;
};
constexpr DWORD kColouredFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_TEX2;

D3DMATRIX perspective(float fovY, float aspect, float zn, float zf) {
    D3DMATRIX m{};
    const float yScale = 1.0f / std::tan(fovY * 0.5f);
    m._11 = yScale / aspect;
    m._22 = yScale;
    m._33 = zf / (zf - zn);
    m._34 = 1.0f;
    m._43 = -zn * zf / (zf - zn);
    return m;
}

// A rotation about y then x, moved dz along z.
D3DMATRIX rotationYX(float ay, float ax, float dz) {
    D3DMATRIX y = identity(), x = identity(), r;
    y._11 = std::cos(ay), y._13 = -std::sin(ay), y._31 = std::sin(ay), y._33 = std::cos(ay);
    x._22 = std::cos(ax), x._23 = std::sin(ax), x._32 = -std::sin(ax), x._33 = std::cos(ax);
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            r.m[i][j] = y.m[i][0] * x.m[0][j] + y.m[i][1] * x.m[1][j] + y.m[i][2] * x.m[2][j] + y.m[i][3] * x.m[3][j];
        }
    }
    r._43 = dz;
    return r;
}

class Raster3D : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        const D3DMATRIX id = identity();
        device->SetTransform(D3DTS_VIEW, &id);
        device->SetTransform(D3DTS_WORLD, &id);
        // No culling but where a test asks for it.
        renderStates({{D3DRS_LIGHTING, FALSE}, {D3DRS_CULLMODE, D3DCULL_NONE}});
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    }

    void draw(D3DPRIMITIVETYPE type, const std::vector<ColourVertex>& v, UINT count) {
        drawUP(type, kColourFvf, count, v.data());
    }
    // A size x size square at the top left, at depth z.
    void square(float size, float z, DWORD colour) {
        draw(D3DPT_TRIANGLESTRIP, {{0, 0, z, colour}, {size, 0, z, colour}, {0, size, z, colour}, {size, size, z, colour}}, 2);
    }
    // An indexed list from user memory after a clear; the frame it gives.
    template <class Vertex>
    std::vector<uint32_t> drawMesh(DWORD fvf, const std::vector<Vertex>& v, const std::vector<uint16_t>& indices,
                                   DWORD background = 0xFF000000) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, background, 1.0f, 0);
        device->SetVertexShader(fvf);
        device->BeginScene();
        EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(v.size()),
                                                 static_cast<UINT>(indices.size() / 3), indices.data(), D3DFMT_INDEX16,
                                                 v.data(), sizeof(Vertex)),
                  D3D_OK);
        device->EndScene();
        return backBufferPixels();
    }

    void setProjection(const D3DMATRIX& m) { device->SetTransform(D3DTS_PROJECTION, &m); }
};

// A floor that reaches from behind the camera to far in front: the near plane cuts it, and
// exactly the pixels whose ray meets the floor between the near plane and its far end are lit.
TEST_F(Raster3D, NearPlaneClipsGeometryBehindTheCamera) {
    const float zn = 0.5f, aspect = 640.0f / 480.0f;
    setProjection(perspective(1.5707964f, aspect, zn, 100.0f));
    const DWORD white = 0xFFFFFFFF;
    draw(D3DPT_TRIANGLESTRIP, {{-1, -1, -5, white}, {1, -1, -5, white}, {-1, -1, 10, white}, {1, -1, 10, white}}, 2);
    const auto px = backBufferPixels();
    int checked = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const double nx = (x - 320.0) / 320.0, ny = (240.0 - y) / 240.0;
            bool expected = false, borderline = ny >= 0 && ny < 0.01;
            if (ny < 0) {
                const double z = -1.0 / ny, wx = nx * aspect * z;
                expected = z >= zn && z <= 10.0 && std::fabs(wx) <= 1.0;
                borderline = std::fabs(z - zn) < 0.01 || std::fabs(z - 10.0) < 0.05 || std::fabs(std::fabs(wx) - 1.0) < 0.01;
            }
            if (borderline) continue;
            ++checked;
            ASSERT_EQ((px[y * 640 + x] & 0xFFFFFF) != 0, expected) << "pixel " << x << "," << y;
        }
    }
    EXPECT_GT(checked, 600 * 400);
}

TEST_F(Raster3D, CubeCrossingTheNearPlane) {
    setProjection(perspective(1.3f, 640.0f / 480.0f, 1.0f, 50.0f));
    const D3DMATRIX world = rotationYX(0.6f, 0.4f, 1.2f);  // from z = -0.5 to 2.9: the near plane at 1 slices it
    device->SetTransform(D3DTS_WORLD, &world);
    const DWORD colours[6] = {0xFFFF4040, 0xFF40FF40, 0xFF4040FF, 0xFFFFFF40, 0xFF40FFFF, 0xFFFF40FF};
    const float corners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                                 {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};
    const int faces[6][4] = {{0, 1, 2, 3}, {5, 4, 7, 6}, {4, 0, 3, 7}, {1, 5, 6, 2}, {3, 2, 6, 7}, {4, 5, 1, 0}};
    std::vector<ColourVertex> v;
    for (int f = 0; f < 6; ++f)
        for (const int k : {0, 1, 2, 0, 2, 3})
            v.push_back({corners[faces[f][k]][0], corners[faces[f][k]][1], corners[faces[f][k]][2], colours[f]});
    draw(D3DPT_TRIANGLELIST, v, 12);
    const auto px = backBufferPixels();
    EXPECT_GT(std::count_if(px.begin(), px.end(), [](uint32_t p) { return (p & 0xFFFFFF) != 0; }), 640 * 480 / 4);
    expectGolden("raster_cube_near_plane", crop(px, 640, 0, 0, 640, 480));
}

// The overlay's z of 1.0 lies exactly on the far plane and is drawn; the depth test with
// LESSEQUAL passes it against a buffer cleared to 1.0, LESS does not.
TEST_F(Raster3D, FarPlaneIsInside) {
    setProjection(overlayProjection());
    square(8, 1, 0xFFFF0000);
    EXPECT_EQ(backBufferPixels()[4 * 640 + 4], 0xFFFF0000u);
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    square(8, 1, 0xFF00FF00);
    EXPECT_EQ(backBufferPixels()[4 * 640 + 4], 0xFFFF0000u);
    // Beyond the far plane nothing is drawn.
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    square(8, 1.01f, 0xFF00FF00);
    EXPECT_EQ(backBufferPixels()[4 * 640 + 4], 0xFFFF0000u);
}

TEST_F(Raster3D, EveryDepthFunction) {
    setProjection(overlayProjection());
    // Whether a probe nearer than, as near as and further than the buffer's 0.5 passes.
    const std::pair<D3DCMPFUNC, std::array<bool, 3>> cases[] = {
        {D3DCMP_NEVER, {false, false, false}},  {D3DCMP_LESS, {true, false, false}},
        {D3DCMP_EQUAL, {false, true, false}},   {D3DCMP_LESSEQUAL, {true, true, false}},
        {D3DCMP_GREATER, {false, false, true}}, {D3DCMP_NOTEQUAL, {true, false, true}},
        {D3DCMP_GREATEREQUAL, {false, true, true}}, {D3DCMP_ALWAYS, {true, true, true}}};
    for (const auto& [func, passes] : cases) {
        const float probes[3] = {0.25f, 0.5f, 0.75f};
        for (int k = 0; k < 3; ++k) {
            device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
            square(4, 0.5f, 0xFF0000FF);  // depth 0.5, blue
            device->SetRenderState(D3DRS_ZFUNC, func);
            square(4, probes[k], 0xFFFFFFFF);
            EXPECT_EQ(backBufferPixels()[2 * 640 + 2] == 0xFFFFFFFFu, passes[k]) << "func " << func << " probe " << k;
        }
    }
    // With depth writes off the test still applies but the buffer keeps its value.
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_ALWAYS);
    square(4, 0.5f, 0xFF0000FF);
    renderStates({{D3DRS_ZWRITEENABLE, FALSE}, {D3DRS_ZFUNC, D3DCMP_LESS}});
    square(4, 0.25f, 0xFF00FF00);
    square(4, 0.4f, 0xFFFF0000);
    EXPECT_EQ(backBufferPixels()[2 * 640 + 2], 0xFFFF0000u);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    square(4, 0.9f, 0xFF123456);
    EXPECT_EQ(backBufferPixels()[2 * 640 + 2], 0xFF123456u);
}

// Two meshes through each other with LESSEQUAL: the nearer surface shows on either side of
// their crossing, whichever is drawn first.
TEST_F(Raster3D, DepthInterplayOfTwoMeshes) {
    setProjection(perspective(1.2f, 640.0f / 480.0f, 0.5f, 20.0f));
    const DWORD red = 0xFFE04020, blue = 0xFF2040E0;
    // A wall at z = 4, and a sloped sheet from z = 2 (left) to z = 6 (right).
    const std::vector<ColourVertex> wall = {{-2, -1.5f, 4, red}, {2, -1.5f, 4, red}, {-2, 1.5f, 4, red}, {2, 1.5f, 4, red}};
    const std::vector<ColourVertex> sheet = {{-2, -1, 2, blue}, {2, -1, 6, blue}, {-2, 1, 2, blue}, {2, 1, 6, blue}};
    draw(D3DPT_TRIANGLESTRIP, wall, 2);
    draw(D3DPT_TRIANGLESTRIP, sheet, 2);
    const auto first = backBufferPixels();
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
    draw(D3DPT_TRIANGLESTRIP, sheet, 2);
    draw(D3DPT_TRIANGLESTRIP, wall, 2);
    const auto second = backBufferPixels();
    // On the screen the sheet crosses the wall where x = 0 in the world, the middle column.
    for (int x = 20; x < 490; ++x) {  // the wall ends at x = 495, the sheet runs off the left edge
        if (std::abs(x - 320) < 3) continue;
        const uint32_t expected = x < 320 ? blue : red;
        EXPECT_EQ(std::pair(first[240 * 640 + x], second[240 * 640 + x]), std::pair(expected, expected)) << x;
    }
    expectGolden("raster_depth_lessequal", crop(first, 640, 0, 0, 640, 480));
}

TEST_F(Raster3D, CullingByScreenWinding) {
    setProjection(overlayProjection());
    const DWORD c = 0xFFFFFFFF;
    // Clockwise on screen (y down): (0,0) -> (8,0) -> (0,8).
    const std::vector<ColourVertex> clockwise = {{0, 0, 0.5f, c}, {8, 0, 0.5f, c}, {0, 8, 0.5f, c}};
    const std::vector<ColourVertex> counter = {{0, 0, 0.5f, c}, {0, 8, 0.5f, c}, {8, 0, 0.5f, c}};
    auto drawn = [&](DWORD cull, const std::vector<ColourVertex>& tri) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->SetRenderState(D3DRS_CULLMODE, cull);
        draw(D3DPT_TRIANGLELIST, tri, 1);
        return backBufferPixels()[1 * 640 + 1] == 0xFFFFFFFFu;
    };
    // Whether the clockwise and the counter-clockwise triangle are drawn under each mode.
    for (const auto& [cull, cw, ccw] : {std::tuple(D3DCULL_CCW, true, false), {D3DCULL_CW, false, true}, {D3DCULL_NONE, true, true}})
        EXPECT_EQ(std::pair(drawn(cull, clockwise), drawn(cull, counter)), std::pair(cw, ccw)) << "cull " << cull;
}

TEST_F(Raster3D, IndexedPrimitivesWithBaseAndMinimumIndex) {
    setProjection(overlayProjection());
    // Two squares: vertices 0-3 at x 0..4 in red, vertices 4-7 at x 10..14 in green.
    std::vector<ColourVertex> v;
    for (int q = 0; q < 2; ++q) {
        const float x0 = q * 10.0f;
        const DWORD c = q ? 0xFF00FF00 : 0xFFFF0000;
        v.insert(v.end(), {{x0, 0, 0.5f, c}, {x0 + 4, 0, 0.5f, c}, {x0 + 4, 4, 0.5f, c}, {x0, 4, 0.5f, c}});
    }
    IDirect3DVertexBuffer8* vb = nullptr;
    device->CreateVertexBuffer(static_cast<UINT>(v.size() * sizeof(ColourVertex)), 0, kColourFvf, D3DPOOL_DEFAULT, &vb);
    BYTE* data = nullptr;
    vb->Lock(0, 0, &data, 0);
    std::memcpy(data, v.data(), v.size() * sizeof(ColourVertex));
    vb->Unlock();
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        const UINT size = format == D3DFMT_INDEX16 ? 2 : 4;
        IDirect3DIndexBuffer8* ib = nullptr;
        device->CreateIndexBuffer(6 * size, 0, format, D3DPOOL_DEFAULT, &ib);
        ib->Lock(0, 0, &data, 0);
        const uint32_t idx[6] = {0, 1, 2, 0, 2, 3};
        for (int i = 0; i < 6; ++i) std::memcpy(data + i * size, &idx[i], size);
        ib->Unlock();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->SetVertexShader(kColourFvf);
        device->SetStreamSource(0, vb, sizeof(ColourVertex));
        device->SetIndices(ib, 4);  // base vertex 4: the green square
        device->BeginScene();
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 4, 0, 2), D3D_OK);
        EXPECT_LT(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 4, 0, 2), 0);  // vertices 5..8: past the buffer
        device->EndScene();
        const auto px = backBufferPixels();
        EXPECT_EQ(std::pair(px[1 * 640 + 11], px[1 * 640 + 1]), std::pair(0xFF00FF00u, 0xFF000000u));
        // Indices outside [minIndex, minIndex + NumVertices) are not drawn.
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        device->SetIndices(ib, 0);
        device->BeginScene();
        device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 2, 0, 2);
        device->EndScene();
        EXPECT_EQ(backBufferPixels()[1 * 640 + 1], 0xFF000000u);
        device->SetIndices(nullptr, 0);
        ib->Release();
    }
    // Fans and strips from user memory, 16-bit indices.
    const uint16_t strip[4] = {0, 1, 3, 2};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, 4, 2, strip, D3DFMT_INDEX16, v.data(),
                                             sizeof(ColourVertex)),
              D3D_OK);
    device->EndScene();
    const auto px = backBufferPixels();
    int red = 0;
    for (int i = 0; i < 64; ++i) red += px[i / 8 * 640 + i % 8] == 0xFFFF0000u;
    EXPECT_EQ(red, 16);
    device->SetStreamSource(0, nullptr, 0);
    vb->Release();
}

// Indexed lists are set up many triangles at a time where the machine allows: every
// triangle must come out exactly as when the same triangles are drawn one by one from a
// plain list. Small and large, clipped, culled, off-screen, edge-on and (under an
// orthographic view with one colour and no depth) affine triangles are mixed.
TEST_F(Raster3D, IndexedListsDrawExactlyAsPlainLists) {
    auto next = [state = 5u](float lo, float hi) mutable {
        return lo + (hi - lo) * static_cast<float>((nextRandom(state) >> 8) & 0xFFFF) / 65535.0f;
    };
    std::vector<uint32_t> texels(16 * 16);
    for (size_t i = 0; i < texels.size(); ++i) texels[i] = 0xFF000000u | static_cast<uint32_t>(i * 0x010307u);
    IDirect3DTexture8* texture = makeTexture(16, 16, texels);
    for (const DWORD cull : {DWORD{D3DCULL_NONE}, DWORD{D3DCULL_CW}, DWORD{D3DCULL_CCW}, DWORD{0}}) {
        const bool inDepth = cull != 0;  // 0: the orthographic pass
        SCOPED_TRACE(inDepth ? "cull " + std::to_string(cull) : std::string("orthographic"));
        std::vector<OverlayVertex> plain;
        for (int i = 0; i < 1500; ++i) {
            // In view units under perspective, in pixels under the orthographic view.
            const float size = (i % 9 == 0 ? 1.5f : 0.03f) * (inDepth ? 1.0f : 200.0f);
            const float cx = inDepth ? next(-2.0f, 2.0f) : next(-20.0f, 660.0f);
            const float cy = inDepth ? next(-1.6f, 1.6f) : next(-20.0f, 500.0f);
            const float cz = inDepth ? next(0.2f, 4.0f) : next(0.0f, 1.0f);
            for (int k = 0; k < 3; ++k) {
                const DWORD colour = inDepth ? 0xFF000000u | static_cast<DWORD>(next(0, 16777215.0f)) : 0xFFFFFFFFu;
                plain.push_back({cx + next(-size, size), cy + next(-size, size), cz + (inDepth ? next(-0.3f, 0.3f) : 0.0f),
                                 colour, next(0, 2), next(0, 2)});
            }
            if (i % 50 == 0) plain.back() = plain[plain.size() - 2];  // edge-on
        }
        // The same vertices stored backwards, reached through indices of both sizes.
        const UINT count = static_cast<UINT>(plain.size() / 3);
        const std::vector<OverlayVertex> stored(plain.rbegin(), plain.rend());
        std::vector<uint32_t> index32(plain.size());
        for (size_t i = 0; i < plain.size(); ++i) index32[i] = static_cast<uint32_t>(plain.size() - 1 - i);
        const std::vector<uint16_t> index16(index32.begin(), index32.end());

        setProjection(inDepth ? perspective(1.3f, 640.0f / 480.0f, 0.5f, 20.0f) : overlayProjection());
        renderStates({{D3DRS_CULLMODE, inDepth ? cull : DWORD{D3DCULL_NONE}}, {D3DRS_ZENABLE, inDepth}});
        device->SetTexture(0, inDepth ? nullptr : texture);
        device->SetVertexShader(kOverlayFvf);
        auto render = [&](int indexBytes) {
            device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
            device->BeginScene();
            if (indexBytes == 0) {
                device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, plain.data(), sizeof(OverlayVertex));
            } else {
                device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, count * 3, count,
                                               indexBytes == 2 ? static_cast<const void*>(index16.data()) : index32.data(),
                                               indexBytes == 2 ? D3DFMT_INDEX16 : D3DFMT_INDEX32, stored.data(),
                                               sizeof(OverlayVertex));
            }
            device->EndScene();
            return backBufferPixels();
        };
        const auto expected = render(0);
        EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](uint32_t p) { return p != 0xFF000000u; }), 50000);
        EXPECT_TRUE(render(2) == expected);
        EXPECT_TRUE(render(4) == expected);
    }
}

// Neighbouring triangles of a mesh may be walked together; their fragments must be those of
// the triangles drawn one by one from a plain list, however the pixel stage takes them: depth
// tested as found, depth tested late (alpha test with depth writes), and blended in order,
// on one thread or several. Two overlapping grids a few pixels to the cell, jittered enough
// that some cells fold over.
TEST_F(Raster3D, NeighbouringTrianglesDrawExactlyAsPlainLists) {
    uint32_t seed = 11;
    auto next = [&](float lo, float hi) {
        return lo + (hi - lo) * static_cast<float>((nextRandom(seed) >> 8) & 0xFFFF) / 65535.0f;
    };
    constexpr int kColumns = 90, kRows = 70;
    std::vector<OverlayVertex> stored;
    std::vector<uint32_t> indices;
    for (const float depth : {3.0f, 3.2f}) {
        const uint32_t first = static_cast<uint32_t>(stored.size());
        for (int j = 0; j <= kRows; ++j) {
            for (int i = 0; i <= kColumns; ++i) {
                const DWORD colour = static_cast<DWORD>(nextRandom(seed));
                stored.push_back({-1.6f + 3.2f * (i + next(-0.6f, 0.6f)) / kColumns,
                                  -1.2f + 2.4f * (j + next(-0.6f, 0.6f)) / kRows, depth + next(-0.1f, 0.1f), colour,
                                  next(0, 1), next(0, 1)});
            }
        }
        auto at = [&](int i, int j) { return first + static_cast<uint32_t>(j * (kColumns + 1) + i); };
        for (int j = 0; j < kRows; ++j) {
            for (int i = 0; i < kColumns; ++i) {
                indices.insert(indices.end(),
                               {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j), at(i + 1, j + 1), at(i, j + 1)});
            }
        }
    }
    // Neighbours that only look like pairs, and overlap: the second runs the first's edge
    // the same way; the fourth runs the third's back, but higher, sharing only its x.
    for (int k = 0; k < 300; ++k) {
        const float x = next(-1.5f, 1.4f), y = next(-1.1f, 1.0f), z = next(2.8f, 2.9f);
        const float corners[4][3][2] = {
            {{0, 0}, {4, 0}, {2, 4}}, {{0, 0}, {4, 0}, {3, 4.5f}}, {{0, 0}, {4, 0}, {2, 4}}, {{4, 3}, {0, 3}, {2, 0}}};
        for (const auto& triangle : corners) {
            for (const auto& c : triangle) {
                indices.push_back(static_cast<uint32_t>(stored.size()));
                stored.push_back({x + 0.018f * c[0], y + 0.018f * c[1], z, static_cast<DWORD>(nextRandom(seed)), 0.97f, 0.97f});
            }
        }
    }
    std::vector<OverlayVertex> plain;
    for (const uint32_t i : indices) plain.push_back(stored[i]);
    const UINT count = static_cast<UINT>(indices.size() / 3);
    // Every triangle with vertices of its own, as a mesh of flat facets has them.
    std::vector<uint32_t> ownVertices(plain.size());
    std::iota(ownVertices.begin(), ownVertices.end(), 0u);
    std::vector<uint32_t> texels(16 * 16);
    for (size_t i = 0; i < texels.size(); ++i) {
        texels[i] = static_cast<uint32_t>(i * 0x11u) << 24 | static_cast<uint32_t>(i * 0x010307u);
    }
    device->SetTexture(0, makeTexture(16, 16, texels));
    setProjection(perspective(1.3f, 640.0f / 480.0f, 0.5f, 20.0f));
    device->SetVertexShader(kOverlayFvf);
    renderStates({{D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRS_ALPHAREF, 0x60}, {D3DRS_SRCBLEND, D3DBLEND_ONE},
                  {D3DRS_DESTBLEND, D3DBLEND_ONE}});
    enum Draw { Plain, Indexed, IndexedOwnVertices };
    auto render = [&](Draw draw) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        if (draw == Indexed) {
            device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(stored.size()), count, indices.data(),
                                           D3DFMT_INDEX32, stored.data(), sizeof(OverlayVertex));
        } else if (draw == IndexedOwnVertices) {
            device->DrawIndexedPrimitiveUP(D3DPT_TRIANGLELIST, 0, static_cast<UINT>(plain.size()), count,
                                           ownVertices.data(), D3DFMT_INDEX32, plain.data(), sizeof(OverlayVertex));
        } else {
            device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, count, plain.data(), sizeof(OverlayVertex));
        }
        device->EndScene();
        return backBufferPixels();
    };
    enum Pixels { DepthFirst, DepthLate, Blended };
    for (const DWORD cull : {DWORD{D3DCULL_NONE}, DWORD{D3DCULL_CW}}) {
        for (const Pixels pixels : {DepthFirst, DepthLate, Blended}) {
            SCOPED_TRACE(testing::Message() << "cull " << cull << ", pixels " << pixels);
            renderStates({{D3DRS_CULLMODE, cull}, {D3DRS_ZENABLE, pixels != Blended},
                          {D3DRS_ALPHATESTENABLE, pixels == DepthLate}, {D3DRS_ALPHABLENDENABLE, pixels == Blended}});
            raster::setDrawThreads(1);
            const auto expected = render(Plain);
            EXPECT_GT(std::count_if(expected.begin(), expected.end(), [](uint32_t p) { return p != 0xFF000000u; }), 50000);
            EXPECT_TRUE(render(Indexed) == expected);
            EXPECT_TRUE(render(IndexedOwnVertices) == expected);
            // Shared among threads by bands of rows, the bands' edges cutting through triangles.
            for (const int threads : {2, 3}) {
                raster::setDrawThreads(threads);
                EXPECT_TRUE(render(Indexed) == expected) << threads << " threads";
            }
        }
    }
    raster::setDrawThreads(0);
}

std::vector<MeshVertex> sphere(int rings, int sides, float radius, std::vector<uint16_t>& indices) {
    std::vector<MeshVertex> v;
    for (int i = 0; i <= rings; ++i) {
        const float a = 3.14159265f * i / rings;
        for (int j = 0; j <= sides; ++j) {
            const float b = 6.2831853f * j / sides;
            const float nx = std::sin(a) * std::cos(b), ny = std::cos(a), nz = std::sin(a) * std::sin(b);
            v.push_back({radius * nx, radius * ny, radius * nz, 0, nx, ny, nz, float(j) / sides, float(i) / rings, 1, 1});
        }
    }
    for (int i = 0; i < rings; ++i) {
        for (int j = 0; j < sides; ++j) {
            const uint16_t a = static_cast<uint16_t>(i * (sides + 1) + j), b = static_cast<uint16_t>(a + sides + 1);
            indices.insert(indices.end(), {a, static_cast<uint16_t>(a + 1), b, static_cast<uint16_t>(a + 1),
                                           static_cast<uint16_t>(b + 1), b});
        }
    }
    return v;
}

// The show's model pipeline: stage 0 texture x texture, stage 1 adds a camera-space
// reflection map smoothly, depth on, normals renormalised.
TEST_F(Raster3D, ReflectionMappedSphere) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    setProjection(perspective(1.0f, 640.0f / 480.0f, 0.1f, 100.0f));
    const D3DMATRIX world = rotationYX(0.3f, 0.2f, 3.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    std::vector<uint32_t> base(16 * 16), env(64 * 64);
    for (int i = 0; i < 256; ++i) base[i] = ((i / 16 + i % 16) & 1) ? 0xFFC0C0C0 : 0xFF808080;
    for (int i = 0; i < 64 * 64; ++i) {
        const int x = i % 64, y = i / 64;
        env[i] = 0xFF000000u | ((x * 4) << 16) | ((y * 4) << 8) | (((x / 8 + y / 8) & 1) ? 0x60 : 0x10);
    }
    device->SetTexture(0, makeTexture(16, 16, base));
    device->SetTexture(1, makeTexture(64, 64, env));
    stageStates(1, {{D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR}, {D3DTSS_COLOROP, D3DTOP_ADDSMOOTH}});
    stageStates(0, {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG2, D3DTA_TEXTURE}});
    std::vector<uint16_t> indices;
    const auto v = sphere(16, 24, 1.0f, indices);
    const auto px = drawMesh(0x216, v, indices);
    expectGolden("raster_reflection_sphere", crop(px, 640, 160, 80, 320, 320));
    // The reflection vector takes the eye direction from the position whatever LOCALVIEWER says.
    device->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    EXPECT_EQ(drawMesh(0x216, v, indices), px);
    // Nothing outside the sphere's silhouette (radius 1 at distance 3: well inside 160 pixels).
    EXPECT_EQ(px[10 * 640 + 10], 0xFF000000u);
    EXPECT_NE(px[240 * 640 + 320], 0xFF000000u);

    // Vertices with a colour of their own take the one-at-a-time path, the show's format
    // the vector one: a white diffuse colour must give the same image, here and with the
    // sphere through the near plane.
    std::vector<ColouredVertex> coloured;
    for (const MeshVertex& m : v) coloured.push_back({m.x, m.y, m.z, m.nx, m.ny, m.nz, 0xFFFFFFFF, m.u0, m.v0, m.u1, m.v1});
    for (const float distance : {3.0f, 1.05f}) {
        SCOPED_TRACE(testing::Message() << "distance " << distance);
        D3DMATRIX placed = world;
        placed._43 = distance;
        device->SetTransform(D3DTS_WORLD, &placed);
        EXPECT_EQ(drawMesh(0x216, v, indices), drawMesh(kColouredFvf, coloured, indices));
    }
}

// The models' state combinations have a fused loop of their own; an alpha test that passes
// every alpha (>= 0) sends the same draw down the general pipeline, which must agree pixel
// for pixel: each blend, each stage-0 form (with a coloured diffuse), stage 1 on and off,
// textures with alpha and of sizes that are not powers of two.
TEST_F(Raster3D, FusedModelShadingMatchesTheGeneralPipeline) {
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    setProjection(perspective(1.0f, 640.0f / 480.0f, 0.1f, 100.0f));
    const D3DMATRIX world = rotationYX(0.5f, -0.3f, 4.0f);  // triangles a few pixels across, as a model's
    device->SetTransform(D3DTS_WORLD, &world);
    std::vector<uint32_t> base(16 * 16), env(48 * 40);
    for (int i = 0; i < 256; ++i) base[i] = ((i * 37u) & 0xFF) << 24 | (((i / 16 + i % 16) & 1) ? 0xC0A020u : 0x3080F0u);
    for (int i = 0; i < 48 * 40; ++i) env[i] = 0xFF000000u | ((i % 48) * 5) << 16 | ((i / 48) * 6) << 8 | (i & 0x7F);
    device->SetTexture(0, makeTexture(16, 16, base));
    device->SetTexture(1, makeTexture(48, 40, env));
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR);
    renderStates({{D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL}, {D3DRS_ALPHAREF, 0}});
    std::vector<uint16_t> indices;
    std::vector<ColouredVertex> vertices;
    for (const MeshVertex& m : sphere(32, 48, 1.0f, indices))
        vertices.push_back({m.x, m.y, m.z, m.nx, m.ny, m.nz, 0xA080C040, 2 * m.u0, 3 * m.v0, m.u1, m.v1});
    auto draw = [&](bool general) {
        device->SetRenderState(D3DRS_ALPHATESTENABLE, general ? TRUE : FALSE);
        return drawMesh(kColouredFvf, vertices, indices, 0xFF305070);
    };
    const std::pair<DWORD, DWORD> blends[] = {{0, 0},
                                              {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA},
                                              {D3DBLEND_ONE, D3DBLEND_SRCALPHA},
                                              {D3DBLEND_ONE, D3DBLEND_ONE}};
    const std::pair<DWORD, DWORD> colours[] = {
        {D3DTOP_MODULATE, D3DTA_TEXTURE}, {D3DTOP_MODULATE, D3DTA_DIFFUSE}, {D3DTOP_SELECTARG1, D3DTA_DIFFUSE}};
    const std::pair<DWORD, DWORD> alphas[] = {
        {D3DTOP_MODULATE, D3DTA_TEXTURE}, {D3DTOP_SELECTARG1, D3DTA_TEXTURE}, {D3DTOP_SELECTARG1, D3DTA_DIFFUSE}};
    for (const auto& [src, dst] : blends) {
        renderStates({{D3DRS_ALPHABLENDENABLE, src != 0}, {D3DRS_SRCBLEND, src}, {D3DRS_DESTBLEND, dst}});
        for (const auto& [colourOp, colourArg] : colours) {
            stageStates(0, {{D3DTSS_COLOROP, colourOp}, {D3DTSS_COLORARG2, colourArg}});
            for (const auto& [alphaOp, alphaArg] : alphas) {
                stageStates(0, {{D3DTSS_ALPHAOP, alphaOp}, {D3DTSS_ALPHAARG1, alphaArg}});
                for (const DWORD stage1 : {D3DTOP_ADDSMOOTH, D3DTOP_DISABLE}) {
                    SCOPED_TRACE(testing::Message() << "blend " << src << "/" << dst << ", colour " << colourOp << "/"
                                                    << colourArg << ", alpha " << alphaOp << "/" << alphaArg
                                                    << ", stage 1 " << stage1);
                    device->SetTextureStageState(1, D3DTSS_COLOROP, stage1);
                    const auto fused = draw(false);
                    ASSERT_EQ(fused, draw(true));
                }
            }
        }
    }
}

// With lighting on (the default) and no lights, a vertex without normal is dark: the show
// must switch lighting off, and does.
TEST_F(Raster3D, LightingOnWithoutLightsIsDark) {
    setProjection(overlayProjection());
    device->SetRenderState(D3DRS_LIGHTING, TRUE);
    square(4, 0.5f, 0x80FFFFFF);
    EXPECT_EQ(backBufferPixels()[1 * 640 + 1], 0xFF000000u);
    device->SetRenderState(D3DRS_AMBIENT, 0xFF808080);
    D3DMATERIAL8 material{};
    material.Ambient = {1.0f, 0.5f, 0.25f, 1.0f};
    device->SetMaterial(&material);
    square(4, 0.5f, 0x80FFFFFF);
    EXPECT_EQ(backBufferPixels()[1 * 640 + 1], 0xFF804020u);
}

}  // namespace
