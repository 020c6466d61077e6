// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_OUTOFMEMORY_H
#define CORVANE_OUTOFMEMORY_H

// Running out of memory ends every program in the fatal-error report
// (flException: the error.log line, the standard-error line, status 255),
// never in an abort. Where std::bad_alloc can be caught, the entry points'
// runReportingFailures makes the report. Where it cannot (it leaves a
// destructor or another noexcept function, or a thread), the C++ runtime
// ends the program through std::terminate: this makes that the report too,
// from a little memory kept aside for it, without the box (the failing
// thread may not be the one that owns the window). Anything else that ends
// in std::terminate ends as before.
//
// Called first thing in main, before anything may run out.
void reportOutOfMemoryAtTerminate();

#endif
