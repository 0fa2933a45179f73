// SDL events turned into the window messages a Windows program receives: keys with
// their virtual-key codes, mouse buttons and moves in the frame's own coordinates,
// and the window manager's close request as WM_CLOSE.
#include "desktop_sdl.h"
#include "win32_internal.h"

#include <map>

namespace win32host::desktop {
namespace {

const std::map<SDL_Keycode, UINT>& namedKeys()
{
    static const std::map<SDL_Keycode, UINT> keys = {
        {SDLK_ESCAPE, VK_ESCAPE},     {SDLK_RETURN, VK_RETURN},       {SDLK_BACKSPACE, VK_BACK},
        {SDLK_TAB, VK_TAB},           {SDLK_SPACE, VK_SPACE},         {SDLK_LEFT, VK_LEFT},
        {SDLK_RIGHT, VK_RIGHT},       {SDLK_UP, VK_UP},               {SDLK_DOWN, VK_DOWN},
        {SDLK_INSERT, VK_INSERT},     {SDLK_DELETE, VK_DELETE},       {SDLK_HOME, VK_HOME},
        {SDLK_END, VK_END},           {SDLK_PAGEUP, VK_PRIOR},        {SDLK_PAGEDOWN, VK_NEXT},
        {SDLK_LSHIFT, VK_SHIFT},      {SDLK_RSHIFT, VK_SHIFT},        {SDLK_LCTRL, VK_CONTROL},
        {SDLK_RCTRL, VK_CONTROL},     {SDLK_LALT, VK_MENU},           {SDLK_RALT, VK_MENU},
        {SDLK_LGUI, VK_LWIN},         {SDLK_RGUI, VK_RWIN},           {SDLK_APPLICATION, VK_APPS},
        {SDLK_CAPSLOCK, VK_CAPITAL},  {SDLK_NUMLOCKCLEAR, VK_NUMLOCK}, {SDLK_SCROLLLOCK, VK_SCROLL},
        {SDLK_PRINTSCREEN, VK_SNAPSHOT}, {SDLK_PAUSE, VK_PAUSE},      {SDLK_KP_MULTIPLY, VK_MULTIPLY},
        {SDLK_KP_PLUS, VK_ADD},       {SDLK_KP_MINUS, VK_SUBTRACT},   {SDLK_KP_PERIOD, VK_DECIMAL},
        {SDLK_KP_DIVIDE, VK_DIVIDE},  {SDLK_KP_ENTER, VK_RETURN},     {SDLK_KP_0, VK_NUMPAD0},
        {SDLK_SEMICOLON, VK_OEM_1},   {SDLK_EQUALS, VK_OEM_PLUS},     {SDLK_COMMA, VK_OEM_COMMA},
        {SDLK_MINUS, VK_OEM_MINUS},   {SDLK_PERIOD, VK_OEM_PERIOD},   {SDLK_SLASH, VK_OEM_2},
        {SDLK_BACKQUOTE, VK_OEM_3},   {SDLK_LEFTBRACKET, VK_OEM_4},   {SDLK_BACKSLASH, VK_OEM_5},
        {SDLK_RIGHTBRACKET, VK_OEM_6}, {SDLK_QUOTE, VK_OEM_7},        {SDLK_CLEAR, VK_CLEAR},
    };
    return keys;
}

// Alt combinations and F10 arrive as system keys on Windows.
bool isSystemKey(const SDL_KeyboardEvent& key, UINT vk)
{
    return (key.keysym.mod & KMOD_ALT) || vk == VK_F10 || vk == VK_MENU;
}

void translateKey(const SDL_KeyboardEvent& key)
{
    UINT vk = virtualKeyForSdlKeycode(key.keysym.sym);
    if (vk == 0)
        return;
    bool down = key.type == SDL_KEYDOWN;
    bool system = isSystemKey(key, vk);
    UINT message = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    // Repeat count 1; bit 29 Alt held, bit 30 key was down before, bit 31 released.
    uint32_t flags = 1;
    if (key.keysym.mod & KMOD_ALT)
        flags |= 1u << 29;
    if (!down || key.repeat)
        flags |= 1u << 30;
    if (!down)
        flags |= 1u << 31;
    HWND target = windowForSdlId(key.windowID);
    detail::queueInput(detail::makeMessage(target ? target : detail::inputWindow(), message, vk,
                                           static_cast<LPARAM>(static_cast<LONG>(flags))));
}

WPARAM mouseKeyState()
{
    Uint32 buttons = SDL_GetMouseState(nullptr, nullptr);
    SDL_Keymod mod = SDL_GetModState();
    WPARAM state = 0;
    if (buttons & SDL_BUTTON_LMASK)
        state |= MK_LBUTTON;
    if (buttons & SDL_BUTTON_RMASK)
        state |= MK_RBUTTON;
    if (buttons & SDL_BUTTON_MMASK)
        state |= MK_MBUTTON;
    if (mod & KMOD_SHIFT)
        state |= MK_SHIFT;
    if (mod & KMOD_CTRL)
        state |= MK_CONTROL;
    return state;
}

UINT buttonMessage(Uint8 button, bool down)
{
    switch (button) {
    case SDL_BUTTON_LEFT:
        return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case SDL_BUTTON_RIGHT:
        return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    case SDL_BUTTON_MIDDLE:
        return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
    default:
        return 0;
    }
}

void queueMouse(uint32_t windowId, UINT message, int x, int y)
{
    HWND target = windowForSdlId(windowId);
    detail::queueInput(detail::makeMessage(target ? target : detail::inputWindow(), message, mouseKeyState(),
                                           MAKELPARAM(x, y)));
}

void translate(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        translateKey(event.key);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (UINT message = buttonMessage(event.button.button, event.type == SDL_MOUSEBUTTONDOWN))
            queueMouse(event.button.windowID, message, event.button.x, event.button.y);
        break;
    case SDL_MOUSEMOTION:
        queueMouse(event.motion.windowID, WM_MOUSEMOVE, event.motion.x, event.motion.y);
        break;
    case SDL_QUIT:
        // The close button, the window manager's close or an interrupt: as on Windows
        // the window hears WM_CLOSE and decides what to do.
        if (HWND target = detail::inputWindow())
            detail::queuePosted(detail::makeMessage(target, WM_CLOSE, 0, 0));
        break;
    default:
        break;
    }
}

} // namespace

UINT virtualKeyForSdlKeycode(int32_t keycode)
{
    if (keycode >= SDLK_a && keycode <= SDLK_z)
        return static_cast<UINT>('A' + (keycode - SDLK_a));
    if (keycode >= SDLK_0 && keycode <= SDLK_9)
        return static_cast<UINT>(keycode);
    if (keycode >= SDLK_F1 && keycode <= SDLK_F12)
        return static_cast<UINT>(VK_F1 + (keycode - SDLK_F1));
    if (keycode >= SDLK_KP_1 && keycode <= SDLK_KP_9)
        return static_cast<UINT>(VK_NUMPAD0 + 1 + (keycode - SDLK_KP_1));
    auto it = namedKeys().find(keycode);
    return it == namedKeys().end() ? 0 : it->second;
}

void pumpEvents()
{
    if (!videoReady())
        return;
    SDL_Event event;
    while (SDL_PollEvent(&event))
        translate(event);
}

bool waitForEvent()
{
    return videoReady() && SDL_WaitEvent(nullptr) == 1;
}

} // namespace win32host::desktop
