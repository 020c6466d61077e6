// SPDX-License-Identifier: GPL-2.0-or-later
// Device lines handed from a reading thread to the window's: every text
// measured once, and the window's thread never left waiting.
#include <gtest/gtest.h>

#include "deviceLineFeed.h"

#include <map>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

// The widths found, by text, sorted for comparing.
std::map<std::string, int> widthsOf(const DeviceLineFeed::Widths& measured)
{
    std::map<std::string, int> widths;
    for (const auto& [text, label] : measured)
        widths[text] = label.width;
    return widths;
}

// A reader that feeds the lines "0", "1", ... "count-1", each `times`
// times, then fails when `failing`; its feed is closed either way, as the
// form's is.
void read(DeviceLineFeed& feed, int count, int times, bool failing)
{
    const DeviceLineFeed::ClosedAtEnd closing(feed);
    for (int time = 0; time < times; ++time)
        for (int i = 0; i < count; ++i)
            feed.add(std::to_string(i));
    if (failing)
        throw std::runtime_error("the file went away");
}

TEST(DeviceLineFeed, MeasuresEveryTextOnceUntilClosed)
{
    for (const int count : {0, 1, 5000}) {
        for (const bool failing : {false, true}) {
            DeviceLineFeed feed;
            std::thread reader([&feed, count, failing] {
                try {
                    read(feed, count, 2, failing);
                } catch (const std::runtime_error&) {
                }
            });
            int measures = 0;
            const auto measured = feed.measureUntilClosed([&measures](const std::string& text) {
                ++measures;
                MeasuredLabel label;
                label.width = std::stoi(text) * 10;
                return label;
            });
            reader.join();
            std::map<std::string, int> expected;
            for (int i = 0; i < count; ++i)
                expected[std::to_string(i)] = i * 10;
            EXPECT_EQ(widthsOf(measured), expected) << count << " lines, failing " << failing;
            EXPECT_EQ(measures, count) << "each text once";
        }
    }
}

TEST(DeviceLineFeed, LinesFedBeforeTheWindowAsksAreMeasuredToo)
{
    DeviceLineFeed feed;
    read(feed, 3, 1, false);  // all of it done before the display opened
    const auto measured = feed.measureUntilClosed([](const std::string&) { return MeasuredLabel{7}; });
    EXPECT_EQ(widthsOf(measured), (std::map<std::string, int>{{"0", 7}, {"1", 7}, {"2", 7}}));
}

}
