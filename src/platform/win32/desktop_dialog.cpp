// Message boxes on the desktop through SDL, with the buttons and icon the Windows
// box type asks for. Buttons carry the Windows result codes as their ids.
#include "desktop_sdl.h"

#include <vector>

namespace win32host::desktop {
namespace {

std::vector<SDL_MessageBoxButtonData> buttonsFor(UINT type)
{
    const Uint32 enter = SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
    const Uint32 escape = SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
    switch (type & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {{enter, IDOK, "OK"}, {escape, IDCANCEL, "Cancel"}};
    case MB_ABORTRETRYIGNORE:
        return {{enter, IDABORT, "Abort"}, {0, IDRETRY, "Retry"}, {escape, IDIGNORE, "Ignore"}};
    case MB_YESNOCANCEL:
        return {{enter, IDYES, "Yes"}, {0, IDNO, "No"}, {escape, IDCANCEL, "Cancel"}};
    case MB_YESNO:
        return {{enter, IDYES, "Yes"}, {escape, IDNO, "No"}};
    case MB_RETRYCANCEL:
        return {{enter, IDRETRY, "Retry"}, {escape, IDCANCEL, "Cancel"}};
    default:
        return {{enter | escape, IDOK, "OK"}};
    }
}

Uint32 iconFlags(UINT type)
{
    switch (type & MB_ICONMASK) {
    case MB_ICONERROR:
        return SDL_MESSAGEBOX_ERROR;
    case MB_ICONWARNING:
        return SDL_MESSAGEBOX_WARNING;
    default:
        return SDL_MESSAGEBOX_INFORMATION;
    }
}

} // namespace

bool showMessageBox(void* parent, const char* text, const char* caption, UINT type, int& result)
{
    std::vector<SDL_MessageBoxButtonData> buttons = buttonsFor(type);
    SDL_MessageBoxData data{};
    data.flags = iconFlags(type) | SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    data.window = sdlWindow(parent);
    data.title = caption;
    data.message = text;
    data.numbuttons = static_cast<int>(buttons.size());
    data.buttons = buttons.data();
    int pressed = -1;
    if (SDL_ShowMessageBox(&data, &pressed) != 0)
        return false;
    // Closing the box without a button counts as its escape button, as on Windows.
    result = pressed >= 0 ? pressed : buttons.back().buttonid;
    return true;
}

} // namespace win32host::desktop
