// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_MARKPICTURES_H
#define CORVANE_MARKPICTURES_H

#include "deviceOutline.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The pictures of the marks a device line carries (DeviceMark), as Device
// Manager marks its devices: a yellow warning sign for no driver or a
// problem, a grey circle with an arrow down for disabled, a blue question
// mark for not in the database; either of the first two with a small
// question mark at its lower right corner when the device is not in the
// database either. One description of their shapes, which the window draws
// with the toolkit and the HTML report writes as SVG, so that the two always
// show the same pictures.
//
// Each picture is a list of shapes on a grid of 16 by 16 units, painted in
// order, later ones over earlier ones.
struct MarkColour {
    std::uint8_t red, green, blue;
};

struct MarkShape {
    enum class Kind {
        polygon,         // filled: `corners`
        polygonOutline,  // a line of one unit through `corners`, closed
        ellipse,         // filled, within the box
        ellipseOutline,  // a line of one unit along the inside of the box
        rectangle,       // filled: the box (at least one pixel each way when drawn small)
        glyph,           // `glyph` in a bold sans-serif of `glyphSize` units, centred in the box
    };
    Kind kind;
    MarkColour colour;
    std::vector<std::array<int, 2>> corners;  // x, y
    int x = 0, y = 0, width = 0, height = 0;  // the box
    const char* glyph = "";
    int glyphSize = 0;
    int glyphMinimumPixels = 0;  // the glyph is never drawn smaller, to stay legible at 16 pixels
};

// Every mark with a picture, DeviceMark::none aside.
inline constexpr std::array<DeviceMark, 5> picturedMarks = {DeviceMark::problem, DeviceMark::disabled,
                                                            DeviceMark::notInDatabase, DeviceMark::problemNotInDatabase,
                                                            DeviceMark::disabledNotInDatabase};

// The shapes of a mark; empty for DeviceMark::none.
const std::vector<MarkShape>& markShapes(DeviceMark mark);

// What a mark says, for people who cannot see the picture: "No driver or a
// problem", "Disabled; not in the database".
std::string markDescription(DeviceMark mark);

// The picture as SVG shapes of a 16 by 16 viewBox, for an <svg> or
// <symbol> element around them.
std::string markSvgShapes(DeviceMark mark);

#endif
