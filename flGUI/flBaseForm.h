// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FLBASEFORM_H
#define CORVANE_FLBASEFORM_H

#include <memory>

class Fl_Double_Window;
class Fl_Widget;

// Base of the program's windows ("forms"). A form owns one top-level window;
// each concrete form builds its widgets in createWidgets, called at the end of
// its own constructor, and reacts to its widgets' callbacks in handleCallback.
class flBaseForm {
public:
    // Creates the (hidden, empty) window; std::bad_alloc while doing so is
    // raised as flException "Unspecified Exception".
    flBaseForm(int width, int height, const char* title);
    virtual ~flBaseForm();
    flBaseForm(const flBaseForm&) = delete;
    flBaseForm& operator=(const flBaseForm&) = delete;

    void show();
    void hide();

    // An FLTK callback: register it with the form as user data and it calls
    // that form's handleCallback with the widget.
    static void dispatchCallback(Fl_Widget* widget, void* data);

    virtual void createWidgets() = 0;
    virtual void handleCallback(Fl_Widget* widget) = 0;
    // Every event that reaches the window, before the window's own handling;
    // true when the form took it. Forms take none by default.
    virtual bool handleEvent(int event);

    std::unique_ptr<Fl_Double_Window> window;
};

#endif
