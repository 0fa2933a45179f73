#include "d3d8_test_util.h"

using namespace d3d8test;

namespace {

class RasterSmoke : public DeviceFixture {};

TEST_F(RasterSmoke, QuadCoversItsPixels) {
    overlayState();
    device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    drawQuad(10, 20, 30, 25, 0xFFFF0000);
    const auto px = backBufferPixels();
    int red = 0;
    for (uint32_t p : px) red += p == 0xFFFF0000u;
    EXPECT_EQ(red, 100);
    EXPECT_EQ(px[20 * 640 + 10], 0xFFFF0000u);
    EXPECT_EQ(px[24 * 640 + 29], 0xFFFF0000u);
    EXPECT_EQ(px[25 * 640 + 29], 0xFF000000u);
}

}  // namespace
