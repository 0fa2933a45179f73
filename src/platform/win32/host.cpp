// Backend choice, the cursor display counter, the module handle, the thread's last
// error, and the reset that gives each test a clean process.
#include "desktop.h"
#include "win32_internal.h"

namespace {

win32host::Backend backend = win32host::Backend::Desktop;
int cursorCount = 0;
thread_local DWORD lastError = ERROR_SUCCESS;

bool onDesktop()
{
    return backend == win32host::Backend::Desktop;
}

} // namespace

namespace win32host::detail {

void resetCursor()
{
    cursorCount = 0;
    if (onDesktop())
        desktop::setCursorVisible(true);
}

void resetLastError()
{
    lastError = ERROR_SUCCESS;
}

} // namespace win32host::detail

void win32host::selectBackend(Backend chosen)
{
    if (chosen == backend)
        return;
    detail::destroyAllWindows();
    if (onDesktop())
        desktop::shutdown();
    backend = chosen;
}

win32host::Backend win32host::currentBackend()
{
    return backend;
}

bool win32host::desktopDisplayAvailable()
{
    return onDesktop() && desktop::videoReady();
}

int win32host::cursorDisplayCount()
{
    return cursorCount;
}

void win32host::presentToWindow(HWND window, const uint32_t* pixels, int width, int height, int pitchBytes)
{
    detail::Window* w = detail::findWindow(window);
    if (!w || !w->native || !pixels || width <= 0 || height <= 0 || pitchBytes < width * 4)
        return;
    desktop::present(w->native, pixels, width, height, pitchBytes);
}

void win32host::resetForTest()
{
    selectBackend(Backend::Headless);
    detail::destroyAllWindows();
    detail::forgetClasses();
    detail::clearQueue();
    detail::resetCursor();
    detail::resetMessageBoxes();
    detail::resetScreenSize();
    detail::resetLastError();
    useVirtualClock(0);
}

int WINAPI ShowCursor(BOOL show)
{
    cursorCount += show ? 1 : -1;
    if (onDesktop())
        win32host::desktop::setCursorVisible(cursorCount >= 0);
    return cursorCount;
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName)
{
    static char imageBase;
    if (moduleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(&imageBase);
}

DWORD WINAPI GetLastError(void)
{
    return lastError;
}

void WINAPI SetLastError(DWORD error)
{
    lastError = error;
}
