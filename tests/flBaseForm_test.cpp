// SPDX-License-Identifier: GPL-2.0-or-later
#include "AllocationHooks.h"
#include "flBaseForm.h"
#include "flException.h"

#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>

#include <gtest/gtest.h>

namespace {

class CountingForm : public flBaseForm {
public:
    CountingForm() : flBaseForm(320, 200, "counting") {}
    void createWidgets() override {}
    void handleCallback(Fl_Widget* widget) override
    {
        ++calls;
        lastWidget = widget;
    }
    int calls = 0;
    Fl_Widget* lastWidget = nullptr;
};

TEST(flBaseForm, MakesAHiddenEmptyWindow)
{
    CountingForm form;
    ASSERT_TRUE(form.window);
    EXPECT_EQ(form.window->w(), 320);
    EXPECT_EQ(form.window->h(), 200);
    EXPECT_STREQ(form.window->label(), "counting");
    EXPECT_EQ(form.window->children(), 0);
    EXPECT_FALSE(form.window->shown());
    // The window takes no widgets by itself.
    Fl_Box stray(0, 0, 10, 10);
    EXPECT_EQ(form.window->children(), 0);
}

TEST(flBaseForm, DispatchCallsTheFormOnce)
{
    CountingForm form;
    Fl_Box widget(0, 0, 10, 10);
    flBaseForm::dispatchCallback(&widget, &form);
    EXPECT_EQ(form.calls, 1);
    EXPECT_EQ(form.lastWidget, &widget);
}

TEST(flBaseForm, DispatchWithoutAFormRaises)
{
    Fl_Box widget(0, 0, 10, 10);
    try {
        flBaseForm::dispatchCallback(&widget, nullptr);
        ADD_FAILURE() << "nothing raised";
    } catch (const flException& error) {
        EXPECT_EQ(error.message, "Unspecified Exception");
        EXPECT_STREQ(error.file, "flGUI/flBaseForm.cpp");
    }
}

TEST(flBaseForm, AllocationFailureBecomesUnspecifiedException)
{
    std::string message, file;
    failNextAllocation = true;
    try {
        CountingForm form;
    } catch (const flException& error) {
        message = error.message;
        file = error.file;
    }
    EXPECT_FALSE(failNextAllocation);
    EXPECT_EQ(message, "Unspecified Exception");
    EXPECT_EQ(file, "flGUI/flBaseForm.cpp");
}

}
