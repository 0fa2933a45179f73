// Screen rectangles and fades: the corners and colour written into the one quad
// buffer and the device calls of each rectangle. The pixels a rectangle covers show in
// the text tests, where every glyph is one.
#include "draw_device.h"
#include "draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <tuple>

namespace {

struct Corner {
    float x, y;
};

void expectCorners(const std::vector<OverlayVertex>& vertices, const Corner (&corners)[4], DWORD diffuse)
{
    ASSERT_EQ(vertices.size(), 4u);
    const float u[4] = {0, 1, 1, 0}, v[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        const OverlayVertex& c = vertices[i];
        EXPECT_EQ(std::make_tuple(c.x, c.y, c.z, c.diffuse, c.u, c.v),
                  std::make_tuple(corners[i].x, corners[i].y, 1.0f, diffuse, u[i], v[i])) << "corner " << i;
    }
}

std::vector<std::string> callsSince(size_t start)
{
    const auto& calls = d3d8host::recordedCalls();
    return {calls.begin() + static_cast<long>(start), calls.end()};
}

} // namespace

TEST(ScreenQuads, FadedRectanglesClampAndTruncateTheirOpacity)
{
    DrawDevice device;
    // Opacity asked for, vertex colour written.
    const std::pair<float, DWORD> cases[] = {
        {-0.5f, 0x00FFFFFF}, {2.0f, 0xFFFFFFFF}, {0.5f, 0x7FFFFFFF}, {0.999f, 0xFEFFFFFF},
        {std::numeric_limits<float>::quiet_NaN(), 0x00FFFFFF}, {std::numeric_limits<float>::infinity(), 0xFFFFFFFF},
    };
    for (const auto& [alpha, diffuse] : cases) {
        SCOPED_TRACE("alpha " + std::to_string(alpha));
        EXPECT_EQ(fadeColour(alpha), diffuse);
        drawFadedQuad(1, 2, 3, 4, nullptr, alpha);
        expectCorners(device.quadBufferContents(), {{1, 2}, {4, 2}, {4, 6}, {1, 6}}, diffuse);
    }
    // The colour is rewritten every time: a plain rectangle after a faded one is opaque.
    drawQuad(0, 0, 1, 1, nullptr);
    expectCorners(device.quadBufferContents(), {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 0xFFFFFFFF);
}

// A rectangle is one scene drawn through the quad buffer. Sizes are not checked: a negative one
// gives a mirrored rectangle. A missing texture is bound as none. (The screen fade over every frame
// shows in the scene tests' golden frames.)
TEST(ScreenQuads, EachRectangleWritesItsCornersAndDrawsOnceWithItsTexture)
{
    DrawDevice device;
    IDirect3DTexture8* texture = device.texture();
    const struct {
        int width, height;
        IDirect3DTexture8* texture;
        std::string bound;
        Corner corners[4];
    } cases[] = {
        {32, 32, texture, device.labelOf(texture), {{10, 20}, {42, 20}, {42, 52}, {10, 52}}},
        {-5, -7, nullptr, "null", {{10, 20}, {5, 20}, {5, 13}, {10, 13}}},
    };
    for (const auto& c : cases) {
        const size_t first = d3d8host::recordedCalls().size();
        drawQuad(10, 20, c.width, c.height, c.texture);
        EXPECT_EQ(callsSince(first), (std::vector<std::string>{"Lock(vb#1,0,96,0)", "Unlock(vb#1)", "SetTexture(0," + c.bound + ")",
                                                               "BeginScene", "SetVertexShader(0x142)",
                                                               "SetStreamSource(0,vb#1,24)", "DrawPrimitive(6,0,2)", "EndScene"}));
        expectCorners(device.quadBufferContents(), c.corners, 0xFFFFFFFF);
    }
}

TEST(ScreenQuads, ABufferThatCannotBeLockedSkipsTheRectangle)
{
    DrawDevice device;
    d3d8host::DeviceConfig config = d3d8host::deviceConfig();
    config.failLockAfter = 0;
    d3d8host::setDeviceConfig(config);
    const size_t start = d3d8host::recordedCalls().size();
    drawQuad(7, 5, 32, 32, nullptr);
    const std::vector<std::string> calls = callsSince(start);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DrawPrimitive(6,0,2)"), 0);
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "BeginScene"), 0);
}
