// SPDX-License-Identifier: GPL-2.0-or-later
#include "deviceMarks.h"

#include "markPictures.h"

#include <FL/Enumerations.H>
#include <FL/Fl_Image.H>
#include <FL/fl_draw.H>

#include <algorithm>

namespace {

constexpr Fl_Font glyphFace = FL_HELVETICA_BOLD;
constexpr int pictureSize = 16;

int glyphPixels(const MarkShape& glyph, int size)
{
    return std::max(glyph.glyphMinimumPixels, glyph.glyphSize * size / 16);
}

// The shapes of markPictures.h, drawn on the picture's size as on a grid of 16 by 16 units.
class MarkPicture : public Fl_Image {
public:
    MarkPicture(DeviceMark mark, int size) : Fl_Image(size, size, 0), mark(mark) {}

    Fl_Image* copy(int W, int H) const override { return new MarkPicture(mark, std::max(1, std::min(W, H))); }

    void draw(int X, int Y, int W, int H, int, int) override
    {
        fl_push_clip(X, Y, W, H);
        const Grid grid{X, Y, w()};
        for (const MarkShape& shape : markShapes(mark))
            drawShape(grid, shape);
        fl_pop_clip();
    }

private:
    struct Grid {
        int x, y, size;
        int at(int units) const { return units * size / 16; }
        int px(int units) const { return x + at(units); }
        int py(int units) const { return y + at(units); }
    };

    static void drawShape(const Grid& g, const MarkShape& shape)
    {
        fl_color(fl_rgb_color(shape.colour.red, shape.colour.green, shape.colour.blue));
        switch (shape.kind) {
        case MarkShape::Kind::polygon:
        case MarkShape::Kind::polygonOutline:
            drawPolygon(g, shape);
            break;
        case MarkShape::Kind::ellipse:
            fl_pie(g.px(shape.x), g.py(shape.y), g.at(shape.width), g.at(shape.height), 0, 360);
            break;
        case MarkShape::Kind::ellipseOutline:
            fl_arc(g.px(shape.x), g.py(shape.y), g.at(shape.width), g.at(shape.height), 0, 360);
            break;
        case MarkShape::Kind::rectangle:
            fl_rectf(g.px(shape.x), g.py(shape.y), std::max(1, g.at(shape.width)), std::max(1, g.at(shape.height)));
            break;
        case MarkShape::Kind::glyph:
            fl_font(glyphFace, glyphPixels(shape, g.size));
            fl_draw(shape.glyph, g.px(shape.x), g.py(shape.y), g.at(shape.width), g.at(shape.height), FL_ALIGN_CENTER,
                    nullptr, 0);
            break;
        }
    }

    // The toolkit's integer polygons: triangles and quadrilaterals, which is all a mark has.
    static void drawPolygon(const Grid& g, const MarkShape& shape)
    {
        const auto& c = shape.corners;
        const bool filled = shape.kind == MarkShape::Kind::polygon;
        if (c.size() == 3 && filled)
            fl_polygon(g.px(c[0][0]), g.py(c[0][1]), g.px(c[1][0]), g.py(c[1][1]), g.px(c[2][0]), g.py(c[2][1]));
        else if (c.size() == 3)
            fl_loop(g.px(c[0][0]), g.py(c[0][1]), g.px(c[1][0]), g.py(c[1][1]), g.px(c[2][0]), g.py(c[2][1]));
        else if (c.size() == 4 && filled)
            fl_polygon(g.px(c[0][0]), g.py(c[0][1]), g.px(c[1][0]), g.py(c[1][1]), g.px(c[2][0]), g.py(c[2][1]),
                       g.px(c[3][0]), g.py(c[3][1]));
        else if (c.size() == 4)
            fl_loop(g.px(c[0][0]), g.py(c[0][1]), g.px(c[1][0]), g.py(c[1][1]), g.px(c[2][0]), g.py(c[2][1]),
                    g.px(c[3][0]), g.py(c[3][1]));
    }

    DeviceMark mark;
};

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

std::vector<std::pair<Fl_Font, Fl_Fontsize>> markGlyphFonts()
{
    std::vector<std::pair<Fl_Font, Fl_Fontsize>> fonts;
    for (const DeviceMark mark : picturedMarks)
        for (const MarkShape& shape : markShapes(mark)) {
            const std::pair<Fl_Font, Fl_Fontsize> font{glyphFace, glyphPixels(shape, pictureSize)};
            if (shape.kind == MarkShape::Kind::glyph && std::find(fonts.begin(), fonts.end(), font) == fonts.end())
                fonts.push_back(font);
        }
    return fonts;
}
