// State shared by the sources of the Win32 stand-in. Everything here runs on the
// program's one thread, as a Windows message queue belongs to one thread.
#pragma once

#include "win32_host.h"

#include <string>

namespace win32host::detail {

struct Window {
    WNDPROC proc = nullptr;
    std::string className;
    std::string title;
    DWORD style = 0;
    DWORD exStyle = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    bool visible = false;
    bool needsPaint = false;
    void* native = nullptr; // the desktop backend's window, if any
};

// Live window by handle; null for a handle that is not (or no longer) a window.
Window* findWindow(HWND window);
// The window that receives keyboard and mouse input: the most recently created live one.
HWND inputWindow();
void destroyAllWindows();
void forgetClasses();

// Message queue: posted messages first, then input, then a pending quit, as Windows
// retrieves them.
void queuePosted(const MSG& msg);
void queueInput(const MSG& msg);
// Input typed before any window existed goes to the first window created, as type-ahead does.
void adoptTypeAhead(HWND window);
void clearQueue();
// Moves the cursor counter and (desktop) the cursor visibility back to the start.
void resetCursor();
void resetMessageBoxes();
void resetScreenSize();
void resetLastError();

// Builds a message with the current tick count, as Windows stamps queued messages.
MSG makeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

} // namespace win32host::detail
