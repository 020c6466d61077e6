// What a Windows user sees of another program's top-level window, asked of
// the system: window_probe TITLE waits up to 20 s for a shown window of
// exactly that title and prints, one per line:
//   class NAME              its window class ("#32770" for the system's dialogs)
//   client WIDTHxHEIGHT     its client area
//   resizable yes|no        whether its frame offers resizing or maximising
//   resized WIDTHxHEIGHT    its client area after an attempt to make it larger
//   text TEXT               the text of each static control (a message box's text)
// Exit status 1 when no such window shows up.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

BOOL CALLBACK printStaticText(HWND child, LPARAM)
{
    char className[64], text[4096];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) {
        std::string line = text;
        for (std::size_t at = 0; (at = line.find('\n', at)) != std::string::npos;)
            line.replace(at, 1, "\\n");
        std::printf("text %s\n", line.c_str());
    }
    return TRUE;
}

std::string clientSize(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return std::to_string(client.right - client.left) + "x" + std::to_string(client.bottom - client.top);
}

}

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: window_probe TITLE\n");
        return 2;
    }
    HWND window = nullptr;
    for (int attempt = 0; attempt < 200 && !(window && IsWindowVisible(window)); ++attempt) {
        Sleep(100);
        window = FindWindowA(nullptr, argv[1]);
    }
    if (!window || !IsWindowVisible(window)) {
        std::printf("no window titled %s\n", argv[1]);
        return 1;
    }
    const LONG style = GetWindowLongA(window, GWL_STYLE);
    char className[256];
    GetClassNameA(window, className, sizeof className);
    std::printf("class %s\n", className);
    std::printf("client %s\n", clientSize(window).c_str());
    std::printf("resizable %s\n", style & (WS_THICKFRAME | WS_MAXIMIZEBOX) ? "yes" : "no");
    RECT frame;
    GetWindowRect(window, &frame);
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left + 100, frame.bottom - frame.top + 100,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    std::printf("resized %s\n", clientSize(window).c_str());
    EnumChildWindows(window, printStaticText, 0);
    return 0;
}
