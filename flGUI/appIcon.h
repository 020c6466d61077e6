// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_APPICON_H
#define CORVANE_APPICON_H

#include <string>
#include <vector>

// The program's icon, a PCI card, in 16 colours: pictures of 16, 24 and 32
// pixels square, each drawn for its size. Larger sizes grow one of them by
// whole pixels, so the icon stays sharp at every scale. The same pictures
// serve X11, Windows and the desktop's icon files.
struct IconPicture {
    int size;
    const char* const* rows;  // one character per pixel: '0'-'9', 'A'-'F' or '.' (transparent)
};

// The icon's resource identifier in the Windows programs (platform/corvane.rc).
constexpr int iconResourceId = 101;

const IconPicture& smallIcon();
const IconPicture& mediumIcon();
const IconPicture& largeIcon();

// The sizes the icon is made in, smallest first: the pictures' own, and 48,
// 64 and 256, for title bars, task bars and file managers at 100 to 200 per
// cent.
const std::vector<int>& iconSizes();
// The picture that fills `size` by a whole number of its pixels, the largest
// when several do; null when none does.
const IconPicture* pictureFor(int size);

// Red, green and blue of one of the 16 colours (the standard VGA palette).
struct IconColour {
    unsigned char red, green, blue;
};
IconColour iconPalette(int index);

// The picture as rows of red, green, blue, alpha bytes, top row first, grown
// to `size` (a whole multiple of its own; by default its own).
std::vector<unsigned char> iconRgba(const IconPicture& picture, int size = 0);

// Every size of iconSizes() as a Windows icon file (.ico, 4 bits per pixel
// with a transparency mask), the program's icon resource.
std::string iconFile();

#endif
