// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_XDRIVER_H
#define CORVANE_TESTS_XDRIVER_H

#include <string>

// Runs a shell command (xdotool, xclip) while this process's FLTK event loop
// goes on, so that the window takes the X events the command makes and
// answers its requests (the clipboard's owner is this process). Returns what
// the command wrote to standard output; fails the test when it does not end
// within 30 s.
std::string runServingEvents(const std::string& command);

// Lets the event loop take what is still pending.
void settleEvents();

#endif
