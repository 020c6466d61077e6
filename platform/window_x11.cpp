// X11: the message box is a small FLTK dialog, the display is opened through
// FLTK, and the window's icons are handed over as pictures.
#include "platformWindow.h"

#include "appIcon.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

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
// ask X first, and hand FLTK the very connection that answered: a server
// that resets when its last client leaves (Xvfb's default, some kiosk and
// remote sessions) would be gone again before FLTK opened one of its own.
bool openTestedDisplay()
{
    if (fl_display)
        return true;
    // The locale, as FLTK sets it before opening a display itself (its X
    // error handlers are its own; Xlib's defaults serve the box).
    std::setlocale(LC_CTYPE, "");
    XSetLocaleModifiers("");
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    fl_open_display(display);
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
    if (!openTestedDisplay())
        return;

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

void openDisplay()
{
    // Opening the X input method reads the locale's compose table, thousands
    // of lines that take as long as all the rest of the start-up; only text
    // entry composes characters. The table is left empty, and the
    // environment is as it was afterwards.
    const char* const name = "XCOMPOSEFILE";
    const char* const previous = std::getenv(name);
    const std::string saved = previous ? previous : "";
    setenv(name, "/dev/null", 1);
    fl_open_display();
    if (previous)
        setenv(name, saved.c_str(), 1);
    else
        unsetenv(name);
}

// Raw RGBA images need no display; the window copies them.
void setWindowIcons(Fl_Window& window)
{
    const std::vector<unsigned char> small = iconRgba(smallIcon()), large = iconRgba(largeIcon());
    const Fl_RGB_Image smallImage(small.data(), smallIcon().size, smallIcon().size, 4);
    const Fl_RGB_Image largeImage(large.data(), largeIcon().size, largeIcon().size, 4);
    const Fl_RGB_Image* images[] = {&smallImage, &largeImage};
    window.icons(images, 2);
}

}
