// The show's spine end to end on the headless platform: entry, window procedure,
// scene sequence, stopping, failures at start and the order of shutdown.
#include "show_harness.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Frames each scene draws at 60 per second: 8 + 24 + 14.5 + 61 + 14.5 seconds.
constexpr uint64_t FULL_SHOW_FRAMES = 480 + 1440 + 870 + 3660 + 870;

} // namespace

// Keys and buttons that do not stop the show are posted on the way and change nothing.
TEST(ShowSequence, UninterruptedShowRunsAllFiveScenesAndExitsOneEvenWhenTheTickCountWraps)
{
    for (DWORD startTick : {1000u, 0xFFFFFFFFu - 3000u}) {
        ShowHarness harness(60.0, startTick);
        harness.atFrame(10, [] {
            win32host::postInput(WM_KEYDOWN, 'Q', 0);
            win32host::postInput(WM_RBUTTONDOWN, 0, 0);
            win32host::postInput(WM_MBUTTONDOWN, 0, 0);
        });
        EXPECT_EQ(harness.runShow(), 1);
        // The tick count moves in whole milliseconds, so a scene may take one frame more.
        EXPECT_TRUE(harness.presents() >= FULL_SHOW_FRAMES && harness.presents() <= FULL_SHOW_FRAMES + 5)
            << harness.presents() << " frames from tick " << startTick;
        // There is no data set here: every file reports itself, and the show plays on without it.
        for (const auto& box : win32host::shownMessageBoxes())
            EXPECT_TRUE(box.text == "Failed to load texture" || box.text == "Failed to load model") << box.text;
    }
}

// A left click and the window manager's WM_CLOSE end the running scene at once, as Escape
// does in every scene (the scene tests follow that frame by frame), and show the cursor again;
// each later scene then flashes one frame. Escape typed before the window exists waits in the queue like
// type-ahead and ends the first scene before its first frame.
TEST(ShowSequence, StoppingInputEndsTheRunningSceneAndEachLaterSceneFlashesOneFrame)
{
    // What, message, key, the frame after which it comes (0: queued before the show starts), presents.
    const std::tuple<const char*, UINT, WPARAM, uint64_t, uint64_t> cases[] = {
        {"Escape while loading", WM_KEYDOWN, VK_ESCAPE, 0, 4},
        {"left click in scene 1", WM_LBUTTONDOWN, 0, 100, 100 + 4},
        {"WM_CLOSE in scene 2", WM_CLOSE, 0, 600, 600 + 3},
    };
    for (const auto& [what, message, key, frame, presents] : cases) {
        SCOPED_TRACE(what);
        ShowHarness harness;
        const auto post = [message = message, key = key] { win32host::postInput(message, key, 0); };
        if (frame == 0)
            post();
        else
            harness.atFrame(frame, post);
        EXPECT_EQ(harness.runShow(), 1);
        EXPECT_EQ(harness.presents(), presents);
        EXPECT_EQ(showState.swarmRunCount, 2);
        EXPECT_GE(win32host::cursorDisplayCount(), 0) << "the cursor is left hidden";
    }
}

// The quit ends only scene 1; nothing clears runningFlag, so the rest plays in full.
TEST(ShowSequence, QuitMessageEndsOnlyTheRunningScene)
{
    ShowHarness harness;
    harness.atFrame(5, [] { PostQuitMessage(0); });
    EXPECT_EQ(harness.runShow(), 1);
    EXPECT_TRUE(harness.presents() >= FULL_SHOW_FRAMES - 480 + 5 && harness.presents() <= FULL_SHOW_FRAMES - 480 + 5 + 5)
        << harness.presents();
}

// No sound device: the sound library's message, exit 0. No Direct3D: exit 0 silently.
// No device in any of the six attempts: the fatal message over the show's window.
TEST(StartFailures, ExitZeroBeforeTheFirstFrameWithTheRightMessage)
{
    // Text and caption of the message (none: no message), and the failure arranged.
    const std::tuple<const char*, const char*, void (*)(d3d8host::DeviceConfig&)> cases[] = {
        {"Could not initialize BASS", "BASS Error", [](d3d8host::DeviceConfig&) { basshost::failNextInit(true); }},
        {nullptr, nullptr, [](d3d8host::DeviceConfig& config) { config.failCreate = true; }},
        {"Nyt meni vituiks", "D3D FATAALI VIRHE!", [](d3d8host::DeviceConfig& config) { config.backBufferFormats.clear(); }},
    };
    for (const auto& [text, caption, arrange] : cases) {
        ShowHarness harness;
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        arrange(config);
        d3d8host::setDeviceConfig(config);
        EXPECT_EQ(harness.runShow(), 0);
        EXPECT_EQ(harness.presents(), 0u);
        const auto& boxes = win32host::shownMessageBoxes();
        ASSERT_EQ(boxes.size(), text ? 1u : 0u) << (text ? text : "no message");
        if (text) {
            EXPECT_EQ(std::tie(boxes[0].text, boxes[0].caption, boxes[0].parent),
                      std::tuple(std::string(text), std::string(caption), showState.window));
        }
    }
}

// Every other test gets the first choice (A8R8G8B8, hardware vertex processing); here the fallbacks.
TEST(CreateDisplay, FallsBackThroughBackBufferFormatsAndVertexProcessing)
{
    for (const bool mixed : {false, true}) {
        ShowHarness harness;
        d3d8host::DeviceConfig config = d3d8host::defaultDeviceConfig();
        config.backBufferFormats = {mixed ? D3DFMT_A8R8G8B8 : D3DFMT_X8R8G8B8};
        config.hardwareVertexProcessing = false;
        config.mixedVertexProcessing = mixed;
        config.softwareVertexProcessing = !mixed;
        d3d8host::setDeviceConfig(config);
        showState.window = CreateWindowExA(0, "STATIC", "t", WS_POPUP, 0, 0, 640, 480, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(createDisplay());
        IDirect3DSurface8* backBuffer = nullptr;
        ASSERT_EQ(showState.device->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
        D3DSURFACE_DESC desc;
        backBuffer->GetDesc(&desc);
        EXPECT_EQ(desc.Format, config.backBufferFormats[0]);
        backBuffer->Release();
        EXPECT_NE(showState.quadBuffer, nullptr);
        releaseAll();
    }
}

// The music is loaded and started before the first scene; at the end it is stopped
// before the quad buffer, the device and Direct3D are released, in that order.
TEST(StartAndShutdown, MusicStartsBeforeTheFirstSceneAndStopsBeforeTheDeviceGoes)
{
    ShowHarness harness;
    const int liveBefore = d3d8host::liveObjectCount();
    std::vector<std::string> bassAtFirstFrame;
    harness.atFrame(1, [&] {
        bassAtFirstFrame = basshost::callLog();
        win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0);
    });
    EXPECT_EQ(harness.runShow(), 1);
    EXPECT_EQ(bassAtFirstFrame, (std::vector<std::string>{"BASS_Init(-1,44100,16)", "BASS_MusicLoad(data\\pork.xm)",
                                                          "BASS_Start", "BASS_MusicPlay"}));

    const std::vector<std::string>& bass = basshost::callLog();
    ASSERT_GE(bass.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(bass.end() - 3, bass.end()),
              (std::vector<std::string>{"BASS_Stop", "BASS_MusicFree", "BASS_Free"}));

    std::vector<std::string> releases; // the vertex buffer's number left out
    for (const std::string& call : harness.calls())
        if (call.rfind("Release(", 0) == 0)
            releases.push_back(call.rfind("Release(vb", 0) == 0 ? "Release(vb)" : call);
    ASSERT_GE(releases.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(releases.end() - 3, releases.end()),
              (std::vector<std::string>{"Release(vb)", "Release(device)", "Release(d3d)"}));
    EXPECT_EQ(d3d8host::liveObjectCount(), liveBefore);
}
