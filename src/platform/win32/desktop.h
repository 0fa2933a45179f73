// The SDL2 side of the desktop backend, kept behind plain functions so that only
// desktop.cpp and desktop_input.cpp see SDL.
#pragma once

#include <windows.h>

#include <cstdint>

namespace win32host::desktop {

// Initialises SDL video on first use; false when no display can be opened.
bool videoReady();
// Size of the first display's desktop mode.
bool displaySize(int& width, int& height);

// A hidden full-screen desktop window for `window`; null when SDL cannot make one.
void* createWindow(HWND window, const char* title);
void destroyWindow(void* native);
void showWindow(void* native, bool show);
void setCursorVisible(bool visible);

// The Windows virtual-key code for an SDL key code; 0 for keys Windows has no code for.
UINT virtualKeyForSdlKeycode(int32_t keycode);

// Turns pending SDL events into queued window messages.
void pumpEvents();
// Blocks until SDL has an event pending; false when there is nothing to wait on.
bool waitForEvent();

void present(void* native, const uint32_t* pixels, int width, int height, int pitchBytes);

// Shows a modal box; false when SDL could not show it (result then untouched).
bool showMessageBox(void* parent, const char* text, const char* caption, UINT type, int& result);

// Closes every window and the renderer and shuts SDL video down.
void shutdown();

} // namespace win32host::desktop
