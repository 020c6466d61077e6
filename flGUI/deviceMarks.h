// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEMARKS_H
#define CORVANE_DEVICEMARKS_H

#include "deviceOutline.h"

#include <FL/Enumerations.H>

#include <utility>
#include <vector>

class Fl_Image;

// The small picture a device line carries for its mark: the shapes that
// markPictures.h describes, drawn with the toolkit's shapes and text, so
// that it is sharp at any scale and the HTML report shows the same. Null
// for DeviceMark::none. The picture lives as long as the program; a tree
// line only points to it.
Fl_Image* markPicture(DeviceMark mark);

// The fonts and sizes the marks' glyphs are drawn in, each once.
std::vector<std::pair<Fl_Font, Fl_Fontsize>> markGlyphFonts();

#endif
