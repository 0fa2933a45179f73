// Window classes and windows: registration, creation, geometry, visibility and the
// screen metrics. Handles are opaque numbers looked up in a table, so a stale or
// made-up handle is refused instead of dereferenced.
#include "desktop.h"
#include "win32_internal.h"

#include <strings.h>

#include <map>
#include <vector>

namespace win32host::detail {
namespace {

struct WindowClass {
    std::string name;
    WNDPROC proc;
    HINSTANCE instance;
    UINT style;
    ATOM atom;
};

std::vector<WindowClass> classes;
std::map<HWND, Window> windows;
std::vector<HWND> creationOrder;
uintptr_t nextWindowNumber = 1;
ATOM nextAtom = 0xC000; // class atoms live in 0xC000..0xFFFF on Windows

int headlessScreenWidth = 640;
int headlessScreenHeight = 480;

const WindowClass* findClass(LPCSTR name)
{
    bool byAtom = reinterpret_cast<uintptr_t>(name) < 0x10000;
    for (const WindowClass& c : classes) {
        if (byAtom ? c.atom == static_cast<ATOM>(reinterpret_cast<uintptr_t>(name))
                   : strcasecmp(c.name.c_str(), name) == 0)
            return &c;
    }
    return nullptr;
}

bool validClassSize(UINT size)
{
    // 48 is the structure's size in the 32-bit programs this layer runs.
    return size == 48 || size == sizeof(WNDCLASSEXA);
}

HWND newWindowHandle()
{
    // Multiples of 4 above 0x10000 look like the handles Windows hands out and are
    // never null, INVALID_HANDLE_VALUE or HWND_TOPMOST.
    return reinterpret_cast<HWND>(0x10000 + 4 * nextWindowNumber++);
}

CREATESTRUCTA creationRecord(const Window& w, LPCSTR className, LPCSTR title, HWND parent, HMENU menu,
                             LPVOID param)
{
    CREATESTRUCTA cs{};
    cs.lpCreateParams = param;
    cs.hInstance = w.instance;
    cs.hMenu = menu;
    cs.hwndParent = parent;
    cs.cx = w.rect.right - w.rect.left;
    cs.cy = w.rect.bottom - w.rect.top;
    cs.x = w.rect.left;
    cs.y = w.rect.top;
    cs.style = static_cast<LONG>(w.style);
    cs.lpszName = title;
    cs.lpszClass = className;
    cs.dwExStyle = w.exStyle;
    return cs;
}

// WM_NCCREATE must answer TRUE and WM_CREATE must not answer -1, or creation fails.
bool runCreationMessages(HWND handle, CREATESTRUCTA& cs)
{
    WNDPROC proc = windows.at(handle).proc;
    LPARAM lp = reinterpret_cast<LPARAM>(&cs);
    if (!proc(handle, WM_NCCREATE, 0, lp) || !findWindow(handle))
        return false;
    return proc(handle, WM_CREATE, 0, lp) != -1 && findWindow(handle);
}

RECT initialRect(int x, int y, int width, int height)
{
    if (x == CW_USEDEFAULT)
        x = y = 0;
    if (width == CW_USEDEFAULT)
        width = height = 0;
    return RECT{x, y, x + width, y + height};
}

HWND addWindow(const WindowClass& cls, DWORD exStyle, LPCSTR title, DWORD style, RECT rect, HINSTANCE instance)
{
    HWND handle = newWindowHandle();
    Window& w = windows[handle];
    w.proc = cls.proc;
    w.className = cls.name;
    w.title = title ? title : "";
    w.style = style & ~static_cast<DWORD>(WS_VISIBLE); // ShowWindow sets it
    w.exStyle = exStyle;
    w.rect = rect;
    w.instance = instance;
    creationOrder.push_back(handle);
    if (win32host::currentBackend() == win32host::Backend::Desktop)
        w.native = win32host::desktop::createWindow(handle, w.title.c_str());
    return handle;
}

} // namespace

Window* findWindow(HWND window)
{
    auto it = windows.find(window);
    return it == windows.end() ? nullptr : &it->second;
}

HWND inputWindow()
{
    for (auto it = creationOrder.rbegin(); it != creationOrder.rend(); ++it)
        if (findWindow(*it))
            return *it;
    return nullptr;
}

void destroyAllWindows()
{
    for (auto& [handle, w] : windows)
        if (w.native)
            desktop::destroyWindow(w.native);
    windows.clear();
    creationOrder.clear();
}

void forgetClasses()
{
    classes.clear();
}

void resetScreenSize()
{
    headlessScreenWidth = 640;
    headlessScreenHeight = 480;
}

} // namespace win32host::detail

using namespace win32host::detail;

void win32host::setHeadlessScreenSize(int width, int height)
{
    headlessScreenWidth = width;
    headlessScreenHeight = height;
}

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc)
{
    if (!wc || !validClassSize(wc->cbSize) || !wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (reinterpret_cast<uintptr_t>(wc->lpszClassName) < 0x10000 || findClass(wc->lpszClassName)) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    classes.push_back({wc->lpszClassName, wc->lpfnWndProc, wc->hInstance, wc->style, nextAtom++});
    return classes.back().atom;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR windowName, DWORD style, int x, int y,
                            int width, int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    const WindowClass* cls = className ? findClass(className) : nullptr;
    if (!cls) {
        SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
        return nullptr;
    }
    if (parent && !findWindow(parent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    HWND handle = addWindow(*cls, exStyle, windowName, style, initialRect(x, y, width, height), instance);
    const Window& w = windows.at(handle);
    CREATESTRUCTA cs = creationRecord(w, className, windowName, parent, menu, param);
    if (!runCreationMessages(handle, cs)) {
        DestroyWindow(handle);
        return nullptr;
    }
    adoptTypeAhead(handle);
    if (style & WS_VISIBLE)
        ShowWindow(handle, SW_SHOW);
    return handle;
}

BOOL WINAPI DestroyWindow(HWND window)
{
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    WNDPROC proc = w->proc;
    proc(window, WM_DESTROY, 0, 0);
    if (findWindow(window))
        proc(window, WM_NCDESTROY, 0, 0);
    if ((w = findWindow(window))) {
        if (w->native)
            win32host::desktop::destroyWindow(w->native);
        windows.erase(window);
    }
    return TRUE;
}

BOOL WINAPI GetWindowRect(HWND window, LPRECT rect)
{
    const Window* w = findWindow(window);
    if (!w || !rect) {
        SetLastError(w ? ERROR_INVALID_PARAMETER : ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    *rect = w->rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND window, LPRECT rect)
{
    // Popup windows have no frame, so the client area is the whole window.
    RECT r;
    if (!GetWindowRect(window, &r) || !rect)
        return FALSE;
    *rect = RECT{0, 0, r.right - r.left, r.bottom - r.top};
    return TRUE;
}

int WINAPI GetSystemMetrics(int index)
{
    int width = headlessScreenWidth, height = headlessScreenHeight;
    if (win32host::currentBackend() == win32host::Backend::Desktop)
        win32host::desktop::displaySize(width, height);
    switch (index) {
    case SM_CXSCREEN:
        return width;
    case SM_CYSCREEN:
        return height;
    default:
        return 0;
    }
}

BOOL WINAPI SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags)
{
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    LONG width = (flags & SWP_NOSIZE) ? w->rect.right - w->rect.left : cx;
    LONG height = (flags & SWP_NOSIZE) ? w->rect.bottom - w->rect.top : cy;
    if (!(flags & SWP_NOMOVE)) {
        w->rect.left = x;
        w->rect.top = y;
    }
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    return TRUE;
}

BOOL WINAPI ShowWindow(HWND window, int command)
{
    Window* w = findWindow(window);
    if (!w)
        return FALSE;
    bool wasVisible = w->visible;
    w->visible = command != SW_HIDE;
    if (w->visible && !wasVisible)
        w->needsPaint = true;
    if (w->visible)
        w->style |= WS_VISIBLE;
    else
        w->style &= ~static_cast<DWORD>(WS_VISIBLE);
    if (w->native)
        win32host::desktop::showWindow(w->native, w->visible);
    return wasVisible ? TRUE : FALSE;
}

BOOL WINAPI UpdateWindow(HWND window)
{
    Window* w = findWindow(window);
    if (!w)
        return FALSE;
    // A window with an invalid area is painted at once, bypassing the queue.
    if (w->visible && w->needsPaint)
        w->proc(window, WM_PAINT, 0, 0);
    return TRUE;
}
