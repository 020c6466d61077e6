// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_WINDOW_PLATFORM_H
#define CORVANE_WINDOW_PLATFORM_H

// What the window program needs of the platform's windowing. One
// implementation file per platform, chosen by the build: window_unix.cpp,
// window_win32.cpp.
#include <FL/Enumerations.H>

#include <functional>
#include <optional>
#include <string>
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
// programs read, in Fl_Native_File_Chooser's form, the one the dialog opens
// on first; the dialog adds its own "All files" to them.
const char* deviceFileFilters();

// The save dialog's filter for the report, in the same form.
const char* reportFileFilter();

// Where the save dialog of the report starts: on Windows the user's
// Documents folder (a program started from its shortcut runs in its own
// folder, where a standard user cannot write); empty elsewhere, where the
// working directory, the user's own, is the place.
std::string reportsFolder();

// The system's own folder picker, where it has one (Windows' file dialog in
// its folder mode, which takes a folder typed as well as one chosen), owned
// by `owner`, starting in `startIn`: the folder chosen, or empty when
// cancelled. None where there is no such picker: FLTK's dialog is shown then.
std::optional<std::string> pickFolder(Fl_Window& owner, const char* title, const std::string& startIn);

// Gives `window` the program's icon, in the sizes the system shows.
void setWindowIcons(Fl_Window& window);

}

#endif
