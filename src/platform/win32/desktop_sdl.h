// Shared between the SDL sources of the desktop backend; includes SDL, so only those
// sources may include it.
#pragma once

#include "desktop.h"

#include <SDL.h>

namespace win32host::desktop {

// The Win32 window shown in the SDL window with this id, or null.
HWND windowForSdlId(uint32_t id);
// The SDL window behind a native pointer returned by createWindow, or null.
SDL_Window* sdlWindow(void* native);

} // namespace win32host::desktop
