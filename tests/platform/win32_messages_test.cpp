// The message queue as a Windows program's loop relies on it.
#include "platform_support.h"

using namespace platformtest;

using MessageQueue = HeadlessTest;

TEST_F(MessageQueue, QuitComesAfterEveryPostedAndInputMessageAndGetMessageReturnsZero)
{
    HWND window = createTestWindow();
    PostQuitMessage(3);
    PostMessageA(window, WM_USER, 0, 0);
    win32host::postInput(WM_KEYDOWN, 'A', 0);
    PostMessageA(window, WM_USER + 1, 0, 0);

    MSG msg;
    std::vector<UINT> order;
    BOOL result;
    while ((result = GetMessageA(&msg, nullptr, 0, 0)) != 0)
        order.push_back(msg.message);
    EXPECT_EQ(order, (std::vector<UINT>{WM_USER, WM_USER + 1, WM_KEYDOWN}));
    EXPECT_EQ(std::pair(msg.message, msg.wParam), std::pair(UINT(WM_QUIT), WPARAM(3)));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "the quit message is retrieved once";
}

TEST_F(MessageQueue, FiltersSelectByWindowAndRangeAndAWindowFilterNeverSeesQuit)
{
    HWND window = createTestWindow();
    PostQuitMessage(0);
    PostMessageA(window, WM_USER + 5, 0, 0);
    PostMessageA(nullptr, WM_USER + 6, 0, 0);

    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_USER + 6, WM_USER + 6, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 6u);
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, WM_USER + 5u);
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_REMOVE));
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
}

// Headless, nothing could arrive while GetMessage waited on an empty queue.
TEST_F(MessageQueue, GetMessageFailsForAStaleWindowFilterAndReturnsANullMessageOnAnEmptyQueue)
{
    MSG msg;
    SetLastError(0);
    EXPECT_EQ(GetMessageA(&msg, reinterpret_cast<HWND>(0x4321), 0, 0), -1);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    msg.message = WM_USER;
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_NULL));
}

// Sent messages run the procedure at once and queue nothing; input waits for the pump.
TEST_F(MessageQueue, SendMessageRunsTheProcedureAtOncePostedInputThroughDispatch)
{
    HWND window = createTestWindow();
    reaction() = [](HWND, UINT message, WPARAM wParam, LPARAM) -> LRESULT {
        return message == WM_USER ? static_cast<LRESULT>(wParam * 2) : 0;
    };
    EXPECT_EQ(SendMessageA(window, WM_USER, 21, 0), 42);
    EXPECT_EQ(received().size(), 1u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));

    received().clear();
    win32host::postInput(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 34));
    EXPECT_TRUE(received().empty()) << "nothing runs until the program pumps";
    ASSERT_EQ(GetMessageA(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.hwnd, window);
    DispatchMessageA(&msg);
    ASSERT_EQ(received().size(), 1u);
    EXPECT_EQ(std::pair(received()[0].message, received()[0].lParam), std::pair(UINT(WM_LBUTTONDOWN), MAKELPARAM(12, 34)));
}

TEST_F(MessageQueue, InputGoesToTheNewestLiveWindow)
{
    HWND first = createTestWindow();
    HWND second = CreateWindowExA(0, "TEST WINDOW", "second", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                                  nullptr);
    win32host::postInput(WM_KEYDOWN, 'X', 0);
    DestroyWindow(second);
    win32host::postInput(WM_KEYDOWN, 'Y', 0);
    for (HWND expected : {second, first}) {
        MSG msg;
        GetMessageA(&msg, nullptr, 0, 0);
        EXPECT_EQ(msg.hwnd, expected);
    }
}

TEST_F(MessageQueue, TranslateMessageTurnsCharacterKeysIntoCharacters)
{
    HWND window = createTestWindow();
    MSG key = {window, WM_KEYDOWN, 'A', 1, 0, {0, 0}};
    EXPECT_TRUE(TranslateMessage(&key));
    MSG arrow = {window, WM_KEYDOWN, VK_LEFT, 1, 0, {0, 0}};
    EXPECT_FALSE(TranslateMessage(&arrow));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(std::pair(msg.message, msg.wParam), std::pair(UINT(WM_CHAR), WPARAM('a')));
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
}

// A message queued before the window went is still retrieved, but reaches nothing.
TEST_F(MessageQueue, DefaultCloseDestroysTheWindowWhichThenReceivesNothing)
{
    HWND window = createTestWindow();
    PostMessageA(window, WM_USER, 0, 0);
    EXPECT_EQ(SendMessageA(window, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(receivedMessages(), (std::vector<UINT>{WM_CLOSE, WM_DESTROY, WM_NCDESTROY}));
    RECT rect;
    EXPECT_FALSE(GetWindowRect(window, &rect));
    EXPECT_EQ(SendMessageA(window, WM_USER, 0, 0), 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(DispatchMessageA(&msg), 0);
    EXPECT_EQ(received().size(), 3u);
}
