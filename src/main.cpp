// The show is a Win32 program: on Linux the process entry hands over to WinMain
// with the arguments Windows would give it.
#include <windows.h>

int main()
{
    return WinMain(GetModuleHandleA(nullptr), nullptr, const_cast<LPSTR>(""), SW_SHOWDEFAULT);
}
