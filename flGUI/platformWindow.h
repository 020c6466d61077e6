// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_WINDOW_PLATFORM_H
#define CORVANE_WINDOW_PLATFORM_H

// What the window program needs of the platform's windowing. One
// implementation file per platform, chosen by the build: window_unix.cpp,
// window_win32.cpp.
#include <FL/Enumerations.H>

#include <functional>
#include <vector>

class Fl_Window;

namespace platform {

// A font a window's first drawing uses, at its size.
struct TextFont {
    Fl_Font face;
    Fl_Fontsize size;
};

// A modal box with one OK button and no icon; returns once it is dismissed.
// Where no display can be had, it returns at once.
void showMessageBox(const char* caption, const char* text);

// Connects to the display before the first window shows, leaving out what
// only text entry needs (no window of the program takes text), and loads
// `fonts`, the first drawing's: the system's font configuration, and where
// the toolkit can the fonts themselves, read on another thread while the
// display opens. Without a display the toolkit ends the process, as it
// would when a window shows. Once the display is open, it does nothing.
void openDisplay(const std::vector<TextFont>& fonts = {});

// Runs `work` (which touches neither the toolkit nor the display) and,
// where a second thread and a display can be had, opens the display and
// loads `fonts` as openDisplay does meanwhile: on a machine of thousands
// of devices, reading them takes about as long. Without a display only
// `work` is done (the window's show then says there is none). What
// `work` throws is thrown here. `onceOpen`, when given, runs on this thread
// once the display is open and while `work` may still run (only then: it
// may wait for what `work` hands it).
void openDisplayWhile(const std::vector<TextFont>& fonts, const std::function<void()>& work,
                      const std::function<void()>& onceOpen = {});

// The file dialog's filters for the files of other machines this platform's
// programs read, in Fl_Native_File_Chooser's form; the dialog adds its own
// "All files" to them.
const char* deviceFileFilters();

// The save dialog's filter for the report, in the same form.
const char* reportFileFilter();

// Gives `window` the program's icon, in the sizes the system shows.
void setWindowIcons(Fl_Window& window);

}

#endif
