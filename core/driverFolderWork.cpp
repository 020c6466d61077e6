// SPDX-License-Identifier: GPL-2.0-or-later
#include "driverFolderWork.h"

#include <new>
#include <utility>

namespace driverIndex {

namespace {

// What the waiting files may hold at most, beyond one: the walk reads ahead
// of the threads by about this much.
constexpr std::size_t maxQueuedBytes = 8u << 20;

}

unsigned defaultThreads()
{
    const unsigned processors = std::thread::hardware_concurrency();
    return processors == 0 ? 1 : processors;
}

InfWork::InfWork(unsigned threadCount, const WindowsTarget& target,
                 std::function<void(std::size_t indexed, std::size_t found)> progress, const std::atomic<bool>* stop)
    : target(target), progress(std::move(progress)), stop(stop)
{
    if (threadCount <= 1) {
        ownIndexer = std::make_unique<FileIndexer>(target);
        return;
    }
    threads.reserve(threadCount);
    try {
        for (unsigned i = 0; i < threadCount; ++i)
            threads.emplace_back([this] { work(); });
    } catch (const std::system_error&) {
        // No more threads to be had: those there are do the work.
        if (threads.empty())
            ownIndexer = std::make_unique<FileIndexer>(target);
    }
}

InfWork::~InfWork()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closing = true;
        queue.clear();
    }
    waiting.notify_all();
    for (std::thread& thread : threads)
        thread.join();
}

IndexedInf InfWork::indexed(FileIndexer& indexer, FoundInf found)
{
    IndexedInf file{found.place, std::move(found.name), {}};
    try {
        file.index = indexer.index(found.bytes, file.place, file.name);
    } catch (const std::bad_alloc&) {
        file.index = FileIndex();
        file.index.memoryRanOut = true;
    }
    return file;
}

void InfWork::add(FoundInf file)
{
    if (stopped())
        return;
    if (ownIndexer) {
        results.push_back(std::make_unique<IndexedInf>(indexed(*ownIndexer, std::move(file))));
        ++found;
        ++indexedCount;
        if (progress)
            progress(indexedCount, found);
        return;
    }
    std::unique_lock<std::mutex> lock(mutex);
    done.wait(lock, [this] { return queuedBytes < maxQueuedBytes || queue.empty(); });
    queuedBytes += file.bytes.size();
    queue.emplace_back(found++, std::move(file));
    results.emplace_back();  // its place, filled once indexed
    waiting.notify_one();
    report(lock);
}

// Called with the lock held, which it lets go of meanwhile.
void InfWork::report(std::unique_lock<std::mutex>& lock)
{
    if (!progress || indexedCount + found == reported)
        return;
    reported = indexedCount + found;
    const std::size_t indexedNow = indexedCount, foundNow = found;
    lock.unlock();
    progress(indexedNow, foundNow);
    lock.lock();
}

void InfWork::work()
{
    std::unique_ptr<FileIndexer> indexer;
    try {
        indexer = std::make_unique<FileIndexer>(target);
    } catch (...) {
        const std::lock_guard<std::mutex> lock(mutex);
        failure = std::current_exception();
    }
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        waiting.wait(lock, [this] { return closing || !queue.empty(); });
        if (queue.empty())
            return;
        auto [number, file] = std::move(queue.front());
        queue.pop_front();
        queuedBytes -= file.bytes.size();
        lock.unlock();
        std::unique_ptr<IndexedInf> result;
        std::exception_ptr failed;
        if (indexer && !stopped()) {
            try {
                result = std::make_unique<IndexedInf>(indexed(*indexer, std::move(file)));
            } catch (...) {
                failed = std::current_exception();
            }
        }
        lock.lock();
        results[number] = std::move(result);
        if (failed && !failure)
            failure = failed;
        ++indexedCount;
        done.notify_all();
    }
}

std::vector<IndexedInf> InfWork::finish()
{
    if (!threads.empty()) {
        std::unique_lock<std::mutex> lock(mutex);
        closing = true;
        waiting.notify_all();
        while (indexedCount < found) {
            done.wait(lock);
            report(lock);
        }
        report(lock);  // the last file may have been indexed before the wait
        lock.unlock();
        for (std::thread& thread : threads)
            thread.join();
        threads.clear();
    }
    if (failure)
        std::rethrow_exception(failure);
    std::vector<IndexedInf> files;
    if (stopped())
        return files;
    files.reserve(results.size());
    for (std::unique_ptr<IndexedInf>& result : results)
        if (result)
            files.push_back(std::move(*result));
    results.clear();
    return files;
}

}
