// The rasteriser on 2D drawing: fill rules, exact texel placement, texture stages and
// blending, each checked against values worked out by hand, and against golden images.
#include <array>
#include <tuple>
#include <cmath>
#include <cstring>

#include "d3d8_test_util.h"
#include "raster_golden.h"

using namespace d3d8test;

namespace {

uint32_t div255(uint32_t v) { return (v + 127) / 255; }  // round(v / 255)
uint32_t channel(uint32_t c, int shift) { return (c >> shift) & 0xFF; }
// An opaque colour whose channels are f(shift) for the shifts 0, 8 and 16.
template <class F>
uint32_t opaque(F f) {
    return 0xFF000000u | (f(0) << 0) | (f(8) << 8) | (f(16) << 16);
}

class RasterOverlay : public DeviceFixture {
protected:
    void SetUp() override {
        DeviceFixture::SetUp();
        overlayState();
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    }

    void drawTriangles(D3DPRIMITIVETYPE type, const std::vector<OverlayVertex>& v, UINT count) {
        drawUP(type, kOverlayFvf, count, v.data());
    }

    // The show's stage-0 set-up for its rectangles: colour = texture x texture, alpha =
    // texture alpha x vertex alpha, classic alpha blending.
    void showQuadState() {
        stageStates(0, {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG2, D3DTA_TEXTURE}, {D3DTSS_ALPHAOP, D3DTOP_MODULATE}});
        blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    }
};

// Direct3D's own example: (0,0),(5,0),(5,5) covers 15 pixels and (0,5),(0,0),(5,5) covers
// 10; together they cover the 25 pixels of the square once each.
TEST_F(RasterOverlay, FillRulesOfTheDocumentedExample) {
    blend(D3DBLEND_ONE, D3DBLEND_ONE);
    drawTriangles(D3DPT_TRIANGLELIST, {{0, 0, 1, 0x00010000, 0, 0}, {5, 0, 1, 0x00010000, 0, 0}, {5, 5, 1, 0x00010000, 0, 0}}, 1);
    drawTriangles(D3DPT_TRIANGLELIST, {{0, 5, 1, 0x00000100, 0, 0}, {0, 0, 1, 0x00000100, 0, 0}, {5, 5, 1, 0x00000100, 0, 0}}, 1);
    const auto px = backBufferPixels();
    int first = 0, second = 0, twice = 0, outside = 0;
    for (int i = 0; i < 640 * 480; ++i) {
        const uint32_t p = px[i] & 0xFFFFFF;
        first += (p == 0x010000);
        second += (p == 0x000100);
        twice += (p == 0x010100);
        outside += p && (i % 640 >= 5 || i / 640 >= 5);
    }
    EXPECT_EQ((std::array{first, second, twice, outside}), (std::array{15, 10, 0, 0}));
}

// A fan of triangles meeting at shared edges: every pixel centre inside the polygon is hit
// exactly once (additive blending would show a second hit) and none outside is hit.
TEST_F(RasterOverlay, FanCoversEveryPixelOnce) {
    const float cx = 320.375f, cy = 240.625f;
    std::vector<OverlayVertex> fan = {{cx, cy, 1, 0x00010101, 0, 0}};
    std::vector<std::pair<double, double>> outline;
    const int sides = 13;
    for (int i = 0; i <= sides; ++i) {
        const double angle = 6.283185307179586 * (i % sides) / sides + 0.1;
        const double radius = 150.0 + 40.0 * std::sin(3.0 * angle);
        // Positions on the 1/256 grid, so the rasteriser's snapping changes nothing.
        const float x = std::round(static_cast<float>(cx + radius * std::cos(angle)) * 256.0f) / 256.0f;
        const float y = std::round(static_cast<float>(cy + radius * 0.8 * std::sin(angle)) * 256.0f) / 256.0f;
        fan.push_back({x, y, 1, 0x00010101, 0, 0});
        if (i < sides) outline.emplace_back(x, y);
    }
    blend(D3DBLEND_ONE, D3DBLEND_ONE);
    drawTriangles(D3DPT_TRIANGLEFAN, fan, sides);
    const auto fanPixels = backBufferPixels();

    // Inside test on the exact outline (convex-or-not: crossing number); centres on the
    // outline itself are left to the fill rule and skipped here.
    int checked = 0;
    for (int y = 0; y < 480; ++y) {
        for (int x = 0; x < 640; ++x) {
            const uint32_t p = fanPixels[y * 640 + x] & 0xFFFFFF;
            ASSERT_TRUE(p == 0 || p == 0x010101) << "pixel " << x << "," << y << " hit more than once";
            bool inside = false, onEdge = false;
            for (size_t i = 0, j = outline.size() - 1; i < outline.size(); j = i++) {
                const auto [xi, yi] = outline[i];
                const auto [xj, yj] = outline[j];
                const double cross = (xj - xi) * (y - yi) - (yj - yi) * (x - xi);
                if (std::fabs(cross) < 1e-9 && x >= std::min(xi, xj) && x <= std::max(xi, xj) &&
                    y >= std::min(yi, yj) && y <= std::max(yi, yj)) {
                    onEdge = true;
                }
                if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) inside = !inside;
            }
            if (onEdge) continue;
            ++checked;
            EXPECT_EQ(p != 0, inside) << "pixel " << x << "," << y;
        }
    }
    EXPECT_GT(checked, 600 * 400);
    expectGolden("raster_fan_coverage", crop(fanPixels, 640, 150, 100, 340, 280));
}

// A mesh of triangles a few pixels across, as models are made of: some vertices sit exactly
// on pixel centres (so edges run through centres and the fill rule decides), the others are
// jittered on the 1/256 grid. Inside the mesh every pixel is hit exactly once, with and
// without a depth test.
TEST_F(RasterOverlay, SmallTrianglesShareEdgesWithoutGapsOrOverlaps) {
    constexpr int kCols = 60, kRows = 40;
    constexpr float kCell = 4.5f, kLeft = 40.0f, kTop = 50.0f;
    uint32_t state = 7;
    std::vector<std::pair<float, float>> grid;
    for (int j = 0; j <= kRows; ++j) {
        for (int i = 0; i <= kCols; ++i) {
            nextRandom(state);
            const bool onCentre = (state >> 16) % 3 == 0 || i == 0 || j == 0 || i == kCols || j == kRows;
            const float jx = static_cast<float>((state >> 8) % 384) / 256.0f - 0.75f;
            const float jy = static_cast<float>((state >> 20) % 384) / 256.0f - 0.75f;
            const float x = kLeft + i * kCell, y = kTop + j * kCell;
            grid.emplace_back(onCentre ? std::round(x) : x + jx, onCentre ? std::round(y) : y + jy);
        }
    }
    std::vector<OverlayVertex> triangles;
    auto corner = [&](int i, int j) {
        const auto [x, y] = grid[j * (kCols + 1) + i];
        return OverlayVertex{x, y, 1, 0x00010101, 0, 0};
    };
    for (int j = 0; j < kRows; ++j) {
        for (int i = 0; i < kCols; ++i) {
            // Alternate diagonals, and both windings, as meshes have them.
            const bool flip = (i + j) % 2 == 1;
            const OverlayVertex a = corner(i, j), b = corner(i + 1, j), c = corner(i + 1, j + 1), d = corner(i, j + 1);
            if (flip) {
                triangles.insert(triangles.end(), {a, b, d, b, c, d});
            } else {
                triangles.insert(triangles.end(), {a, c, b, a, d, c});
            }
        }
    }
    blend(D3DBLEND_ONE, D3DBLEND_ONE);
    for (const bool depth : {false, true}) {
        SCOPED_TRACE(depth ? "with depth" : "without depth");
        device->SetRenderState(D3DRS_ZENABLE, depth ? TRUE : FALSE);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
        drawTriangles(D3DPT_TRIANGLELIST, triangles, static_cast<UINT>(triangles.size() / 3));
        const auto pixels = backBufferPixels();
        // The mesh's outer edges lie on whole pixels: [left, right) x [top, bottom) exactly.
        const int left = static_cast<int>(kLeft), top = static_cast<int>(kTop);
        const int right = static_cast<int>(std::round(kLeft + kCols * kCell));
        const int bottom = static_cast<int>(std::round(kTop + kRows * kCell));
        int wrong = 0;
        for (int i = 0; i < 640 * 480; ++i) {
            const int x = i % 640, y = i / 640;
            const bool inside = x >= left && x < right && y >= top && y < bottom;
            wrong += (pixels[i] & 0xFFFFFF) != (inside ? 0x010101u : 0u);
        }
        EXPECT_EQ(wrong, 0);
    }
}

// Triangles of one draw that overlap, blended so that order matters, at depths that
// differ: each pixel must see the triangles in the order they were given, exactly as when
// each is a draw of its own. With alpha testing, depth is written only after the test.
TEST_F(RasterOverlay, OverlappingTrianglesOfOneDrawBlendInOrder) {
    auto next = [state = 11u](int range) mutable { return static_cast<int>((nextRandom(state) >> 8) % static_cast<uint32_t>(range)); };
    std::vector<OverlayVertex> triangles;
    for (int i = 0; i < 600; ++i) {
        // Mostly a few pixels across, as a model's; every tenth one large.
        const float size = i % 10 == 0 ? 60.0f : 3.0f + static_cast<float>(next(12));
        const float x = 100.0f + static_cast<float>(next(8000)) / 100.0f, y = 80.0f + static_cast<float>(next(6000)) / 100.0f;
        const float z = static_cast<float>(next(1000)) / 1000.0f;
        const DWORD colour = 0x80000000u | static_cast<DWORD>(next(0x1000000));
        triangles.push_back({x, y, z, colour, 0, 0});
        triangles.push_back({x + size, y + static_cast<float>(next(100)) / 50.0f, z, colour, 0, 0});
        triangles.push_back({x + static_cast<float>(next(100)) / 40.0f, y + size, z, colour, 0, 0});
    }
    blend(D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    renderStates({{D3DRS_ALPHAFUNC, D3DCMP_GREATER}, {D3DRS_ALPHAREF, 0}, {D3DRS_ZFUNC, D3DCMP_LESS}});
    for (const int depth : {0, 1, 2}) {
        SCOPED_TRACE(depth == 0 ? "without depth" : depth == 1 ? "with depth" : "with depth after an alpha test");
        renderStates({{D3DRS_ZENABLE, depth > 0}, {D3DRS_ALPHATESTENABLE, depth == 2}});
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060, 1.0f, 0);
        drawTriangles(D3DPT_TRIANGLELIST, triangles, static_cast<UINT>(triangles.size() / 3));
        const auto together = backBufferPixels();
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF204060, 1.0f, 0);
        for (size_t t = 0; t < triangles.size(); t += 3) {
            drawTriangles(D3DPT_TRIANGLELIST, {triangles[t], triangles[t + 1], triangles[t + 2]}, 1);
        }
        EXPECT_TRUE(together == backBufferPixels());
    }
}

TEST_F(RasterOverlay, BlendedTexturedQuadAtExactPixels) {
    const std::vector<uint32_t> texels = {
        0xFFFF0000, 0x80FF0000, 0x4000FF00, 0xFF0000FF, 0xC0FFFFFF, 0x20808080, 0xFF102030, 0x00FFFFFF,
        0x7F7F7F7F, 0xFF00FFFF, 0x90F0E0D0, 0xFFFF00FF, 0x10101010, 0xE0E0E0E0, 0xFF808000, 0x80008080};
    device->SetTexture(0, makeTexture(4, 4, texels));
    showQuadState();
    const uint32_t background = 0xFF204060;
    device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    drawQuad(10, 10, 74, 42, 0x80FFFFFF);  // 64 x 32 pixels: each texel 16 x 8
    const auto px = backBufferPixels();
    for (int i = 0; i < 90 * 60; ++i) {
        const int x = i % 90, y = i / 90;
        uint32_t expected = background;
        if (x >= 10 && x < 74 && y >= 10 && y < 42) {
            const uint32_t tex = texels[((y - 10) / 8) * 4 + (x - 10) / 16];
            const uint32_t a = div255(channel(tex, 24) * 0x80);
            expected = opaque([&](int shift) {
                const uint32_t c = div255(channel(tex, shift) * channel(tex, shift));
                return div255(c * a + channel(background, shift) * (255 - a));
            });
        }
        ASSERT_EQ(px[y * 640 + x], expected) << "pixel " << x << "," << y;
    }
    expectGolden("raster_blended_quad", crop(px, 640, 0, 0, 90, 60));
}

TEST_F(RasterOverlay, PointSampledTexelsLandOnExactPixels) {
    std::vector<uint32_t> texels(32 * 16);
    uint32_t seed = 7;
    for (uint32_t& texel : texels) texel = 0xFF000000u | (nextRandom(seed) >> 8);
    device->SetTexture(0, makeTexture(32, 16, texels));
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    drawQuad(100, 50, 132, 66, 0xFFFFFFFF);  // one pixel per texel
    drawQuad(200, 50, 264, 82, 0xFFFFFFFF);  // two by two pixels per texel
    const auto px = backBufferPixels();
    for (const auto& [left, scale] : {std::pair{100, 1}, std::pair{200, 2}})
        for (int y = 0; y < 16 * scale; ++y)
            for (int x = 0; x < 32 * scale; ++x)
                ASSERT_EQ(px[(50 + y) * 640 + left + x], texels[(y / scale) * 32 + x / scale]) << x << "," << y;
    for (const int at : {49 * 640 + 100, 66 * 640 + 100, 50 * 640 + 132}) EXPECT_EQ(px[at], 0xFF000000u);
    expectGolden("raster_point_texels", crop(px, 640, 96, 46, 172, 40));
}

TEST_F(RasterOverlay, AddSmoothOverModulate) {
    const uint32_t t0 = 0xFF80C040, t1 = 0xFF304050, diffuse = 0xFF6090F0;
    device->SetTexture(0, makeTexture(1, 1, {t0}));
    device->SetTexture(1, makeTexture(1, 1, {t1}));
    stageStates(0, {{D3DTSS_COLOROP, D3DTOP_MODULATE}, {D3DTSS_COLORARG2, D3DTA_DIFFUSE}});
    stageStates(1, {{D3DTSS_COLOROP, D3DTOP_ADDSMOOTH}, {D3DTSS_TEXCOORDINDEX, 0}});
    drawQuad(0, 0, 16, 16, diffuse);
    const uint32_t expected = opaque([&](int shift) {
        const uint32_t c0 = div255(channel(t0, shift) * channel(diffuse, shift)), s1 = channel(t1, shift);
        return s1 + div255(c0 * (255 - s1));  // Arg1 + Arg2 (1 - Arg1)
    });
    const auto px = backBufferPixels();
    EXPECT_EQ(std::pair(px[0], px[15 * 640 + 15]), std::pair(expected, expected));

    // The same cascade over gradients, as an image.
    std::vector<uint32_t> g0(16 * 16), g1(16 * 16);
    for (int i = 0; i < 256; ++i) {
        g0[i] = 0xFF000000u | ((i % 16) * 16u << 16) | ((i / 16) * 16u << 8) | 0x40;
        g1[i] = 0xFF000000u | (((15 - i % 16) * 12u) << 8) | ((i / 16) * 10u);
    }
    device->SetTexture(0, makeTexture(16, 16, g0));
    device->SetTexture(1, makeTexture(16, 16, g1));
    drawQuad(0, 0, 64, 64, 0xFFC0A080);
    expectGolden("raster_addsmooth_modulate", crop(backBufferPixels(), 640, 0, 0, 64, 64));
}

TEST_F(RasterOverlay, AdditiveOneSrcAlphaBlend) {
    const uint32_t texel = 0xC0A04020, background = 0xFF406080;
    device->SetTexture(0, makeTexture(1, 1, {texel}));
    showQuadState();
    blend(D3DBLEND_ONE, D3DBLEND_SRCALPHA);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    drawQuad(0, 0, 8, 8, 0x40FFFFFF);
    const uint32_t a = div255(channel(texel, 24) * 0x40);
    EXPECT_EQ(backBufferPixels()[3 * 640 + 3], opaque([&](int shift) {
                  const uint32_t c = div255(channel(texel, shift) * channel(texel, shift));
                  return std::min(255u, c + div255(channel(background, shift) * a));
              }));

    // Over a gradient background, a gradient texture: an image.
    std::vector<uint32_t> g(32 * 32);
    for (int i = 0; i < 1024; ++i) g[i] = ((i % 32) * 8u << 24) | ((i / 32) * 8u << 16) | 0x8040;
    device->SetTexture(0, makeTexture(32, 32, g));
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    drawQuad(0, 0, 64, 64, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_SRCALPHA);
    drawQuad(16, 16, 48, 48, 0xC0FFFFFF);
    expectGolden("raster_one_srcalpha", crop(backBufferPixels(), 640, 0, 0, 64, 64));
}

// A picture whose file failed to load is drawn in its vertex colour: the stage reads a
// texture nobody bound, so it and every later stage are skipped.
TEST_F(RasterOverlay, UnboundTextureDrawsTheVertexColour) {
    showQuadState();
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
    drawQuad(0, 0, 4, 4, 0x80FF8040);
    EXPECT_EQ(backBufferPixels()[0], opaque([](int shift) { return div255(channel(0xFF8040, shift) * 0x80); }));

    // Stage 1 with no texture passes stage 0 through.
    device->SetTexture(0, makeTexture(1, 1, {0xFF336699}));
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    drawQuad(0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(backBufferPixels()[0], opaque([](int shift) { return div255(channel(0x336699, shift) * channel(0x336699, shift)); }));

    // A stage whose alpha alone reads the missing texture reads it as opaque.
    device->SetTexture(0, nullptr);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    stageStates(0, {{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                    {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_TEXTURE}});
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    drawQuad(0, 0, 4, 4, 0x10FF8040);
    EXPECT_EQ(backBufferPixels()[0], 0xFFFF8040u);
}

TEST_F(RasterOverlay, StageOperationsAndArguments) {
    const uint32_t tex = 0x80C08040, dif = 0xFF406080, tf = 0x40204080;
    device->SetTexture(0, makeTexture(1, 1, {tex}));
    device->SetRenderState(D3DRS_TEXTUREFACTOR, tf);
    // Operation, arguments, and the channel expected from the arguments' channels.
    const std::tuple<DWORD, DWORD, DWORD, uint32_t (*)(uint32_t a, uint32_t b)> cases[] = {
        {D3DTOP_SELECTARG2, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t, uint32_t b) { return b; }},
        {D3DTOP_MODULATE2X, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return std::min(255u, (2 * a * b + 127) / 255); }},
        {D3DTOP_MODULATE4X, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return std::min(255u, (4 * a * b + 127) / 255); }},
        {D3DTOP_ADD, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return std::min(255u, a + b); }},
        {D3DTOP_ADDSIGNED, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return uint32_t(std::clamp(int(a + b) - 128, 0, 255)); }},
        {D3DTOP_SUBTRACT, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return a > b ? a - b : 0u; }},
        {D3DTOP_SUBTRACT, D3DTA_TEXTURE | D3DTA_COMPLEMENT, D3DTA_TFACTOR, [](uint32_t a, uint32_t b) { return 255 - a > b ? 255 - a - b : 0u; }},
        {D3DTOP_BLENDTEXTUREALPHA, D3DTA_TEXTURE, D3DTA_DIFFUSE, [](uint32_t a, uint32_t b) { return (a * 0x80 + b * 0x7F + 127) / 255; }},
        {D3DTOP_BLENDDIFFUSEALPHA, D3DTA_TEXTURE, D3DTA_TFACTOR, [](uint32_t a, uint32_t) { return a; }},
        {D3DTOP_BLENDCURRENTALPHA, D3DTA_TFACTOR, D3DTA_TEXTURE, [](uint32_t a, uint32_t) { return a; }},
        {D3DTOP_MODULATE, D3DTA_TEXTURE | D3DTA_ALPHAREPLICATE, D3DTA_DIFFUSE, [](uint32_t, uint32_t b) { return (0x80 * b + 127) / 255; }},
    };
    for (const auto& [op, arg1, arg2, expect] : cases) {
        stageStates(0, {{D3DTSS_COLOROP, op}, {D3DTSS_COLORARG1, arg1}, {D3DTSS_COLORARG2, arg2}});
        drawQuad(0, 0, 2, 2, dif);
        const uint32_t got = backBufferPixels()[0];
        auto source = [&](DWORD arg) {
            const DWORD selected = arg & D3DTA_SELECTMASK;
            return selected == D3DTA_TEXTURE ? tex : selected == D3DTA_TFACTOR ? tf : dif;
        };
        for (int shift = 0; shift < 24; shift += 8) {
            const uint32_t a = channel(source(arg1), shift), b = channel(source(arg2), shift);
            EXPECT_EQ(channel(got, shift), expect(a, b)) << "op " << op << " channel " << shift;
        }
    }
}

// Overlay rectangles take a fused loop, with its shortcuts (nothing drawn at alpha 0, no
// blending for opaque pictures or solid texels at alpha 255, stage 0 read ready-made from the
// texture's squared texels where it is drawn at its own size); the general pipeline must give
// the same pixels, also once the texture has been written again. A black specular colour
// added to the result changes nothing but keeps the fused loop out.
TEST_F(RasterOverlay, FusedRectangleLoopMatchesTheGeneralPipeline) {
    // A wholly clear and a wholly solid row, as fades and pictures have; then runs of clear
    // and of solid texels a vector long, as glyphs have, then mixed alphas.
    constexpr int kWidth = 48, kHeight = 7;
    auto pattern = [](uint32_t seed) {
        std::vector<uint32_t> texels(kWidth * kHeight);
        for (size_t i = 0; i < texels.size(); ++i) {
            const uint32_t mixed = static_cast<uint32_t>(i * seed) | 0x10000000u, column = i % kWidth;
            texels[i] = i < kWidth ? mixed & 0xFFFFFF : i < 2 * kWidth ? mixed | 0xFF000000u
                      : column < 16 ? mixed & 0xFFFFFF : column < 32 ? mixed | 0xFF000000u : mixed;
        }
        return texels;
    };
    showQuadState();
    for (const D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8}) {
        IDirect3DTexture8* texture = makeTexture(kWidth, kHeight, pattern(0x9E3779B9u), format);
        device->SetTexture(0, texture);
        auto fill = [&](uint32_t seed) {
            const std::vector<uint32_t> texels = pattern(seed);
            D3DLOCKED_RECT locked;
            ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
            for (int y = 0; y < kHeight; ++y) {
                std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * kWidth], kWidth * 4);
            }
            texture->UnlockRect(0);
        };
        for (const DWORD alpha : {0x00u, 0xB0u, 0xFFu}) {
            const DWORD colour = (alpha << 24) | 0xFFFFFF;
            auto render = [&] {
                device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF305070, 1.0f, 0);
                drawQuad(3, 5, 211, 97, colour);
                drawQuad(250, 200, 250 + kWidth, 200 + kHeight, colour);  // at its own size
                drawTriangles(D3DPT_TRIANGLEFAN, {{300.25f, 20.5f, 1, colour, -0.5f, -0.25f}, {420.75f, 60.125f, 1, colour, 2.5f, -0.25f},
                                                  {380.5f, 180.0f, 1, colour, 2.5f, 1.75f}, {260.0f, 140.375f, 1, colour, -0.5f, 1.75f}}, 2);
                return backBufferPixels();
            };
            auto expectFusedAsGeneral = [&] {
                device->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
                const auto fused = render();
                device->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
                EXPECT_EQ(fused, render());
                return fused;
            };
            SCOPED_TRACE(testing::Message() << "format " << format << ", alpha " << alpha);
            fill(0x9E3779B9u);
            const auto before = expectFusedAsGeneral();
            fill(0x85EBCA6Bu);
            const auto after = expectFusedAsGeneral();
            EXPECT_EQ(before == after, alpha == 0);
        }
    }
}

TEST_F(RasterOverlay, PresentHandsTheImageUnchanged) {
    std::vector<uint32_t> seen;
    d3d8host::setPresentHook([&](const d3d8host::FrameView& f) {
        seen.assign(f.pixels, f.pixels + static_cast<size_t>(f.pitchBytes / 4) * f.height);
    });
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF102030, 1.0f, 0);
    drawQuad(5, 5, 50, 40, 0xFFA0B0C0);
    const auto drawn = backBufferPixels();
    device->Present(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(seen, drawn);
}

class RasterSampling : public RasterOverlay {
protected:
    void SetUp() override {
        RasterOverlay::SetUp();
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        // Four texels in a row: red, green, blue, white.
        device->SetTexture(0, makeTexture(4, 1, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF}));
    }
    // A 16-pixel-wide strip whose u runs from u0 at the left edge to u1 at the right.
    std::vector<uint32_t> strip(float u0, float u1) {
        drawQuad(0, 0, 16, 1, 0xFFFFFFFF, u0, u1);
        auto px = backBufferPixels();
        px.resize(16);
        return px;
    }
};

// u from -1 to 3 over 16 pixels: pixel x samples u = -1 + x/4, texel floor(u * 4).
TEST_F(RasterSampling, AddressModes) {
    const uint32_t R = 0xFFFF0000, G = 0xFF00FF00, B = 0xFF0000FF, W = 0xFFFFFFFF;
    EXPECT_EQ(strip(-1, 3), (std::vector<uint32_t>{R, G, B, W, R, G, B, W, R, G, B, W, R, G, B, W}));
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP);
    EXPECT_EQ(strip(-1, 3), (std::vector<uint32_t>{R, R, R, R, R, G, B, W, W, W, W, W, W, W, W, W}));
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRROR);
    EXPECT_EQ(strip(-1, 3), (std::vector<uint32_t>{W, B, G, R, R, G, B, W, W, B, G, R, R, G, B, W}));
    const uint32_t K = 0xFF123456;
    stageStates(0, {{D3DTSS_ADDRESSU, D3DTADDRESS_BORDER}, {D3DTSS_BORDERCOLOR, K}});
    EXPECT_EQ(strip(-1, 3), (std::vector<uint32_t>{K, K, K, K, R, G, B, W, K, K, K, K, K, K, K, K}));
    device->SetTextureStageState(0, D3DTSS_ADDRESSU, D3DTADDRESS_MIRRORONCE);
    EXPECT_EQ(strip(-1, 3), (std::vector<uint32_t>{W, B, G, R, R, G, B, W, W, W, W, W, W, W, W, W}));
}

// Bilinear: left texel floor(u*W - 0.5), weight its fraction. At pixel x of a strip from u 0
// to 1 over 16 pixels, u*4 - 0.5 = x/4 - 0.5.
TEST_F(RasterSampling, LinearFiltering) {
    stageStates(0, {{D3DTSS_MAGFILTER, D3DTEXF_LINEAR}, {D3DTSS_MINFILTER, D3DTEXF_LINEAR}, {D3DTSS_ADDRESSU, D3DTADDRESS_CLAMP}});
    const auto px = strip(0, 1);
    EXPECT_EQ(px[2], 0xFFFF0000u);  // 0.0: red alone
    EXPECT_EQ(px[4], 0xFF808000u);  // 0.5: red and green halves, (255 * 128 + 128) >> 8 = 128
    EXPECT_EQ(px[6], 0xFF00FF00u);  // 1.0: green
    EXPECT_EQ(px[3], 0xFFBF4000u);  // 0.25 towards green: 255 * 192 / 256 = 191.25, 255 * 64 / 256 = 63.75
    EXPECT_EQ(px[0], 0xFFFF0000u);  // clamped at the left edge
}

class RasterBlendFactors : public DeviceFixture {
    void configure(d3d8host::DeviceConfig&) override { backBufferFormat = D3DFMT_A8R8G8B8; }
};

// Factors that read the destination, on a target with alpha.
TEST_F(RasterBlendFactors, DestinationFactorsOnAnAlphaTarget) {
    overlayState();
    stageStates(0, {{D3DTSS_COLOROP, D3DTOP_SELECTARG1}, {D3DTSS_COLORARG1, D3DTA_DIFFUSE},
                    {D3DTSS_ALPHAOP, D3DTOP_SELECTARG1}, {D3DTSS_ALPHAARG1, D3DTA_DIFFUSE}});
    const uint32_t dst = 0x40806020, src = 0xC0204080;  // destination alpha 0x40, source alpha 0xC0
    // Factors, and the channel expected from source and destination channels and alphas.
    const std::tuple<D3DBLEND, D3DBLEND, uint32_t (*)(uint32_t sc, uint32_t sa, uint32_t dc, uint32_t da)> cases[] = {
        {D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
         [](uint32_t sc, uint32_t, uint32_t dc, uint32_t da) { return (sc * da + dc * (255 - da) + 127) / 255; }},
        {D3DBLEND_DESTCOLOR, D3DBLEND_ZERO, [](uint32_t sc, uint32_t, uint32_t dc, uint32_t) { return (sc * dc + 127) / 255; }},
        {D3DBLEND_INVDESTCOLOR, D3DBLEND_ONE,
         [](uint32_t sc, uint32_t, uint32_t dc, uint32_t) { return std::min(255u, (sc * (255 - dc) + dc * 255 + 127) / 255); }},
        {D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
         [](uint32_t sc, uint32_t, uint32_t dc, uint32_t) { return (sc * sc + dc * (255 - sc) + 127) / 255; }},
        {D3DBLEND_ZERO, D3DBLEND_SRCALPHA, [](uint32_t, uint32_t sa, uint32_t dc, uint32_t) { return (dc * sa + 127) / 255; }},
    };
    for (const auto& [s, d, expect] : cases) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, dst, 1.0f, 0);
        blend(s, d);
        drawQuad(0, 0, 2, 2, src);
        const uint32_t got = backBufferPixels()[0];
        for (int shift = 0; shift < 32; shift += 8) {
            EXPECT_EQ(channel(got, shift), expect(channel(src, shift), src >> 24, channel(dst, shift), dst >> 24))
                << "factors " << s << "/" << d << " channel " << shift;
        }
    }
}

}  // namespace
