// Stand-in for the parts of win32_host.h this layer needs, until the Win32 layer lands.
#pragma once

#include <cstdint>

#include <windows.h>

namespace win32host {
enum class Backend { Desktop, Headless };
bool desktopDisplayAvailable();
Backend currentBackend();
void presentToWindow(HWND window, const uint32_t* pixels, int width, int height, int pitchBytes);
}  // namespace win32host
