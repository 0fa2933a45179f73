// The show's entry: window, device, sound, assets, the scene sequence and shutdown.
#include "show.h"
#include "assets.h"
#include "scenes.h"

namespace {

constexpr char CLASS_NAME[] = "D3D FRAMEWORK";
constexpr int WINDOW_WIDTH = 640;
constexpr int WINDOW_HEIGHT = 480;

void registerWindowClass(HINSTANCE instance)
{
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof(WNDCLASSEXA);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = CLASS_NAME;
    RegisterClassExA(&windowClass);
}

void createCentredWindow(HINSTANCE instance)
{
    ShowState& g = showState;
    g.instance = instance;
    g.window = CreateWindowExA(WS_EX_TOPMOST, CLASS_NAME, "dx demo", WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                               0, 0, WINDOW_WIDTH, WINDOW_HEIGHT, nullptr, nullptr, instance, nullptr);
    RECT rect;
    GetWindowRect(g.window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(g.window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void startMusic()
{
    ShowState& g = showState;
    g.music = BASS_MusicLoad(FALSE, const_cast<char*>("data\\pork.xm"), 0, 0, BASS_MUSIC_LOOP);
    BASS_Start();
    BASS_MusicPlay(g.music);
}

void setCameraAndStates()
{
    ShowState& g = showState;
    const Vector3 eye{0.0f, 0.0f, -1.0f}, at{0.0f, 0.0f, 0.0f}, up{0.0f, 1.0f, 0.0f};
    matrixLookAtLH(&g.view, &eye, &at, &up);
    g.device->SetTransform(D3DTS_VIEW, &g.view);
    matrixPerspectiveFovLH(&g.projection, 1.6580628f, 1.33f, 0.1f, 100.0f);
    g.device->SetTransform(D3DTS_PROJECTION, &g.projection);
    setCullMode(D3DCULL_CCW);
    setDepthTest(true);
    g.device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
    g.device->SetRenderState(D3DRS_LIGHTING, FALSE);
}

void runScenes()
{
    runTitleScene();
    runIntroScene();
    runSwarmScene();
    runClosingScene();
    runSwarmScene();
}

void shutDown()
{
    ShowState& g = showState;
    SendMessageA(g.window, WM_CLOSE, 0, 0);
    BASS_Stop();
    BASS_MusicFree(g.music);
    BASS_Free();
    releaseAll();
}

// Ends the show: the running scene meets WM_QUIT, every later scene draws one frame.
void stopShow(HWND window)
{
    showState.runningFlag = 0;
    SendMessageA(window, WM_CLOSE, 0, 0);
}

} // namespace

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        // A close request from the window manager ends the show as Escape does;
        // letting only the running scene end would leave the viewer unable to close it.
        showState.runningFlag = 0;
        ShowCursor(TRUE);
        PostQuitMessage(0);
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE)
            stopShow(window);
        return 0;
    case WM_LBUTTONDOWN:
        stopShow(window);
        return 0;
    default:
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    ShowState& g = showState;
    g.runningFlag = 1;
    registerWindowClass(instance);
    createCentredWindow(instance);
    if (!createDisplay())
        return 0;
    ShowWindow(g.window, showCommand);
    UpdateWindow(g.window);
    ShowCursor(FALSE);
    if (!BASS_Init(-1, 44100, 16, g.window)) {
        MessageBoxA(g.window, "Could not initialize BASS", "BASS Error", MB_OK);
        return 0;
    }
    loadAssets();
    startMusic();
    setCameraAndStates();
    runScenes();
    shutDown();
    return 1;
}
