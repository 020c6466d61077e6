// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFOLDERWORK_H
#define CORVANE_DRIVERFOLDERWORK_H

// The INF files a folder's walk finds, indexed on as many threads as are
// asked for while the walk goes on (driverFolder.h). The walk hands each
// file's bytes over and waits while too many are waiting; the files come
// back indexed in the order they were handed over, whichever thread took
// which. With one thread or none, each file is indexed as it comes, on the
// walk's own.
#include "driverFolderIndex.h"

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace driverIndex {

struct FoundInf {
    std::uint32_t place;
    std::string name;
    std::string bytes;
};

struct IndexedInf {
    std::uint32_t place;
    std::string name;
    FileIndex index;
};

class InfWork {
public:
    // `progress`, when given, is called on the walk's thread with the files
    // indexed of those found, as they change; `stop`, when set, drops what
    // is still waiting.
    InfWork(unsigned threads, const WindowsTarget& target,
            std::function<void(std::size_t indexed, std::size_t found)> progress, const std::atomic<bool>* stop);
    ~InfWork();
    InfWork(const InfWork&) = delete;
    InfWork& operator=(const InfWork&) = delete;

    void add(FoundInf found);
    // Every file handed over, indexed, in the order they came (none once
    // stopped); the first failure of a thread other than memory running
    // out (which its file's index says) goes on from here.
    std::vector<IndexedInf> finish();

private:
    void work();
    IndexedInf indexed(FileIndexer& indexer, FoundInf found);
    void report(std::unique_lock<std::mutex>& lock);
    bool stopped() const { return stop && stop->load(std::memory_order_relaxed); }

    WindowsTarget target;
    std::function<void(std::size_t, std::size_t)> progress;
    const std::atomic<bool>* stop;
    std::unique_ptr<FileIndexer> ownIndexer;  // without threads

    std::mutex mutex;
    std::condition_variable waiting, done;
    std::deque<std::pair<std::size_t, FoundInf>> queue;  // its number in the order found, and the file
    std::size_t queuedBytes = 0;
    std::vector<std::unique_ptr<IndexedInf>> results;  // by number
    std::size_t found = 0, indexedCount = 0, reported = 0;
    bool closing = false;
    std::exception_ptr failure;
    std::vector<std::thread> threads;
};

// The threads to index with when not told: one per processor.
unsigned defaultThreads();

}

#endif
