#ifndef CORVANE_PLATFORM_H
#define CORVANE_PLATFORM_H

// What the program needs of the operating system besides the registry.
// One implementation file per platform, chosen by the build.
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// A modal box with one OK button and no icon; returns once it is dismissed.
// Where no display can be had, it returns at once.
void showMessageBox(const char* caption, const char* text);

// Hides the console window the process was started with, if it has one.
void hideConsole();

// Connects to the display before the first window shows, leaving out what
// only text entry needs: no window of the program takes text. Without a
// display the toolkit ends the process, as it would when a window shows.
void openDisplay();

// Where standard output is a console, it shows the program's UTF-8 text
// until the process ends (Windows consoles have a code page of their own).
void showUtf8OnConsole();

// The program's command-line arguments after its name, as UTF-8 (Windows
// hands them over in its own UTF-16, whatever the ANSI code page holds).
std::vector<std::string> arguments(int argc, char** argv);

#ifdef _WIN32
// Text in the system's ANSI code page, as the registry's and the system's
// ANSI functions give it, as UTF-8, the program's own text. ASCII stays byte
// for byte, zero bytes included.
std::string ansiToUtf8(std::string_view text);
#endif

}

#endif
