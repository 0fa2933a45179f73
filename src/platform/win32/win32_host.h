// Controls of the Win32 stand-in that Windows itself has no API for: which backend
// carries the windows (an SDL2 desktop or nothing at all), which clock drives the
// timing functions, and the hooks that tests and the capture tool use to feed input
// and to read what the program showed. Only files under src/platform see SDL; this
// header does not include it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace win32host {

// Desktop: windows are SDL2 windows, input comes from SDL events, message boxes are
// SDL message boxes. Headless: no window system; input arrives through postInput and
// message boxes are recorded. A process starts on the desktop backend with the real
// clock; resetForTest switches to headless with the virtual clock.
enum class Backend { Desktop, Headless };
void selectBackend(Backend backend);
Backend currentBackend();

// Whether the desktop backend can open a display (SDL video initialises and reports
// at least one display). Always false on the headless backend.
bool desktopDisplayAvailable();

// The real clock reads the monotonic system clock. The virtual clock only moves when
// advanceVirtualClock (or Sleep) moves it: QueryPerformanceFrequency is then
// 10,000,000, QueryPerformanceCounter is the virtual time in 100 ns units, and
// GetTickCount is startTickCount plus the elapsed whole milliseconds, wrapping at 2^32.
void useRealClock();
void useVirtualClock(DWORD startTickCount);
void advanceVirtualClock(uint64_t microseconds);
bool usingVirtualClock();

// Queues an input message for the program's window (the most recently created live
// window), exactly as the desktop backend queues keyboard and mouse input.
void postInput(UINT message, WPARAM wParam, LPARAM lParam);

// Every MessageBoxA call, in order, with the button chosen: the user's on the desktop,
// headless the box's first (IDOK for MB_OK and MB_OKCANCEL, IDYES for MB_YESNO).
struct ShownMessageBox {
    HWND parent;
    std::string text, caption;
    UINT type;
    int result;
};
const std::vector<ShownMessageBox>& shownMessageBoxes();

// Shows an X8R8G8B8 frame in the window: on the desktop it fills the full-screen SDL
// window letter-boxed with its aspect kept, waiting for vertical retrace; headless it
// does nothing.
void presentToWindow(HWND window, const uint32_t* pixels, int width, int height, int pitchBytes);

// The ShowCursor display counter (the cursor is visible while it is >= 0).
int cursorDisplayCount();

// The screen size GetSystemMetrics reports on the headless backend (default 640x480).
void setHeadlessScreenSize(int width, int height);

// Back to a clean headless process: no windows, classes, queued messages or recorded
// message boxes, cursor counter 0, headless screen 640x480, message-box result
// default, virtual clock at tick count 0.
void resetForTest();

// A Windows path as the program writes it ("data\\pork.xm") turned into a path of the
// host, relative to the current directory as on Windows. Components that do not exist
// with that exact spelling are matched case-insensitively, as Windows file names are.
std::string hostPath(const char* windowsPath);

} // namespace win32host
