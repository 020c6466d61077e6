// SPDX-License-Identifier: GPL-2.0-or-later
// Windows: the system's message box, its folder picker and Documents folder,
// and the icon resource as the window's icon.
#include "platformWindow.h"

#include "appIcon.h"
#include "text_win32.h"

#include <FL/Fl_Window.H>
#include <FL/platform.H>
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <algorithm>
#include <memory>
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

std::string reportsFolder()
{
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Documents, KF_FLAG_DEFAULT, nullptr, &path)))
        folder = wideToUtf8(path);
    CoTaskMemFree(path);
    return folder;
}

namespace {

// A COM object's interface, released when it goes.
struct Releasing {
    void operator()(IUnknown* object) const { object->Release(); }
};
template <typename Interface>
using Com = std::unique_ptr<Interface, Releasing>;

// COM on this thread for as long as it lives, where it could be had.
class ComApartment {
public:
    ComApartment() : status(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(status))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    HRESULT status;
};

// The folder the dialog gave, as a file-system path.
std::string chosenFolder(IFileOpenDialog& dialog)
{
    IShellItem* item = nullptr;
    if (FAILED(dialog.GetResult(&item)))
        return std::string();
    const Com<IShellItem> chosen(item);
    PWSTR path = nullptr;
    std::string folder;
    if (SUCCEEDED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path)))
        folder = wideToUtf8(path);
    CoTaskMemFree(path);
    return folder;
}

}

// The file dialog in its folder mode: FLTK's folder dialog is the older
// folder browser, whose path box may be passed over for the folder selected.
std::optional<std::string> pickFolder(Fl_Window& owner, const char* title, const std::string& startIn)
{
    const ComApartment apartment;
    IFileOpenDialog* created = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileOpenDialog,
                                reinterpret_cast<void**>(&created))))
        return std::nullopt;
    const Com<IFileOpenDialog> dialog(created);
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
    dialog->SetTitle(utf8ToWide(title).c_str());
    IShellItem* start = nullptr;
    if (!startIn.empty() &&
        SUCCEEDED(SHCreateItemFromParsingName(utf8ToWide(startIn).c_str(), nullptr, IID_IShellItem,
                                              reinterpret_cast<void**>(&start)))) {
        const Com<IShellItem> folder(start);
        dialog->SetFolder(folder.get());
    }
    if (FAILED(dialog->Show(owner.shown() ? fl_xid(&owner) : nullptr)))
        return std::string();  // cancelled
    return chosenFolder(*dialog);
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
