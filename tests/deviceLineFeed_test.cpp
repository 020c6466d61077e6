// SPDX-License-Identifier: GPL-2.0-or-later
// Device lines handed from a reading thread to the window's: every line
// measured once, in order, and the window's thread never left waiting.
#include <gtest/gtest.h>

#include "deviceLineFeed.h"

#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {

MeasuredLabel byLength(const std::string& text)
{
    MeasuredLabel measured;
    measured.width = static_cast<int>(text.size());
    return measured;
}

std::vector<int> widthsOf(const std::vector<MeasuredLabel>& measured)
{
    std::vector<int> widths;
    for (const MeasuredLabel& label : measured)
        widths.push_back(label.width);
    return widths;
}

// A reader that feeds `count` lines of 0, 1, 2... characters, then fails
// when `failing`; its feed is closed either way, as the form closes it.
void read(DeviceLineFeed& feed, int count, bool failing)
{
    const DeviceLineFeed::ClosedAtEnd closing(feed);
    for (int i = 0; i < count; ++i)
        feed.add(std::string(static_cast<std::size_t>(i), 'x'));
    if (failing)
        throw std::runtime_error("the file went away");
}

TEST(DeviceLineFeed, MeasuresEveryLineInOrderUntilClosed)
{
    for (const int count : {0, 1, 5000}) {
        for (const bool failing : {false, true}) {
            DeviceLineFeed feed;
            std::thread reader([&feed, count, failing] {
                try {
                    read(feed, count, failing);
                } catch (const std::runtime_error&) {
                }
            });
            const std::vector<MeasuredLabel> measured = feed.measureUntilClosed(byLength);
            reader.join();
            std::vector<int> expected;
            for (int i = 0; i < count; ++i)
                expected.push_back(i);
            EXPECT_EQ(widthsOf(measured), expected) << count << " lines, failing " << failing;
        }
    }
}

TEST(DeviceLineFeed, LinesFedBeforeTheWindowAsksAreMeasuredToo)
{
    DeviceLineFeed feed;
    read(feed, 3, false);  // all of it done before the display opened
    EXPECT_EQ(widthsOf(feed.measureUntilClosed(byLength)), (std::vector<int>{0, 1, 2}));
}

}
