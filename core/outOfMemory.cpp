// SPDX-License-Identifier: GPL-2.0-or-later
#include "outOfMemory.h"

#include "flException.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <new>

namespace {

// Handed back to the allocator before the report, which needs a little to
// make its line: enough for its text, the log's name and stdio's buffers.
constexpr std::size_t reserveBytes = 64 * 1024;
std::unique_ptr<char[]> reserve;
std::terminate_handler previousHandler = nullptr;
std::atomic<bool> reporting{false};

bool endsForWantOfMemory()
{
    const std::exception_ptr current = std::current_exception();
    if (!current)
        return false;
    try {
        std::rethrow_exception(current);
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

[[noreturn]] void terminateReportingOutOfMemory()
{
    if (endsForWantOfMemory()) {
        // Once only: a second thread out of memory meanwhile, or the report
        // itself running out, ends with the status alone.
        if (!reporting.exchange(true)) {
            reserve.reset();
            try {
                flException::showBox = nullptr;
                flException(__FILE__, __LINE__, std::bad_alloc().what()).reportAndExit();
            } catch (...) {
                // The report ran out too: what it wrote stays, the status is still the fatal one.
            }
        }
        std::fflush(stderr);
        std::_Exit(-1);  // status 255, as reportAndExit's
    }
    if (previousHandler)
        previousHandler();
    std::abort();
}

}

void reportOutOfMemoryAtTerminate()
{
    if (!reserve)
        reserve.reset(new (std::nothrow) char[reserveBytes]);
    const std::terminate_handler previous = std::set_terminate(terminateReportingOutOfMemory);
    if (previous != terminateReportingOutOfMemory)
        previousHandler = previous;
}
