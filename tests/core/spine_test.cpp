// The show's spine end to end on the headless platform: entry, window procedure,
// scene sequence, stopping, failures at start and the order of shutdown.
#include "show_harness.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

// Frames each scene draws at 60 per second: 8 + 24 + 14.5 + 61 + 14.5 seconds.
constexpr uint64_t FULL_SHOW_FRAMES = 480 + 1440 + 870 + 3660 + 870;

std::vector<std::string> bassCallsAfterInit()
{
    const auto& log = basshost::callLog();
    return {log.begin(), log.end()};
}

} // namespace

// How input ends the scenes is checked through the running show below; here what the
// procedure answers, and that a stop shows the cursor again and posts the quit message.
TEST(WindowProcedure, EscapeAndLeftClickShowTheCursorOtherInputIsSwallowedOrDefault)
{
    ShowHarness harness;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.lpszClassName = "procedure test";
    RegisterClassExA(&windowClass);
    HWND window = CreateWindowExA(0, "procedure test", "t", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(windowProc(window, WM_KEYDOWN, 'A', 0), 0);
    EXPECT_EQ(windowProc(window, WM_RBUTTONDOWN, 0, 0), DefWindowProcA(window, WM_RBUTTONDOWN, 0, 0));
    EXPECT_EQ(windowProc(window, WM_MBUTTONDOWN, 0, 0), DefWindowProcA(window, WM_MBUTTONDOWN, 0, 0));
    for (const auto& [message, key] : {std::pair<UINT, WPARAM>{WM_KEYDOWN, VK_ESCAPE}, {WM_LBUTTONDOWN, 0}}) {
        showState.runningFlag = 1;
        const int cursorBefore = win32host::cursorDisplayCount();
        EXPECT_EQ(windowProc(window, message, key, 0), 0);
        EXPECT_EQ(showState.runningFlag, 0);
        EXPECT_EQ(win32host::cursorDisplayCount(), cursorBefore + 1);
    }
    MSG msg;
    int quits = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        quits += msg.message == WM_QUIT;
    EXPECT_GE(quits, 1) << "a stop posts the quit message";
}

TEST(WindowProcedure, CloseRequestShowsTheCursorPostsQuitAndStopsTheShow)
{
    ShowHarness harness;
    showState.runningFlag = 1;
    const int cursorBefore = win32host::cursorDisplayCount();
    EXPECT_EQ(windowProc(nullptr, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(win32host::cursorDisplayCount(), cursorBefore + 1);
    EXPECT_EQ(showState.runningFlag, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(GetMessageA(&msg, nullptr, 0, 0), 0);
}

TEST(ShowSequence, UninterruptedShowRunsAllFiveScenesAndExitsOneEvenWhenTheTickCountWraps)
{
    for (DWORD startTick : {1000u, 0xFFFFFFFFu - 3000u}) {
        ShowHarness harness(60.0, startTick);
        EXPECT_EQ(harness.runShow(), 1);
        // The tick count moves in whole milliseconds, so a scene may take one frame more.
        EXPECT_GE(harness.presents(), FULL_SHOW_FRAMES) << startTick;
        EXPECT_LE(harness.presents(), FULL_SHOW_FRAMES + 5) << startTick;
        // There is no data set here: every file reports itself, and the show plays on without it.
        for (const auto& box : win32host::shownMessageBoxes())
            EXPECT_TRUE(box.text == "Failed to load texture" || box.text == "Failed to load model") << box.text;
    }
}

// Escape, a left click and the window manager's WM_CLOSE end the running scene at once;
// each later scene then flashes one frame.
TEST(ShowSequence, StoppingInputEndsTheRunningSceneAndEachLaterSceneFlashesOneFrame)
{
    struct Case {
        const char* what;
        UINT message;
        WPARAM key;
        uint64_t frame;
        uint64_t presents;
    };
    const Case cases[] = {
        {"Escape in scene 1", WM_KEYDOWN, VK_ESCAPE, 10, 10 + 4},
        {"left click in scene 1", WM_LBUTTONDOWN, 0, 100, 100 + 4},
        {"WM_CLOSE in scene 2", WM_CLOSE, 0, 600, 600 + 3},
    };
    for (const Case& c : cases) {
        ShowHarness harness;
        harness.atFrame(c.frame, [&c] { win32host::postInput(c.message, c.key, 0); });
        EXPECT_EQ(harness.runShow(), 1) << c.what;
        EXPECT_EQ(harness.presents(), c.presents) << c.what;
        EXPECT_EQ(showState.swarmRunCount, 2) << c.what;
    }
}

TEST(ShowSequence, OtherKeysAndButtonsChangeNothing)
{
    ShowHarness harness;
    harness.atFrame(10, [] {
        win32host::postInput(WM_KEYDOWN, 'Q', 0);
        win32host::postInput(WM_RBUTTONDOWN, 0, 0);
        win32host::postInput(WM_MBUTTONDOWN, 0, 0);
    });
    EXPECT_EQ(harness.runShow(), 1);
    EXPECT_GE(harness.presents(), FULL_SHOW_FRAMES);
}

TEST(ShowSequence, EscapeQueuedWhileLoadingEndsTheFirstSceneBeforeItsFirstFrame)
{
    ShowHarness harness;
    // Typed before the window exists: it waits in the queue like type-ahead.
    win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(harness.runShow(), 1);
    EXPECT_EQ(harness.presents(), 4u);
}

TEST(ShowSequence, QuitMessageEndsASceneBeforeItClearsOrDraws)
{
    ShowHarness harness;
    harness.atFrame(5, [] { PostQuitMessage(0); });
    EXPECT_EQ(harness.runShow(), 1);
    // The quit ends only scene 1; nothing clears runningFlag, so the rest plays in full.
    const std::vector<std::string> calls = harness.calls();
    auto fifthPresent = calls.begin();
    for (int seen = 0; fifthPresent != calls.end(); ++fifthPresent)
        if (*fifthPresent == "Present" && ++seen == 5)
            break;
    ASSERT_NE(fifthPresent, calls.end());
    // Scene 2 starts with its stage states: no Clear of scene 1 came in between.
    auto next = std::find_if(fifthPresent + 1, calls.end(),
                             [](const std::string& c) { return c.rfind("Clear", 0) == 0 || c.rfind("SetTextureStageState(1,11", 0) == 0; });
    ASSERT_NE(next, calls.end());
    EXPECT_EQ(next->rfind("SetTextureStageState(1,11", 0), 0u) << *next;
    EXPECT_GE(harness.presents(), FULL_SHOW_FRAMES - 480);
}

TEST(StartFailures, NoSoundDeviceShowsTheBassErrorAndExitsZero)
{
    ShowHarness harness;
    basshost::failNextInit(true);
    EXPECT_EQ(harness.runShow(), 0);
    const auto& boxes = win32host::shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Could not initialize BASS");
    EXPECT_EQ(boxes[0].caption, "BASS Error");
    EXPECT_EQ(harness.presents(), 0u);
}

TEST(StartFailures, NoDirect3DExitsZeroWithoutAMessage)
{
    ShowHarness harness;
    d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
    config.failCreate = true;
    d3d8host::setDeviceConfig(config);
    EXPECT_EQ(harness.runShow(), 0);
    EXPECT_TRUE(win32host::shownMessageBoxes().empty());
}

TEST(StartFailures, NoDeviceInAnyOfTheSixAttemptsShowsTheFatalMessage)
{
    ShowHarness harness;
    d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
    config.backBufferFormats.clear();
    d3d8host::setDeviceConfig(config);
    EXPECT_EQ(harness.runShow(), 0);
    const auto& boxes = win32host::shownMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "Nyt meni vituiks");
    EXPECT_EQ(boxes[0].caption, "D3D FATAALI VIRHE!");
    EXPECT_EQ(boxes[0].parent, showState.window);
}

TEST(CreateDisplay, FallsBackThroughBackBufferFormatsAndVertexProcessing)
{
    struct Case {
        std::vector<D3DFORMAT> formats;
        bool hardware, mixed, software;
        D3DFORMAT expectedFormat;
    };
    const Case cases[] = {
        {{D3DFMT_A8R8G8B8}, true, true, true, D3DFMT_A8R8G8B8},
        {{D3DFMT_X8R8G8B8}, false, false, true, D3DFMT_X8R8G8B8},
        {{D3DFMT_A8R8G8B8}, false, true, false, D3DFMT_A8R8G8B8},
    };
    for (const Case& c : cases) {
        ShowHarness harness;
        const int liveBefore = d3d8host::liveObjectCount();
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        config.backBufferFormats = c.formats;
        config.hardwareVertexProcessing = c.hardware;
        config.mixedVertexProcessing = c.mixed;
        config.softwareVertexProcessing = c.software;
        d3d8host::setDeviceConfig(config);
        showState.window = CreateWindowExA(0, "STATIC", "t", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(createDisplay());
        IDirect3DSurface8* backBuffer = nullptr;
        ASSERT_EQ(showState.device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        D3DSURFACE_DESC desc;
        backBuffer->GetDesc(&desc);
        EXPECT_EQ(desc.Format, c.expectedFormat);
        backBuffer->Release();
        ASSERT_NE(showState.quadBuffer, nullptr);
        releaseAll();
        EXPECT_EQ(d3d8host::liveObjectCount(), liveBefore);
    }
}

TEST(Shutdown, StopsTheMusicThenReleasesQuadBufferDeviceAndDirect3DInOrder)
{
    ShowHarness harness;
    const int liveBefore = d3d8host::liveObjectCount();
    harness.atFrame(3, [] { win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0); });
    EXPECT_EQ(harness.runShow(), 1);

    const std::vector<std::string> bass = bassCallsAfterInit();
    const std::vector<std::string> tail(bass.end() - 3, bass.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"BASS_Stop", "BASS_MusicFree", "BASS_Free"}));

    std::vector<std::string> releases;
    for (const std::string& call : harness.calls())
        if (call.rfind("Release(", 0) == 0)
            releases.push_back(call);
    ASSERT_GE(releases.size(), 3u);
    EXPECT_EQ(releases[releases.size() - 3].rfind("Release(vb", 0), 0u) << releases[releases.size() - 3];
    EXPECT_EQ(releases[releases.size() - 2], "Release(device)");
    EXPECT_EQ(releases[releases.size() - 1], "Release(d3d)");
    EXPECT_EQ(d3d8host::liveObjectCount(), liveBefore);
}

TEST(Shutdown, MusicIsLoadedWithTheLoopFlagAndStartedBeforeTheFirstScene)
{
    ShowHarness harness;
    std::vector<std::string> bassAtFirstFrame;
    harness.atFrame(1, [&] {
        bassAtFirstFrame = basshost::callLog();
        win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0);
    });
    harness.runShow();
    ASSERT_GE(bassAtFirstFrame.size(), 4u);
    EXPECT_EQ(bassAtFirstFrame[0], "BASS_Init(-1,44100,16)");
    EXPECT_EQ(bassAtFirstFrame[1].rfind("BASS_MusicLoad(data\\pork.xm", 0), 0u);
    EXPECT_EQ(bassAtFirstFrame[2], "BASS_Start");
    EXPECT_EQ(bassAtFirstFrame[3], "BASS_MusicPlay");
}
