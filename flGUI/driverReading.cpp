// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverReading.h"

#include "driverOptions.h"

#include <utility>

DriverReading::DriverReading(std::vector<std::string> folders, const WindowsTarget& target)
    : result(std::make_unique<DriverFolders>(target))
{
    DriverFolders::Reading how;
    how.stop = &stop;
    how.progress = [this](std::size_t filesRead, std::size_t filesFound) {
        read.store(filesRead, std::memory_order_relaxed);
        found.store(filesFound, std::memory_order_relaxed);
    };
    result->setReading(std::move(how));
    thread = std::thread([this, folders = std::move(folders)] { run(folders); });
}

DriverReading::~DriverReading()
{
    stop = true;
    if (thread.joinable())
        thread.join();
}

void DriverReading::run(const std::vector<std::string>& folders)
{
    try {
        readDriverFolders(*result, folders);
    } catch (...) {
        failure = std::current_exception();
    }
    finished.store(true, std::memory_order_release);
}

void DriverReading::wait()
{
    if (thread.joinable())
        thread.join();
}

std::unique_ptr<DriverFolders> DriverReading::take()
{
    wait();
    if (failure)
        std::rethrow_exception(std::exchange(failure, nullptr));
    result->setReading({});  // the progress it says names this reading
    return std::move(result);
}
