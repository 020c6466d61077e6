// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_WINDOW_PLATFORM_H
#define CORVANE_WINDOW_PLATFORM_H

// What the window program needs of the platform's windowing. One
// implementation file per platform, chosen by the build: window_unix.cpp,
// window_win32.cpp.
class Fl_Window;

namespace platform {

// A modal box with one OK button and no icon; returns once it is dismissed.
// Where no display can be had, it returns at once.
void showMessageBox(const char* caption, const char* text);

// Connects to the display before the first window shows, leaving out what
// only text entry needs: no window of the program takes text. Without a
// display the toolkit ends the process, as it would when a window shows.
void openDisplay();

// Gives `window` the program's icon, in the sizes the system shows.
void setWindowIcons(Fl_Window& window);

}

#endif
