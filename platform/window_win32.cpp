// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the system's message box, and the icon resource as the window's icon.
#include "platformWindow.h"

#include "appIcon.h"
#include "text_win32.h"

#include <FL/Fl_Window.H>
#include <windows.h>

#include <algorithm>
#include <string_view>

namespace platform {

// The program's own texts are ASCII and go through the ANSI function; a
// text naming a user's file is UTF-8, which the UTF-16 one shows whole.
void showMessageBox(const char* caption, const char* text)
{
    const std::string_view body = text;
    if (std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        MessageBoxA(nullptr, text, caption, MB_OK);
    else
        MessageBoxW(nullptr, utf8ToWide(body).c_str(), utf8ToWide(caption).c_str(), MB_OK);
}

// The system opens its display itself.
void openDisplay(const std::vector<TextFont>&)
{
}

// Nothing to open: the work alone.
void openDisplayWhile(const std::vector<TextFont>&, const std::function<void()>& work, const std::function<void()>&)
{
    work();
}

// Exports and hives (a hive on a Windows disk is named SYSTEM) where the
// build reads them; the Windows programs read no lspci dumps. The system's
// dialog shows the pattern after the name itself.
const char* deviceFileFilters()
{
#if CORVANE_HIVES
    return "Registry exports\t*.reg\nRegistry hives\tSYSTEM";
#else
    return "Registry exports\t*.reg";
#endif
}

const char* reportFileFilter()
{
    return "HTML files\t*.html";
}

// The program's icon resource, in the two sizes the system asks for at its
// scale (the program declares itself DPI-aware, so at 150 per cent that is
// 48 and 24 pixels, which the resource has); FLTK itself would show the
// system's default icon. They are handed over as FLTK's default icons, those
// of the window class it registers for every window. FLTK copies them.
void setWindowIcons(Fl_Window&)
{
    const HINSTANCE program = GetModuleHandleA(nullptr);
    const auto load = [program](int width, int height) {
        return static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(iconResourceId), IMAGE_ICON,
                                             GetSystemMetrics(width), GetSystemMetrics(height), 0));
    };
    const HICON large = load(SM_CXICON, SM_CYICON), small = load(SM_CXSMICON, SM_CYSMICON);
    Fl_Window::default_icons(large, small);
    for (HICON icon : {large, small})
        if (icon)
            DestroyIcon(icon);
}

}
