// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_STANDARDOUTPUT_H
#define CORVANE_STANDARDOUTPUT_H

#include <string>

// A program's last word on standard output: what is still buffered is
// written and the stream closed, where a write may fail only now (a full
// disk, /dev/full, a file system that reports at close). False with the
// system's reason when any write to it failed, earlier ones included.
bool closeStandardOutput(std::string& error);

#endif
