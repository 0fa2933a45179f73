// Message boxes: recorded for tests, printed on standard error (so a failure is seen
// even without a display) and, on the desktop, shown as an SDL message box.
#include "desktop.h"
#include "win32_internal.h"

#include <cstdio>

namespace {

std::vector<win32host::ShownMessageBox> shown;

int defaultButton(UINT type)
{
    switch (type & MB_TYPEMASK) {
    case MB_ABORTRETRYIGNORE:
        return IDABORT;
    case MB_YESNO:
    case MB_YESNOCANCEL:
        return IDYES;
    case MB_RETRYCANCEL:
        return IDRETRY;
    default:
        return IDOK;
    }
}

} // namespace

namespace win32host::detail {

void resetMessageBoxes()
{
    shown.clear();
}

} // namespace win32host::detail

const std::vector<win32host::ShownMessageBox>& win32host::shownMessageBoxes()
{
    return shown;
}

int WINAPI MessageBoxA(HWND parent, LPCSTR text, LPCSTR caption, UINT type)
{
    using namespace win32host;
    std::string textString = text ? text : "";
    // Windows titles a box without a caption "Error".
    std::string captionString = caption ? caption : "Error";
    std::fprintf(stderr, "[%s] %s\n", captionString.c_str(), textString.c_str());

    int result = defaultButton(type);
    if (currentBackend() == Backend::Desktop) {
        detail::Window* w = detail::findWindow(parent);
        desktop::showMessageBox(w ? w->native : nullptr, textString.c_str(), captionString.c_str(), type, result);
    }
    shown.push_back({parent, textString, captionString, type, result});
    return result;
}
