// Window classes and windows, screen metrics, the cursor counter and message boxes on
// the headless backend.
#include "platform_support.h"

#include <desktop.h>

#include <array>
#include <tuple>

using namespace platformtest;

namespace {

class Windows : public HeadlessTest {};

} // namespace

TEST_F(Windows, ClassRegistrationAcceptsTheThirtyTwoBitSizeAndRefusesDuplicatesBadSizesAndUnknownClasses)
{
    WNDCLASSEXA wc{};
    wc.cbSize = 48;
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = "D3D FRAMEWORK";
    ATOM atom = RegisterClassExA(&wc);
    EXPECT_GE(atom, 0xC000);

    wc.lpszClassName = "d3d framework";
    EXPECT_EQ(RegisterClassExA(&wc), 0) << "class names ignore case";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    wc.lpszClassName = "OTHER";
    wc.cbSize = 47;
    EXPECT_EQ(RegisterClassExA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    HWND byAtom = CreateWindowExA(0, MAKEINTATOM(atom), "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(byAtom, nullptr);
    EXPECT_EQ(CreateWindowExA(0, "NOPE", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(Windows, CreationSendsNcCreateAndCreateWithTheCreationRecord)
{
    registerTestClass();
    std::vector<CREATESTRUCTA> records;
    reaction() = [&](HWND w, UINT m, WPARAM wp, LPARAM lp) {
        if (m == WM_NCCREATE || m == WM_CREATE)
            records.push_back(*reinterpret_cast<CREATESTRUCTA*>(lp));
        return DefWindowProcA(w, m, wp, lp);
    };
    int param = 0;
    HWND window = CreateWindowExA(WS_EX_TOPMOST, "TEST WINDOW", "dx demo", 0x86000000, 0, 0, 640, 480, nullptr,
                                  nullptr, nullptr, &param);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(receivedMessages(), (std::vector<UINT>{WM_NCCREATE, WM_CREATE}));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].cx, 640);
    EXPECT_EQ(records[1].lpCreateParams, &param);
}

TEST_F(Windows, AProcedureRefusingCreationLeavesNoWindow)
{
    registerTestClass();
    HWND created = nullptr;
    reaction() = [&](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        created = w;
        return m == WM_CREATE ? -1 : DefWindowProcA(w, m, wp, lp);
    };
    EXPECT_EQ(CreateWindowExA(0, "TEST WINDOW", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr),
              nullptr);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(created, &rect));
}

// The popup keeps its size and its client area wherever it is put.
TEST_F(Windows, CentringGivesOffsetsTruncatedTowardZeroOnAnyScreen)
{
    EXPECT_EQ(std::pair(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)), std::pair(640, 480))
        << "the default headless screen";
    // Screen width and height, the window's place.
    const std::tuple<int, int, LONG, LONG> cases[] = {
        {640, 480, 0, 0}, {320, 199, -160, -140}, // (199 - 480) / 2 = -140.5, truncated
        {639, 479, 0, 0}, {1920, 1080, 640, 300},
    };
    HWND window = createTestWindow();
    for (const auto& [width, height, x, y] : cases) {
        win32host::setHeadlessScreenSize(width, height);
        // The centring a program does with GetWindowRect, GetSystemMetrics and SetWindowPos.
        RECT rect, client;
        GetWindowRect(window, &rect);
        const LONG w = rect.right - rect.left, h = rect.bottom - rect.top;
        SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        GetWindowRect(window, &rect);
        EXPECT_EQ((std::array{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top}), (std::array{x, y, w, h}))
            << width << "x" << height;
        ASSERT_TRUE(GetClientRect(window, &client));
        EXPECT_TRUE(client.left == 0 && client.top == 0 && client.right == 640 && client.bottom == 480);
    }
}

TEST_F(Windows, ShowWindowReportsThePreviousStateAndUpdateWindowPaintsOnce)
{
    HWND window = createTestWindow();
    EXPECT_FALSE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(ShowWindow(window, SW_SHOWDEFAULT));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_TRUE(UpdateWindow(window));
    EXPECT_EQ(receivedMessages(), (std::vector<UINT>{WM_PAINT})) << "default painting validates the window";
}

TEST_F(Windows, BadWindowHandlesAreRefused)
{
    HWND bogus = reinterpret_cast<HWND>(0xdead0);
    RECT rect;
    EXPECT_FALSE(GetWindowRect(bogus, &rect));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(SetWindowPos(bogus, nullptr, 0, 0, 0, 0, SWP_NOSIZE));
    EXPECT_FALSE(ShowWindow(bogus, SW_SHOW));
    EXPECT_FALSE(UpdateWindow(bogus));
    EXPECT_FALSE(DestroyWindow(bogus));
    EXPECT_EQ(SendMessageA(bogus, WM_CLOSE, 0, 0), 0);
    MSG msg = {bogus, WM_USER, 0, 0, 0, {0, 0}};
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    uint32_t pixel = 0;
    win32host::presentToWindow(bogus, &pixel, 1, 1, 4);
}

TEST_F(Windows, ShowCursorKeepsADisplayCounter)
{
    EXPECT_EQ((std::array{ShowCursor(FALSE), ShowCursor(FALSE), ShowCursor(TRUE)}), (std::array{-1, -2, -1}));
}

TEST_F(Windows, MessageBoxesAreRecordedPrintedAndAnswerWithTheirFirstButton)
{
    HWND window = createTestWindow();
    testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(window, "Could not initialize BASS", "BASS Error", MB_OK), IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Continue?", nullptr, MB_YESNO | MB_ICONWARNING), IDYES);
    std::string printed = testing::internal::GetCapturedStderr();

    const auto& boxes = win32host::shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(std::tie(boxes[0].parent, boxes[0].text), std::tuple(window, std::string("Could not initialize BASS")));
    EXPECT_EQ(boxes[1].caption, "Error") << "a missing caption";
    EXPECT_NE(printed.find("[BASS Error] Could not initialize BASS"), std::string::npos) << printed;
}

// SDL's key codes for printable keys and Escape are their ASCII codes.
TEST(DesktopKeys, SdlKeysMapToWindowsVirtualKeys)
{
    const std::pair<int, UINT> keys[] = {{27, VK_ESCAPE}, {'a', 'A'}, {'z', 'Z'}, {'7', '7'},
                                         {' ', VK_SPACE}, {'\r', VK_RETURN}, {0, 0}};
    for (const auto& [sdl, expected] : keys)
        EXPECT_EQ(win32host::desktop::virtualKeyForSdlKeycode(sdl), expected) << sdl;
}
