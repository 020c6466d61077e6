#include "flBaseForm.h"

#include "flException.h"
#include "platform/platform.h"

#include <FL/Fl_Double_Window.H>

#include <new>

flBaseForm::flBaseForm(int width, int height, const char* title)
{
    try {
        window = std::make_unique<Fl_Double_Window>(width, height, title);
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

void flBaseForm::dispatchCallback(Fl_Widget* widget, void* data)
{
    if (!data)
        throw flException(__FILE__, __LINE__, "Unspecified Exception");
    static_cast<flBaseForm*>(data)->handleCallback(widget);
}
