// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICELINEFEED_H
#define CORVANE_DEVICELINEFEED_H

#include "DeviceTree.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

// Device lines handed from the thread that reads the devices to the
// window's, which measures their labels while the rest are read: on a
// machine of thousands of devices the tree's first drawing then has none
// left to measure, and that measuring took as long as the reading.
class DeviceLineFeed {
public:
    using Measure = std::function<MeasuredLabel(const std::string& text)>;

    // Reading thread: the text of a device's line.
    void add(std::string text);
    // Reading thread: no more lines, at the end or when the reading failed.
    void close();
    // Closes the feed when it goes, however the reading ends.
    class ClosedAtEnd {
    public:
        explicit ClosedAtEnd(DeviceLineFeed& feed) : feed(feed) {}
        ~ClosedAtEnd() { feed.close(); }
        ClosedAtEnd(const ClosedAtEnd&) = delete;
        ClosedAtEnd& operator=(const ClosedAtEnd&) = delete;

    private:
        DeviceLineFeed& feed;
    };

    // Window's thread: measures the lines as they come until the feed is
    // closed. The widths by the lines' texts: a text that comes again (the
    // functions of one card, drives of one model) is measured once.
    using Widths = std::unordered_map<std::string, MeasuredLabel>;
    Widths measureUntilClosed(const Measure& measure);

private:
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> waiting;
    bool closed = false;
};

// Measures `texts` into `widths`, the longest first, each text once (one
// measured before is left as it was).
void measureLongestFirst(std::vector<std::string> texts, const DeviceLineFeed::Measure& measure,
                         DeviceLineFeed::Widths& widths);

#endif
