// The frame clock and the one loop skeleton that every scene runs.
#include "show.h"

void FrameClock::start(float newScale)
{
    scale = newScale;
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    lastCount = value.QuadPart;
    QueryPerformanceFrequency(&value);
    frequency = value.QuadPart;
}

void FrameClock::tick()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    const int64_t elapsedCounts = now.QuadPart - lastCount;
    delta = static_cast<float>(static_cast<double>(elapsedCounts) / (static_cast<double>(frequency) / scale));
    if (!(delta > 0.0f)) // zero, negative or NaN: motion must never stall or run backwards
        delta = 1.0f;
    lastCount = now.QuadPart;
}

namespace {

// Stage 1 maps its texture as a camera-space reflection and adds it smoothly to
// stage 0, which multiplies its texture by itself.
void setSceneStages()
{
    IDirect3DDevice8* device = showState.device;
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR | 0);
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_ADDSMOOTH);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
}

// Runs the window messages that arrived since the last frame; false once WM_QUIT is met.
bool pumpMessages()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
        if (GetMessageA(&msg, nullptr, 0, 0) == 0)
            return false;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return true;
}

void endFrameStates()
{
    setOverlayMode(false);
    setDepthTest(true);
    setCullMode(D3DCULL_CCW);
    showState.device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}

} // namespace

void runSceneLoop(const SceneSettings& settings, const std::function<void()>& beforeClock,
                  const std::function<void(SceneFrame&)>& body)
{
    ShowState& g = showState;
    setSceneStages();
    if (beforeClock)
        beforeClock();
    SceneFrame frame;
    frame.clock.start(100.0f);
    frame.sceneStart = GetTickCount();
    frame.stepTick = frame.sceneStart;

    do {
        if (!pumpMessages())
            return;
        frame.clock.tick();
        g.device->Clear(0, nullptr, settings.clearFlags, 0xFF000000, 1.0f, 0);
        g.device->SetRenderState(D3DRS_NORMALIZENORMALS, settings.normalizeNormals);
        if (body)
            body(frame);
        endFrameStates();
        if (settings.sceneTime)
            *settings.sceneTime += frame.delta() * 0.001f;
        presentFrame();
    } while (frame.elapsed() < settings.duration && g.runningFlag != 0);
}
