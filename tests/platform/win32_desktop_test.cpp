// The desktop backend run over SDL's offscreen video driver, which needs no display:
// the SDL paths (windows, presentation, cursor, event pumping, message-box fallback)
// must work end to end and hand control back cleanly.
#include "platform_support.h"

using namespace platformtest;

namespace {

class DesktopBackend : public HeadlessTest {
protected:
    void SetUp() override
    {
        HeadlessTest::SetUp();
        win32host::selectBackend(win32host::Backend::Desktop);
        if (!win32host::desktopDisplayAvailable())
            GTEST_SKIP() << "SDL has no offscreen video driver here";
    }
    void TearDown() override
    {
        win32host::selectBackend(win32host::Backend::Headless);
        HeadlessTest::TearDown();
    }

private:
    EnvironmentOverride driver_{"SDL_VIDEODRIVER", "offscreen"};
    // Plain software rendering: no OpenGL driver is loaded behind the test's back.
    EnvironmentOverride renderer_{"SDL_RENDER_DRIVER", "software"};
    EnvironmentOverride framebuffer_{"SDL_FRAMEBUFFER_ACCELERATION", "0"};
};

} // namespace

TEST_F(DesktopBackend, CarriesAWindowThroughItsWholeLife)
{
    EXPECT_TRUE(GetSystemMetrics(SM_CXSCREEN) > 0 && GetSystemMetrics(SM_CYSCREEN) > 0);
    HWND window = createTestWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(ShowCursor(FALSE), -1);

    std::vector<uint32_t> frame(640 * 480, 0x00FF8040);
    for (int i = 0; i < 2; ++i)
        win32host::presentToWindow(window, frame.data(), 640, 480, 640 * 4);
    MSG msg;
    win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 1);
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.hwnd, msg.wParam), std::pair(window, WPARAM(VK_ESCAPE)));

    EXPECT_EQ(ShowCursor(TRUE), 0);
    SendMessageA(window, WM_CLOSE, 0, 0);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(window, &rect));
}

TEST_F(DesktopBackend, AMessageBoxWithoutAWindowSystemStillAnswers)
{
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Failed to load texture", "D3D FATAALI VIRHE!", MB_OK), IDOK);
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Failed to load texture"), std::string::npos);
}
