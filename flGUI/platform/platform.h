#ifndef CORVANE_PLATFORM_H
#define CORVANE_PLATFORM_H

// What the program needs of the operating system besides the registry.
// One implementation file per platform, chosen by the build.
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

}

#endif
