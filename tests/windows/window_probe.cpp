// SPDX-License-Identifier: GPL-2.0-or-later
// What a Windows user sees of another program's top-level window, asked of
// the system: window_probe TITLE waits up to 20 s for a shown window of
// exactly that title and prints, one per line:
//   class NAME              its window class ("#32770" for the system's dialogs)
//   client WIDTHxHEIGHT     its client area
//   resizable yes|no        whether its frame offers resizing or maximising
//   resized WIDTHxHEIGHT    its client area after an attempt to make it larger
//   text TEXT               the text of each static control (a message box's text)
//   choice TEXT             each item of each combo box (a file dialog's file types)
// Exit status 1 when no such window shows up.
// window_probe --clipboard prints the clipboard's text (CF_UNICODETEXT) as UTF-8.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>

namespace {

BOOL CALLBACK printTexts(HWND child, LPARAM)
{
    char className[64], text[4096];
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "Static") == 0 && GetWindowTextA(child, text, sizeof text) > 0) {
        std::string line = text;
        for (std::size_t at = 0; (at = line.find('\n', at)) != std::string::npos;)
            line.replace(at, 1, "\\n");
        std::printf("text %s\n", line.c_str());
    }
    if (lstrcmpiA(className, "ComboBox") == 0) {
        const LRESULT count = SendMessageW(child, CB_GETCOUNT, 0, 0);
        wchar_t item[1024];
        for (LRESULT at = 0; at < count; ++at)
            if (SendMessageW(child, CB_GETLBTEXTLEN, at, 0) < static_cast<LRESULT>(std::size(item)) &&
                SendMessageW(child, CB_GETLBTEXT, at, reinterpret_cast<LPARAM>(item)) != CB_ERR &&
                WideCharToMultiByte(CP_UTF8, 0, item, -1, text, sizeof text, nullptr, nullptr) > 0)
                std::printf("choice %s\n", text);
    }
    return TRUE;
}

std::string clientSize(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    return std::to_string(client.right - client.left) + "x" + std::to_string(client.bottom - client.top);
}

int printClipboard()
{
    for (int attempt = 0; attempt < 50 && !OpenClipboard(nullptr); ++attempt)
        Sleep(100);
    const HANDLE data = GetClipboardData(CF_UNICODETEXT);
    const auto* text = data ? static_cast<const wchar_t*>(GlobalLock(data)) : nullptr;
    if (!text) {
        CloseClipboard();
        std::printf("no text on the clipboard\n");
        return 1;
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
    GlobalUnlock(data);
    CloseClipboard();
    std::fwrite(utf8.data(), 1, std::strlen(utf8.c_str()), stdout);
    return 0;
}

}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--clipboard") == 0)
        return printClipboard();
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
    EnumChildWindows(window, printTexts, 0);
    return 0;
}
