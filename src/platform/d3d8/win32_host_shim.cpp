// Weak stand-ins: the Win32 layer's own definitions replace them when it is linked in.
#include "win32_host_shim.h"

namespace win32host {
__attribute__((weak)) bool desktopDisplayAvailable() { return false; }
__attribute__((weak)) Backend currentBackend() { return Backend::Headless; }
__attribute__((weak)) void presentToWindow(HWND, const uint32_t*, int, int, int) {}
}  // namespace win32host
