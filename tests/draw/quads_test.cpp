// Screen rectangles and fades: the corners and colour written into the one quad
// buffer and the device calls of each rectangle. The pixels a rectangle covers show in
// the text tests, where every glyph is one.
#include "draw_device.h"
#include "draw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

struct Corner {
    float x, y;
};

void expectCorners(const std::vector<OverlayVertex>& vertices, const Corner (&corners)[4], DWORD diffuse)
{
    ASSERT_EQ(vertices.size(), 4u);
    const float u[4] = {0, 1, 1, 0}, v[4] = {0, 0, 1, 1};
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE("corner " + std::to_string(i));
        EXPECT_EQ(vertices[i].x, corners[i].x);
        EXPECT_EQ(vertices[i].y, corners[i].y);
        EXPECT_EQ(vertices[i].z, 1.0f);
        EXPECT_EQ(vertices[i].diffuse, diffuse);
        EXPECT_EQ(vertices[i].u, u[i]);
        EXPECT_EQ(vertices[i].v, v[i]);
    }
}

std::vector<OverlayVertex> quadVertices()
{
    return {showState.quadVertices, showState.quadVertices + 4};
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
    const struct {
        float alpha;
        DWORD diffuse;
    } cases[] = {
        {-0.5f, 0x00FFFFFF}, {2.0f, 0xFFFFFFFF},  {0.5f, 0x7FFFFFFF},  {0.999f, 0xFEFFFFFF},
        {0.0f, 0x00FFFFFF},  {1.0f, 0xFFFFFFFF},  {std::numeric_limits<float>::quiet_NaN(), 0x00FFFFFF},
        {std::numeric_limits<float>::infinity(), 0xFFFFFFFF}, {-std::numeric_limits<float>::infinity(), 0x00FFFFFF},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("alpha " + std::to_string(c.alpha));
        EXPECT_EQ(fadeColour(c.alpha), c.diffuse);
        drawFadedQuad(1, 2, 3, 4, nullptr, c.alpha);
        expectCorners(device.quadBufferContents(), {{1, 2}, {4, 2}, {4, 6}, {1, 6}}, c.diffuse);
    }
    // The colour is rewritten every time: a plain rectangle after a faded one is opaque.
    drawQuad(0, 0, 1, 1, nullptr);
    expectCorners(device.quadBufferContents(), {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 0xFFFFFFFF);
}

// A rectangle is one scene drawn through the quad buffer. Sizes are not checked: zero and negative
// ones give empty or mirrored rectangles. A missing texture is bound as none. (The screen fade over
// every frame shows in the scene tests' golden frames.)
TEST(ScreenQuads, EachRectangleWritesItsCornersAndDrawsOnceWithItsTexture)
{
    DrawDevice device;
    showState.fadeTexture = device.solidTexture(0xFF808080);
    const std::string fade = device.labelOf(showState.fadeTexture);
    const size_t first = d3d8host::recordedCalls().size();
    drawQuad(7, 5, 32, 32, showState.fadeTexture);
    EXPECT_EQ(callsSince(first), (std::vector<std::string>{"Lock(vb#1,0,96,0)", "Unlock(vb#1)", "SetTexture(0," + fade + ")",
                                                           "BeginScene", "SetVertexShader(0x142)",
                                                           "SetStreamSource(0,vb#1,24)", "DrawPrimitive(6,0,2)", "EndScene"}));
    expectCorners(device.quadBufferContents(), {{7, 5}, {39, 5}, {39, 37}, {7, 37}}, 0xFFFFFFFF);
    const struct {
        void (*draw)();
        Corner corners[4];
    } cases[] = {
        {[] { drawQuad(10, 20, 0, 0, nullptr); }, {{10, 20}, {10, 20}, {10, 20}, {10, 20}}},
        {[] { drawQuad(10, 20, -5, -7, nullptr); }, {{10, 20}, {5, 20}, {5, 13}, {10, 13}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const size_t start = d3d8host::recordedCalls().size();
        c.draw();
        expectCorners(quadVertices(), c.corners, 0xFFFFFFFF);
        const std::vector<std::string> calls = callsSince(start);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "SetTexture(0,null)"), 1);
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "DrawPrimitive(6,0,2)"), 1);
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
    config.failLockAfter = -1;
    d3d8host::setDeviceConfig(config);
}
