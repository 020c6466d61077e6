// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceLineFeed.h"

#include <algorithm>
#include <utility>

void DeviceLineFeed::add(std::string text)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        waiting.push_back(std::move(text));
    }
    changed.notify_one();
}

void DeviceLineFeed::close()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closed = true;
    }
    changed.notify_one();
}

DeviceLineFeed::Widths DeviceLineFeed::measureUntilClosed(const Measure& measure)
{
    Widths measured;
    std::vector<std::string> taken;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex);
            changed.wait(lock, [this] { return closed || !waiting.empty(); });
            if (waiting.empty())
                return measured;  // closed, and every line measured
            taken.swap(waiting);  // measured without holding the reader up
        }
        measureLongestFirst(std::move(taken), measure, measured);
        taken.clear();
    }
}

void measureLongestFirst(std::vector<std::string> texts, const DeviceLineFeed::Measure& measure,
                         DeviceLineFeed::Widths& widths)
{
    // The longest first: a measure may then find the widest early, and need
    // not measure what cannot reach it.
    std::stable_sort(texts.begin(), texts.end(),
                     [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (std::string& text : texts) {
        const auto [line, isNew] = widths.try_emplace(std::move(text));
        if (isNew)
            line->second = measure(line->first);
    }
}
