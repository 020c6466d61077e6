// SPDX-License-Identifier: GPL-2.0-or-later
// Linux: FLTK's two back ends in one, Wayland when a compositor answers and
// X11 otherwise. The message box is a small FLTK dialog, the display is
// opened through FLTK, and the window gets the icon as pictures (X11) and the
// desktop entry's name (Wayland, where the desktop takes the icon from it).
#include "platformWindow.h"

#include "appIcon.h"
#include "noticeBox.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/Fl_Return_Button.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/platform.H>
#include <fontconfig/fontconfig.h>
#if CORVANE_PANGO && FLTK_USE_CAIRO
#include <pango/pangocairo.h>
#endif

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// The desktop entry (packaging/org.corvane.Corvane.desktop): a Wayland
// desktop finds the window's icon through it, and an X11 one by WM_CLASS.
const char* const desktopEntryName = "org.corvane.Corvane";

// FLTK connects to a Wayland compositor when it chooses its back end, the
// first time it is asked for one, and keeps that connection.
bool onWayland()
{
#ifdef FLTK_USE_WAYLAND
    Fl::screen_driver();
    return fl_wl_display() != nullptr;
#else
    return false;
#endif
}

bool displayConnected()
{
#ifdef FLTK_USE_WAYLAND
    if (fl_wl_display())
        return true;
#endif
    return fl_x11_display() != nullptr;
}

// The atoms FLTK asks the server for as it opens an X display, one at a time:
// a round trip each. Asked for together beforehand, in one, Xlib answers
// FLTK's from its cache. A name missing here costs its round trip, no more.
const char* const toolkitAtoms[] = {
    "WM_DELETE_WINDOW", "WM_PROTOCOLS", "_MOTIF_WM_HINTS", "TARGETS", "CLIPBOARD", "TIMESTAMP", "PRIMARY_TIMESTAMP",
    "CLIPBOARD_TIMESTAMP", "XdndAware", "XdndSelection", "XdndEnter", "XdndTypeList", "XdndPosition", "XdndLeave",
    "XdndDrop", "XdndStatus", "XdndActionCopy", "XdndFinished", "text/uri-list", "text/plain;charset=UTF-8",
    "text/plain;charset=utf-8", "text/plain", "TEXT", "COMPOUND_TEXT", "UTF8_STRING", "image/bmp", "image/png", "INCR",
    "_NET_WM_PID", "_NET_WM_NAME", "_NET_WM_ICON_NAME", "_NET_SUPPORTING_WM_CHECK", "_NET_WM_STATE",
    "_NET_WM_STATE_FULLSCREEN", "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ",
    "_NET_WM_FULLSCREEN_MONITORS", "_NET_WORKAREA", "_NET_WM_ICON", "_NET_ACTIVE_WINDOW"};

void internToolkitAtoms(Display* display)
{
    std::vector<char*> names;  // Xlib's declaration wants them writable; it only reads them
    for (const char* name : toolkitAtoms)
        names.push_back(const_cast<char*>(name));
    std::vector<Atom> atoms(names.size());
    XInternAtoms(display, names.data(), static_cast<int>(names.size()), False, atoms.data());
}

// FLTK itself prints "Can't open display" and exits when there is none, so
// ask X first, and hand FLTK the very connection that answered: a server
// that resets when its last client leaves (Xvfb's default, some kiosk and
// remote sessions) would be gone again before FLTK opened one of its own.
// On Wayland the back end's choice was that test.
bool reachDisplay()
{
    if (onWayland() || fl_x11_display())
        return true;
    // The locale, as FLTK sets it before opening a display itself (its X
    // error handlers are its own; Xlib's defaults serve the box).
    std::setlocale(LC_CTYPE, "");
    XSetLocaleModifiers("");
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return false;
    internToolkitAtoms(display);
    fl_x11_use_display(display);
    return true;
}

bool openTestedDisplay()
{
    if (!reachDisplay())
        return false;
    fl_open_display();
    return true;
}

// Opening the input method reads the locale's compose table (Xlib on X11,
// xkbcommon on Wayland), thousands of lines that take as long as all the
// rest of the start-up; only text entry composes characters. The table is
// left empty while the display opens, and the environment is as it was
// afterwards.
class ComposeTableLeftOut {
public:
    ComposeTableLeftOut()
    {
        if (const char* value = std::getenv(name))
            saved = value;
        setenv(name, "/dev/null", 1);
    }
    ~ComposeTableLeftOut()
    {
        if (saved)
            setenv(name, saved->c_str(), 1);
        else
            unsetenv(name);
    }
    ComposeTableLeftOut(const ComposeTableLeftOut&) = delete;
    ComposeTableLeftOut& operator=(const ComposeTableLeftOut&) = delete;

private:
    static constexpr const char* name = "XCOMPOSEFILE";
    std::optional<std::string> saved;
};

// The display opened and the first drawing's fonts loaded: a window's show needs no more.
bool displayPrepared = false;

// FLTK draws text through pango, which loads a font the first time it is
// asked for: fontconfig's choice, the face, and a sample sentence laid out to
// measure its characters, milliseconds a font. A thread of their own loads the
// first drawing's fonts so, into a font map of its own, while the display
// opens; FLTK then takes that map for its own and finds them loaded. Only
// for a display that answered, before FLTK has drawn or measured any text,
// and only one thread at a time uses the map.
class FontsLoadedAhead {
public:
    explicit FontsLoadedAhead(const std::vector<platform::TextFont>& fonts) : reached(answered.get_future())
    {
#if CORVANE_PANGO && FLTK_USE_CAIRO
        if (displayConnected())
            return;  // FLTK is at work already
        for (const platform::TextFont& font : fonts)
            descriptions.push_back(std::string(Fl::get_font(font.face)) + " " + std::to_string(font.size) + "px");
#else
        (void)fonts;
#endif
    }

    // On the main thread, once it knows, and before it waits for load().
    void displayReached(bool reachedOne) { answered.set_value(reachedOne); }

    // On the fonts' thread: the fonts loaded as FLTK loads them, and a digit laid out in each.
    void load()
    {
        if (!reached.get())
            return;
#if CORVANE_PANGO && FLTK_USE_CAIRO
        if (descriptions.empty())
            return;
        map.reset(pango_cairo_font_map_new());
        PangoContext* const context = pango_font_map_create_context(map.get());
        PangoLayout* const layout = pango_layout_new(context);
        for (const std::string& description : descriptions) {
            PangoFontDescription* const font = pango_font_description_from_string(description.c_str());
            PangoFontset* const fontset =
                pango_font_map_load_fontset(map.get(), context, font, pango_language_get_default());
            pango_font_metrics_unref(pango_fontset_get_metrics(fontset));
            g_object_unref(fontset);
            pango_layout_set_font_description(layout, font);
            pango_layout_set_text(layout, "0", 1);
            PangoRectangle extents;
            pango_layout_get_extents(layout, nullptr, &extents);
            pango_font_description_free(font);
        }
        g_object_unref(layout);
        g_object_unref(context);
#endif
    }

    // On the main thread, once load() has returned and before FLTK's first font.
    void handToToolkit()
    {
#if CORVANE_PANGO && FLTK_USE_CAIRO
        if (map)
            pango_cairo_font_map_set_default(PANGO_CAIRO_FONT_MAP(map.get()));
#endif
    }

private:
    std::promise<bool> answered;
    std::future<bool> reached;
#if CORVANE_PANGO && FLTK_USE_CAIRO
    struct Unref {
        void operator()(PangoFontMap* map) const { g_object_unref(map); }
    };
    std::vector<std::string> descriptions;
    std::unique_ptr<PangoFontMap, Unref> map;
#endif
};

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

void openDisplay(const std::vector<TextFont>& fonts)
{
    if (!displayPrepared)
        openDisplayWhile(fonts, [] {});
    fl_open_display();  // where no display answered, FLTK says so and ends the process
}

// The environment and the locale (as FLTK sets it when it opens a display)
// are set before the other threads start, and the environment put back
// after they end, so that neither reads either while they change.
void openDisplayWhile(const std::vector<TextFont>& fonts, const std::function<void()>& work,
                      const std::function<void()>& onceOpen)
{
    const ComposeTableLeftOut environment;
    std::setlocale(LC_CTYPE, "");
    // Fontconfig reads its configuration and its caches of the system's fonts
    // the first time a font is asked for: milliseconds that need no display,
    // read on a thread of their own, the fonts loaded after them, while
    // `work` runs on another. Deferred where no thread can be had: the first
    // font then reads them.
    FontsLoadedAhead ahead(fonts);
    const auto caller = std::this_thread::get_id();
    auto fontsLoaded = std::async(std::launch::async | std::launch::deferred, [&ahead, caller] {
        FcInit();
        if (std::this_thread::get_id() != caller)
            ahead.load();  // not when deferred: on this thread it would only do what FLTK does
    });
    auto working = std::async(std::launch::async | std::launch::deferred, work);
    const bool threaded = working.wait_for(std::chrono::seconds(0)) != std::future_status::deferred;
    bool reached = false;
    try {
        reached = reachDisplay();
    } catch (...) {
        ahead.displayReached(false);  // the fonts' thread ends before this throws on
        throw;
    }
    ahead.displayReached(reached);
    if (reached) {
        fl_open_display();
        fontsLoaded.get();
        ahead.handToToolkit();
        for (const TextFont& font : fonts) {
            fl_font(font.face, font.size);
            fl_width("0");
        }
        displayPrepared = true;
        if (onceOpen && threaded)
            onceOpen();
    }
    working.get();
}

// FLTK's GTK dialog and its own name a filter by its name and its pattern
// run together, "NAME(PATTERN)": the space is the name's. One pattern each,
// so that the names read plainly. The first, the one the dialog opens on,
// shows every file: the program tells them apart by what they hold, and a
// hive has no extension (SYSTEM on a Windows disk, any name in a copy).
const char* deviceFileFilters()
{
    return "Exports, hives and lspci dumps \t*\nRegistry exports \t*.reg\nRegistry hives \tSYSTEM*\n"
           "lspci dumps \t*.txt";
}

const char* reportFileFilter()
{
    return "HTML files \t*.html";
}

std::string reportsFolder()
{
    return std::string();
}

// FLTK's own dialog (GTK's, where GTK is there) is the system's.
std::optional<std::string> pickFolder(Fl_Window&, const char*, const std::string&)
{
    return std::nullopt;
}

// Every size the icon comes in, for the window manager to choose from at
// the screen's scale; raw RGBA images need no display, and the window
// copies them.
void setWindowIcons(Fl_Window& window)
{
    window.xclass(desktopEntryName);
    std::vector<std::vector<unsigned char>> pixels;
    std::vector<std::unique_ptr<Fl_RGB_Image>> images;
    std::vector<const Fl_RGB_Image*> list;
    for (const int size : iconSizes()) {
        if (size > 64)
            break;  // larger than any title bar or task switcher asks for
        pixels.push_back(iconRgba(*pictureFor(size), size));
        images.push_back(std::make_unique<Fl_RGB_Image>(pixels.back().data(), size, size, 4));
        list.push_back(images.back().get());
    }
    window.icons(list.data(), static_cast<int>(list.size()));
}

}
