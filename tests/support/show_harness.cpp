#include "show_harness.h"
#include "scenes.h"

#include <cmath>
#include <utility>

ShowHarness::ShowHarness(double fps, DWORD startTickCount) : framesPerSecond(fps)
{
    win32host::resetForTest();
    win32host::useVirtualClock(startTickCount);
    basshost::resetForTest();
    d3d8host::resetForTest();
    // Most tests follow the show through its calls; a test that looks at images turns
    // pixels back on with drawPixels(true).
    drawPixels(false);
    d3d8host::setCallRecording(true);
    resetShowState();
    resetRandom();
    d3d8host::setPresentHook([this](const d3d8host::FrameView& frame) {
        ++presentCount;
        if (onFrame)
            onFrame(frame);
        if (auto it = actions.find(presentCount); it != actions.end())
            for (auto& action : it->second)
                action();
        // Whole microseconds per frame, without drift over a long show.
        const uint64_t target = static_cast<uint64_t>(std::llround(presentCount * 1e6 / framesPerSecond));
        win32host::advanceVirtualClock(target - microsecondsDone);
        microsecondsDone = target;
    });
}

ShowHarness::~ShowHarness()
{
    // A failed start leaves its objects to the end of the process, as the show does;
    // a test process lives on, so they are given back here.
    if (exitCode == 0) {
        ShowState& g = showState;
        if (g.quadBuffer)
            std::exchange(g.quadBuffer, nullptr)->Release();
        if (g.device)
            std::exchange(g.device, nullptr)->Release();
        if (g.direct3d)
            std::exchange(g.direct3d, nullptr)->Release();
    }
    d3d8host::setPresentHook(nullptr);
    d3d8host::setCallRecording(false);
}

void ShowHarness::drawPixels(bool on)
{
    d3d8host::DeviceConfig config = d3d8host::deviceConfig();
    config.drawPixels = on;
    d3d8host::setDeviceConfig(config);
}

int ShowHarness::runShow()
{
    return exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}
