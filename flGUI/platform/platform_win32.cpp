// Windows: the system's message box, the console window hidden, and the
// system's ANSI text made UTF-8.
#include "platform.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace platform {

namespace {

std::wstring wideText(std::string_view utf8)
{
    const int length = static_cast<int>(std::min<std::size_t>(utf8.size(), std::numeric_limits<int>::max()));
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string utf8Text(const wchar_t* wide)
{
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(std::max(length, 1)), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
    text.pop_back();  // the terminating zero
    return text;
}

}

// The program's own texts are ASCII and go through the ANSI function; a
// text naming a user's file is UTF-8, which the UTF-16 one shows whole.
void showMessageBox(const char* caption, const char* text)
{
    const std::string_view body = text;
    if (std::all_of(body.begin(), body.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        MessageBoxA(nullptr, text, caption, MB_OK);
    else
        MessageBoxW(nullptr, wideText(body).c_str(), wideText(caption).c_str(), MB_OK);
}

void hideConsole()
{
    if (HWND console = GetConsoleWindow())
        ShowWindow(console, SW_HIDE);
}

// The system opens its display itself.
void openDisplay()
{
}

namespace {

UINT consoleCodePage = 0;

void restoreConsoleCodePage()
{
    SetConsoleOutputCP(consoleCodePage);
}

}

void showUtf8OnConsole()
{
    DWORD mode;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) || GetConsoleOutputCP() == CP_UTF8)
        return;
    consoleCodePage = GetConsoleOutputCP();
    // The console is the user's: its code page comes back at exit, also after a fatal error.
    if (SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreConsoleCodePage);
}

std::vector<std::string> arguments(int, char**)
{
    std::vector<std::string> result;
    int count = 0;
    if (LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 1; i < count; ++i)
            result.push_back(utf8Text(wide[i]));
        LocalFree(wide);
    }
    return result;
}

std::string ansiToUtf8(std::string_view text)
{
    if (std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(text);
    // Through UTF-16, the system's own text: every ANSI code page converts to it.
    const int length = static_cast<int>(std::min<std::size_t>(text.size(), std::numeric_limits<int>::max()));
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), wideLength);
    const int utf8Length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(utf8Length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), utf8Length, nullptr, nullptr);
    return utf8;
}

}
