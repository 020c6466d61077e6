// SPDX-License-Identifier: GPL-2.0-or-later
#include "standardOutput.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

bool closeStandardOutput(std::string& error)
{
    errno = 0;
    const bool flushed = std::fflush(stdout) == 0 && !std::ferror(stdout);
    int reason = errno;
    const bool closed = std::fclose(stdout) == 0;
    if (!closed && reason == 0)
        reason = errno;
    if (flushed && closed)
        return true;
    // A write that failed earlier leaves the stream's error set, not its reason.
    error = reason ? std::generic_category().message(reason) : "an earlier write failed";
    return false;
}
