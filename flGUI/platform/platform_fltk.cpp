// Linux: the message box is a small FLTK dialog; there is no console window to hide,
// and terminals take UTF-8 as it is.
#include "platform.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <X11/Xlib.h>

#include <string>

namespace {

// FLTK labels take '@' as the start of a symbol name; "@@" draws one '@'.
std::string literalLabel(const char* text)
{
    std::string label;
    for (const char* c = text; *c; ++c) {
        label += *c;
        if (*c == '@')
            label += '@';
    }
    return label;
}

// FLTK itself prints "Can't open display" and exits when there is none, so
// ask X first.
bool displayAvailable()
{
    if (Fl::first_window())
        return true;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    XCloseDisplay(display);
    return true;
}

void closeDialog(Fl_Widget* button, void*)
{
    button->window()->hide();
}

}

namespace platform {

void showMessageBox(const char* caption, const char* text)
{
    if (!displayAvailable())
        return;
    fl_open_display();

    const std::string label = literalLabel(text);
    const int margin = 20, buttonWidth = 90, buttonHeight = 25;
    fl_font(FL_HELVETICA, FL_NORMAL_SIZE);
    int textWidth = 0, textHeight = 0;
    fl_measure(label.c_str(), textWidth, textHeight);
    const int width = textWidth + 2 * margin;
    const int height = textHeight + buttonHeight + 3 * margin;

    Fl_Window dialog(width, height, caption);
    Fl_Box message(margin, margin, textWidth, textHeight, label.c_str());
    message.align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE | FL_ALIGN_TOP);
    Fl_Return_Button ok(width - margin - buttonWidth, height - margin - buttonHeight,
                        buttonWidth, buttonHeight, "OK");
    ok.callback(closeDialog);
    dialog.end();
    dialog.set_modal();
    // Escape and the close button hide the window through its default callback.
    dialog.show();
    while (dialog.shown())
        Fl::wait();
}

void hideConsole()
{
}

void showUtf8OnConsole()
{
}

}
