// SPDX-License-Identifier: GPL-2.0-or-later
#include "flBaseForm.h"

#include "flException.h"
#include "platformWindow.h"

#include <FL/Fl_Double_Window.H>

#include <new>

namespace {

// The form's window hands its events to the form first.
class FormWindow : public Fl_Double_Window {
public:
    FormWindow(flBaseForm& form, int width, int height, const char* title)
        : Fl_Double_Window(width, height, title), form(form)
    {
    }
    int handle(int event) override { return form.handleEvent(event) ? 1 : Fl_Double_Window::handle(event); }

private:
    flBaseForm& form;
};

}

flBaseForm::flBaseForm(int width, int height, const char* title)
{
    try {
        window = std::make_unique<FormWindow>(*this, width, height, title);
    } catch (const std::bad_alloc&) {
        throw flException(__FILE__, __LINE__, "Unspecified Exception");
    }
    // A new window starts taking every widget created after it; forms add
    // their widgets explicitly instead.
    window->end();
}

flBaseForm::~flBaseForm() = default;

void flBaseForm::show()
{
    platform::openDisplay();
    window->show();
}

void flBaseForm::hide()
{
    window->hide();
}

bool flBaseForm::handleEvent(int)
{
    return false;
}

void flBaseForm::dispatchCallback(Fl_Widget* widget, void* data)
{
    if (!data)
        throw flException(__FILE__, __LINE__, "Unspecified Exception");
    static_cast<flBaseForm*>(data)->handleCallback(widget);
}
