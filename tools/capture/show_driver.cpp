#include "show_driver.h"

#include "scenes.h"
#include "show.h"

#include <bass_host.h>
#include <d3d8_host.h>
#include <win32_host.h>

#include <vector>

namespace {

// The tick count the clock starts at, as in the scene tests, so that the same frame
// index shows the same picture in both.
constexpr DWORD START_TICK_COUNT = 1000;

// Back to a fresh headless process: the capture must not depend on what ran before it
// in the same process, and the show's global record and random generator start clean.
void prepareHeadlessShow(const FrameTiming& timing)
{
    win32host::resetForTest();
    win32host::useVirtualClock(START_TICK_COUNT);
    basshost::resetForTest();
    basshost::useOfflineSink(static_cast<DWORD>(timing.sampleRate));
    d3d8host::resetForTest();
    d3d8host::setCallRecording(false);
    resetShowState();
    resetRandom();
}

struct DriverState {
    const FrameTiming& timing;
    const FrameHandler& onFrame;
    ShowRunResult result;
    std::vector<int16_t> audio;

    void present(const d3d8host::FrameView& view)
    {
        const int64_t index = result.framesPresented++;
        if (!result.stoppedEarly)
            handOver(index, view);
        // The next Present comes exactly one frame period later in show time.
        const int64_t now = timing.presentMicros(index);
        win32host::advanceVirtualClock(static_cast<uint64_t>(timing.presentMicros(index + 1) - now));
    }

    void handOver(int64_t index, const d3d8host::FrameView& view)
    {
        // The sink plays from BASS_MusicPlay on; pulling exactly each frame's share
        // keeps it on the same sample as the frames. Before the music starts it
        // delivers silence.
        const size_t samples = static_cast<size_t>(timing.samplesOf(index));
        audio.resize(samples * 2);
        basshost::renderOffline(audio.data(), samples);

        PresentedFrame frame;
        frame.index = index;
        frame.timeMicros = timing.presentMicros(index);
        frame.pixels = static_cast<const uint8_t*>(static_cast<const void*>(view.pixels));
        frame.width = static_cast<int>(view.width);
        frame.height = static_cast<int>(view.height);
        frame.pitchBytes = static_cast<int>(view.pitchBytes);
        frame.audio = audio.data();
        frame.audioFrames = samples;
        ++result.framesHandedOver;
        if (!onFrame(frame))
            stop();
    }

    // Ends the show as Escape does: the running scene returns at its next message
    // pump and each later scene draws one frame, which nobody sees; the show then
    // shuts down in its own order.
    void stop()
    {
        result.stoppedEarly = true;
        win32host::postInput(WM_KEYDOWN, VK_ESCAPE, 0);
    }
};

} // namespace

ShowRunResult runShowHeadless(const FrameTiming& timing, const FrameHandler& onFrame)
{
    prepareHeadlessShow(timing);
    DriverState state{timing, onFrame, {}, {}};
    d3d8host::setPresentHook([&state](const d3d8host::FrameView& view) { state.present(view); });
    state.result.exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
    d3d8host::setPresentHook(nullptr);
    return state.result;
}
