// The thread's message queue and the functions that move messages through it.
// Retrieval order follows Windows: posted messages, then input messages, then a
// pending quit (PostQuitMessage only raises a flag, so WM_QUIT comes after anything
// posted before or after it). Paint messages are never generated into the queue.
#include "desktop.h"
#include "win32_internal.h"

#include <deque>

namespace win32host::detail {
namespace {

std::deque<MSG> posted;
std::deque<MSG> input;
bool quitPending = false;
int quitCode = 0;
bool shiftDown = false; // for TranslateMessage's choice of letter case

bool isThreadFilter(HWND filter)
{
    return filter == reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
}

bool matches(const MSG& msg, HWND filter, UINT filterMin, UINT filterMax)
{
    if (isThreadFilter(filter) ? msg.hwnd != nullptr : (filter && msg.hwnd != filter))
        return false;
    if (filterMin == 0 && filterMax == 0)
        return true;
    return msg.message >= filterMin && msg.message <= filterMax;
}

bool takeFrom(std::deque<MSG>& queue, MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    for (auto it = queue.begin(); it != queue.end(); ++it) {
        if (!matches(*it, filter, filterMin, filterMax))
            continue;
        *out = *it;
        if (remove)
            queue.erase(it);
        return true;
    }
    return false;
}

// A window filter never sees WM_QUIT, which belongs to no window.
bool takeQuit(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    MSG quit = makeMessage(nullptr, WM_QUIT, static_cast<WPARAM>(quitCode), 0);
    if (!quitPending || !matches(quit, filter, filterMin, filterMax))
        return false;
    *out = quit;
    if (remove)
        quitPending = false;
    return true;
}

bool retrieve(MSG* out, HWND filter, UINT filterMin, UINT filterMax, bool remove)
{
    if (win32host::currentBackend() == win32host::Backend::Desktop)
        desktop::pumpEvents();
    return takeFrom(posted, out, filter, filterMin, filterMax, remove) ||
           takeFrom(input, out, filter, filterMin, filterMax, remove) ||
           takeQuit(out, filter, filterMin, filterMax, remove);
}

bool validFilter(HWND filter)
{
    return !filter || isThreadFilter(filter) || findWindow(filter);
}

// Keys whose WM_KEYDOWN TranslateMessage turns into a WM_CHAR.
int characterForKey(WPARAM vk)
{
    if (vk >= 'A' && vk <= 'Z')
        return shiftDown ? static_cast<int>(vk) : static_cast<int>(vk - 'A' + 'a');
    if ((vk >= '0' && vk <= '9') || vk == VK_SPACE)
        return static_cast<int>(vk);
    switch (vk) {
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_BACK:
    case VK_TAB:
        return static_cast<int>(vk);
    default:
        return -1;
    }
}

} // namespace

void queuePosted(const MSG& msg)
{
    posted.push_back(msg);
}

void queueInput(const MSG& msg)
{
    // Windows keeps at most one mouse move pending; a newer one replaces it.
    if (msg.message == WM_MOUSEMOVE && !input.empty() && input.back().message == WM_MOUSEMOVE &&
        input.back().hwnd == msg.hwnd) {
        input.back() = msg;
        return;
    }
    input.push_back(msg);
}

void adoptTypeAhead(HWND window)
{
    for (MSG& msg : input)
        if (!msg.hwnd)
            msg.hwnd = window;
}

void clearQueue()
{
    posted.clear();
    input.clear();
    quitPending = false;
    quitCode = 0;
    shiftDown = false;
}

MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.hwnd = window;
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = GetTickCount();
    return msg;
}

} // namespace win32host::detail

using namespace win32host::detail;

void win32host::postInput(UINT message, WPARAM wParam, LPARAM lParam)
{
    queueInput(makeMessage(inputWindow(), message, wParam, lParam));
}

BOOL WINAPI PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeMsg)
{
    if (!msg)
        return FALSE;
    return retrieve(msg, window, filterMin, filterMax, (removeMsg & PM_REMOVE) != 0) ? TRUE : FALSE;
}

// Returns 0 for WM_QUIT, -1 for a bad window filter, otherwise nonzero. On the desktop
// an empty queue waits for the next event. Headless (or on a desktop without a
// display) nothing could ever arrive while waiting, so an empty queue yields a
// WM_NULL message with result 1 rather than blocking forever.
BOOL WINAPI GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax)
{
    if (!msg || !validFilter(window)) {
        SetLastError(msg ? ERROR_INVALID_WINDOW_HANDLE : ERROR_INVALID_PARAMETER);
        return -1;
    }
    while (!retrieve(msg, window, filterMin, filterMax, true)) {
        bool desktop = win32host::currentBackend() == win32host::Backend::Desktop;
        if (!desktop || !win32host::desktop::waitForEvent()) {
            *msg = makeMessage(nullptr, WM_NULL, 0, 0);
            return TRUE;
        }
    }
    return msg->message == WM_QUIT ? FALSE : TRUE;
}

BOOL WINAPI TranslateMessage(const MSG* msg)
{
    if (!msg)
        return FALSE;
    if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->wParam == VK_SHIFT)
        shiftDown = msg->message == WM_KEYDOWN;
    if (msg->message != WM_KEYDOWN)
        return FALSE;
    int ch = characterForKey(msg->wParam);
    if (ch < 0)
        return FALSE;
    queuePosted(makeMessage(msg->hwnd, WM_CHAR, static_cast<WPARAM>(ch), msg->lParam));
    return TRUE;
}

LRESULT WINAPI DispatchMessageA(const MSG* msg)
{
    if (!msg)
        return 0;
    Window* w = findWindow(msg->hwnd);
    if (!w) {
        if (msg->hwnd)
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

LRESULT WINAPI SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Window* w = findWindow(window);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return w->proc(window, message, wParam, lParam);
}

BOOL WINAPI PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (window && !findWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    queuePosted(makeMessage(window, message, wParam, lParam));
    return TRUE;
}

void WINAPI PostQuitMessage(int exitCode)
{
    quitPending = true;
    quitCode = exitCode;
}

LRESULT WINAPI DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_NCCREATE:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_PAINT:
        if (Window* w = findWindow(window))
            w->needsPaint = false;
        return 0;
    default:
        return 0;
    }
}
