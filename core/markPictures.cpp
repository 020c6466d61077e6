// SPDX-License-Identifier: GPL-2.0-or-later
#include "markPictures.h"

#include <cstdio>

namespace {

using Kind = MarkShape::Kind;

constexpr MarkColour black{0, 0, 0};
constexpr MarkColour white{255, 255, 255};
constexpr MarkColour blue{50, 110, 210};

MarkShape polygon(Kind kind, MarkColour colour, std::vector<std::array<int, 2>> corners)
{
    MarkShape shape{kind, colour, std::move(corners)};
    return shape;
}

MarkShape boxed(Kind kind, MarkColour colour, int x, int y, int width, int height)
{
    MarkShape shape{kind, colour, {}};
    shape.x = x;
    shape.y = y;
    shape.width = width;
    shape.height = height;
    return shape;
}

MarkShape glyph(MarkColour colour, int x, int y, int size, int glyphSize, int minimumPixels)
{
    MarkShape shape = boxed(Kind::glyph, colour, x, y, size, size);
    shape.glyph = "?";
    shape.glyphSize = glyphSize;
    shape.glyphMinimumPixels = minimumPixels;
    return shape;
}

std::vector<MarkShape> warning()
{
    const std::vector<std::array<int, 2>> triangle = {{8, 1}, {15, 14}, {1, 14}};
    return {polygon(Kind::polygon, {250, 200, 30}, triangle), polygon(Kind::polygonOutline, {130, 90, 0}, triangle),
            boxed(Kind::rectangle, black, 7, 5, 2, 5), boxed(Kind::rectangle, black, 7, 11, 2, 2)};
}

std::vector<MarkShape> disabled()
{
    return {boxed(Kind::ellipse, {225, 225, 225}, 1, 1, 14, 14), boxed(Kind::ellipseOutline, {90, 90, 90}, 1, 1, 14, 14),
            boxed(Kind::rectangle, black, 7, 4, 2, 5), polygon(Kind::polygon, black, {{4, 8}, {12, 8}, {8, 12}})};
}

std::vector<MarkShape> unknown()
{
    return {boxed(Kind::ellipse, blue, 1, 1, 14, 14), glyph(white, 1, 1, 14, 12, 6)};
}

// The question mark, small, over the lower right corner of another mark:
// white-rimmed, so that it stands apart from what it covers.
std::vector<MarkShape> withUnknownBadge(std::vector<MarkShape> shapes)
{
    shapes.push_back(boxed(Kind::ellipse, white, 8, 8, 8, 8));
    shapes.push_back(boxed(Kind::ellipse, blue, 9, 9, 7, 7));
    shapes.push_back(glyph(white, 9, 9, 7, 7, 5));
    return shapes;
}

std::string colourText(MarkColour colour)
{
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", colour.red, colour.green, colour.blue);
    return text;
}

// Units and half units, as SVG takes them.
std::string number(int halfUnits)
{
    return std::to_string(halfUnits / 2) + (halfUnits % 2 ? ".5" : "");
}

std::string svgOf(const MarkShape& shape)
{
    const std::string colour = colourText(shape.colour);
    const auto centre = [&](int at, int size) { return number(2 * at + size); };
    switch (shape.kind) {
    case Kind::polygon:
    case Kind::polygonOutline: {
        std::string points;
        for (const auto& corner : shape.corners)
            points += (points.empty() ? "" : " ") + std::to_string(corner[0]) + "," + std::to_string(corner[1]);
        return "<polygon points=\"" + points + "\"" +
               (shape.kind == Kind::polygon ? " fill=\"" + colour + "\""
                                            : " fill=\"none\" stroke=\"" + colour + "\" stroke-linejoin=\"round\"") +
               "/>";
    }
    case Kind::ellipse:
        return "<ellipse cx=\"" + centre(shape.x, shape.width) + "\" cy=\"" + centre(shape.y, shape.height) +
               "\" rx=\"" + number(shape.width) + "\" ry=\"" + number(shape.height) + "\" fill=\"" + colour + "\"/>";
    case Kind::ellipseOutline:  // the line inside the box, half a unit in
        return "<ellipse cx=\"" + centre(shape.x, shape.width) + "\" cy=\"" + centre(shape.y, shape.height) +
               "\" rx=\"" + number(shape.width - 1) + "\" ry=\"" + number(shape.height - 1) +
               "\" fill=\"none\" stroke=\"" + colour + "\"/>";
    case Kind::rectangle:
        return "<rect x=\"" + std::to_string(shape.x) + "\" y=\"" + std::to_string(shape.y) + "\" width=\"" +
               std::to_string(shape.width) + "\" height=\"" + std::to_string(shape.height) + "\" fill=\"" + colour +
               "\"/>";
    case Kind::glyph:
        return "<text x=\"" + centre(shape.x, shape.width) + "\" y=\"" + centre(shape.y, shape.height) +
               "\" font-size=\"" + std::to_string(shape.glyphSize) +
               "\" font-family=\"Helvetica, Arial, sans-serif\" font-weight=\"bold\" text-anchor=\"middle\" "
               "dominant-baseline=\"central\" fill=\"" + colour + "\">" + shape.glyph + "</text>";
    }
    return std::string();
}

}

const std::vector<MarkShape>& markShapes(DeviceMark mark)
{
    static const std::vector<MarkShape> none;
    static const std::vector<MarkShape> problem = warning();
    static const std::vector<MarkShape> off = disabled();
    static const std::vector<MarkShape> notInDatabase = unknown();
    static const std::vector<MarkShape> problemNotInDatabase = withUnknownBadge(warning());
    static const std::vector<MarkShape> disabledNotInDatabase = withUnknownBadge(disabled());
    switch (mark) {
    case DeviceMark::problem: return problem;
    case DeviceMark::disabled: return off;
    case DeviceMark::notInDatabase: return notInDatabase;
    case DeviceMark::problemNotInDatabase: return problemNotInDatabase;
    case DeviceMark::disabledNotInDatabase: return disabledNotInDatabase;
    case DeviceMark::none: break;
    }
    return none;
}

std::string markDescription(DeviceMark mark)
{
    switch (mark) {
    case DeviceMark::problem: return "No driver or a problem";
    case DeviceMark::disabled: return "Disabled";
    case DeviceMark::notInDatabase: return "Not in the database";
    case DeviceMark::problemNotInDatabase: return "No driver or a problem; not in the database";
    case DeviceMark::disabledNotInDatabase: return "Disabled; not in the database";
    case DeviceMark::none: break;
    }
    return std::string();
}

std::string markSvgShapes(DeviceMark mark)
{
    std::string svg;
    for (const MarkShape& shape : markShapes(mark))
        svg += svgOf(shape);
    return svg;
}
