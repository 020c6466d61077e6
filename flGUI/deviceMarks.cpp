// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceMarks.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace {

// Drawn on a grid of 16 by 16 units, scaled to the picture's size.
class MarkPicture : public Fl_Image {
public:
    MarkPicture(DeviceMark mark, int size) : Fl_Image(size, size, 0), mark(mark) {}

    Fl_Image* copy(int W, int H) const override { return new MarkPicture(mark, std::max(1, std::min(W, H))); }

    void draw(int X, int Y, int W, int H, int, int) override
    {
        fl_push_clip(X, Y, W, H);
        const Grid grid{X, Y, w()};
        switch (mark) {
        case DeviceMark::problem: drawWarning(grid); break;
        case DeviceMark::disabled: drawDisabled(grid); break;
        case DeviceMark::notInDatabase: drawUnknown(grid); break;
        case DeviceMark::problemNotInDatabase: drawWarning(grid); drawUnknownBadge(grid); break;
        case DeviceMark::disabledNotInDatabase: drawDisabled(grid); drawUnknownBadge(grid); break;
        case DeviceMark::none: break;
        }
        fl_pop_clip();
    }

private:
    struct Grid {
        int x, y, size;
        int at(int units) const { return units * size / 16; }
        int px(int units) const { return x + at(units); }
        int py(int units) const { return y + at(units); }
    };

    static void drawWarning(const Grid& g)
    {
        fl_color(fl_rgb_color(250, 200, 30));
        fl_polygon(g.px(8), g.py(1), g.px(15), g.py(14), g.px(1), g.py(14));
        fl_color(fl_rgb_color(130, 90, 0));
        fl_loop(g.px(8), g.py(1), g.px(15), g.py(14), g.px(1), g.py(14));
        fl_color(FL_BLACK);
        fl_rectf(g.px(7), g.py(5), std::max(1, g.at(2)), std::max(1, g.at(5)));
        fl_rectf(g.px(7), g.py(11), std::max(1, g.at(2)), std::max(1, g.at(2)));
    }

    static void drawDisabled(const Grid& g)
    {
        fl_color(fl_rgb_color(225, 225, 225));
        fl_pie(g.px(1), g.py(1), g.at(14), g.at(14), 0, 360);
        fl_color(fl_rgb_color(90, 90, 90));
        fl_arc(g.px(1), g.py(1), g.at(14), g.at(14), 0, 360);
        fl_color(FL_BLACK);
        fl_rectf(g.px(7), g.py(4), std::max(1, g.at(2)), std::max(1, g.at(5)));
        fl_polygon(g.px(4), g.py(8), g.px(12), g.py(8), g.px(8), g.py(12));
    }

    static void drawUnknown(const Grid& g)
    {
        fl_color(fl_rgb_color(50, 110, 210));
        fl_pie(g.px(1), g.py(1), g.at(14), g.at(14), 0, 360);
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA_BOLD, std::max(6, g.at(12)));
        fl_draw("?", g.px(1), g.py(1), g.at(14), g.at(14), FL_ALIGN_CENTER, nullptr, 0);
    }

    // The question mark, small, over the lower right corner of another mark:
    // white-rimmed, so that it stands apart from what it covers.
    static void drawUnknownBadge(const Grid& g)
    {
        fl_color(FL_WHITE);
        fl_pie(g.px(8), g.py(8), g.at(8), g.at(8), 0, 360);
        fl_color(fl_rgb_color(50, 110, 210));
        fl_pie(g.px(9), g.py(9), g.at(7), g.at(7), 0, 360);
        fl_color(FL_WHITE);
        fl_font(FL_HELVETICA_BOLD, std::max(5, g.at(7)));
        fl_draw("?", g.px(9), g.py(9), g.at(7), g.at(7), FL_ALIGN_CENTER, nullptr, 0);
    }

    DeviceMark mark;
};

constexpr int pictureSize = 16;

}

Fl_Image* markPicture(DeviceMark mark)
{
    static MarkPicture problem(DeviceMark::problem, pictureSize);
    static MarkPicture disabled(DeviceMark::disabled, pictureSize);
    static MarkPicture unknown(DeviceMark::notInDatabase, pictureSize);
    static MarkPicture problemUnknown(DeviceMark::problemNotInDatabase, pictureSize);
    static MarkPicture disabledUnknown(DeviceMark::disabledNotInDatabase, pictureSize);
    switch (mark) {
    case DeviceMark::problem: return &problem;
    case DeviceMark::disabled: return &disabled;
    case DeviceMark::notInDatabase: return &unknown;
    case DeviceMark::problemNotInDatabase: return &problemUnknown;
    case DeviceMark::disabledNotInDatabase: return &disabledUnknown;
    case DeviceMark::none: break;
    }
    return nullptr;
}
