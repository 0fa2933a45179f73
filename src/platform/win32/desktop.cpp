// The desktop backend's windows over SDL2. The program asks for a 640x480 window and
// an exclusive full-screen mode; on a modern display that becomes a full-screen
// desktop window in which each frame is scaled up with its aspect kept.
#include "desktop_sdl.h"

#include <cstdio>
#include <map>

namespace win32host::desktop {
namespace {

struct NativeWindow {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    int textureWidth = 0;
    int textureHeight = 0;
};

bool videoTried = false;
bool videoOk = false;
std::map<NativeWindow*, HWND> nativeWindows;

NativeWindow* asNative(void* native)
{
    auto* w = static_cast<NativeWindow*>(native);
    return nativeWindows.count(w) ? w : nullptr;
}

void clearToBlack(NativeWindow& w)
{
    if (!w.renderer)
        return;
    SDL_SetRenderDrawColor(w.renderer, 0, 0, 0, 255);
    SDL_RenderClear(w.renderer);
    SDL_RenderPresent(w.renderer);
}

bool ensureTexture(NativeWindow& w, int width, int height)
{
    if (w.texture && w.textureWidth == width && w.textureHeight == height)
        return true;
    if (w.texture)
        SDL_DestroyTexture(w.texture);
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // SDL's RGB888 is 32 bits with an unused top byte: X8R8G8B8.
    w.texture = SDL_CreateTexture(w.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING, width, height);
    w.textureWidth = w.texture ? width : 0;
    w.textureHeight = w.texture ? height : 0;
    // The logical size letter-boxes the frame and maps mouse positions back into it.
    SDL_RenderSetLogicalSize(w.renderer, width, height);
    return w.texture != nullptr;
}

} // namespace

bool videoReady()
{
    if (videoTried)
        return videoOk;
    videoTried = true;
    videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
    if (videoOk && SDL_GetNumVideoDisplays() < 1) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoOk = false;
    }
    return videoOk;
}

bool displaySize(int& width, int& height)
{
    SDL_DisplayMode mode{};
    if (!videoReady() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        return false;
    width = mode.w;
    height = mode.h;
    return true;
}

HWND windowForSdlId(uint32_t id)
{
    for (const auto& [native, handle] : nativeWindows)
        if (SDL_GetWindowID(native->window) == id)
            return handle;
    return nullptr;
}

void* createWindow(HWND window, const char* title)
{
    if (!videoReady())
        return nullptr;
    auto* w = new NativeWindow;
    w->window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, 640, 480,
                                 SDL_WINDOW_HIDDEN | SDL_WINDOW_FULLSCREEN_DESKTOP);
    if (!w->window) {
        std::fprintf(stderr, "SDL window: %s\n", SDL_GetError());
        delete w;
        return nullptr;
    }
    w->renderer = SDL_CreateRenderer(w->window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!w->renderer)
        w->renderer = SDL_CreateRenderer(w->window, -1, 0);
    if (w->renderer)
        SDL_RenderSetLogicalSize(w->renderer, 640, 480);
    nativeWindows.emplace(w, window);
    return w;
}

void destroyWindow(void* native)
{
    NativeWindow* w = asNative(native);
    if (!w)
        return;
    if (w->texture)
        SDL_DestroyTexture(w->texture);
    if (w->renderer)
        SDL_DestroyRenderer(w->renderer);
    SDL_DestroyWindow(w->window);
    nativeWindows.erase(w);
    delete w;
}

void showWindow(void* native, bool show)
{
    NativeWindow* w = asNative(native);
    if (!w)
        return;
    if (!show) {
        SDL_HideWindow(w->window);
        return;
    }
    SDL_ShowWindow(w->window);
    SDL_RaiseWindow(w->window);
    clearToBlack(*w);
}

void setCursorVisible(bool visible)
{
    if (videoOk)
        SDL_ShowCursor(visible ? SDL_ENABLE : SDL_DISABLE);
}

void present(void* native, const uint32_t* pixels, int width, int height, int pitchBytes)
{
    NativeWindow* w = asNative(native);
    if (!w || !w->renderer || !ensureTexture(*w, width, height))
        return;
    SDL_UpdateTexture(w->texture, nullptr, pixels, pitchBytes);
    SDL_SetRenderDrawColor(w->renderer, 0, 0, 0, 255);
    SDL_RenderClear(w->renderer);
    SDL_RenderCopy(w->renderer, w->texture, nullptr, nullptr);
    SDL_RenderPresent(w->renderer);
}

void shutdown()
{
    while (!nativeWindows.empty())
        destroyWindow(nativeWindows.begin()->first);
    if (videoOk)
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoTried = videoOk = false;
}

SDL_Window* sdlWindow(void* native)
{
    NativeWindow* w = asNative(native);
    return w ? w->window : nullptr;
}

} // namespace win32host::desktop
