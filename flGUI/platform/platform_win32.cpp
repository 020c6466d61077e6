// Windows: the system's message box, and the console window hidden.
#include "platform.h"

#include <windows.h>

namespace platform {

void showMessageBox(const char* caption, const char* text)
{
    MessageBoxA(nullptr, text, caption, MB_OK);
}

void hideConsole()
{
    if (HWND console = GetConsoleWindow())
        ShowWindow(console, SW_HIDE);
}

void openDisplay()
{
}

}
