#ifndef CORVANE_APPICON_H
#define CORVANE_APPICON_H

#include <string>
#include <vector>

// The program's icon, a PCI card, in 16 colours: one picture of 16 by 16
// pixels and one of 32 by 32. The same pictures serve X11 and Windows.
struct IconPicture {
    int size;
    const char* const* rows;  // one character per pixel: '0'-'9', 'A'-'F' or '.' (transparent)
};

// The icon's resource identifier in the Windows programs (platform/corvane.rc).
constexpr int iconResourceId = 101;

const IconPicture& smallIcon();
const IconPicture& largeIcon();

// Red, green and blue of one of the 16 colours (the standard VGA palette).
struct IconColour {
    unsigned char red, green, blue;
};
IconColour iconPalette(int index);

// The picture as rows of red, green, blue, alpha bytes, top row first.
std::vector<unsigned char> iconRgba(const IconPicture& picture);

// Both pictures as a Windows icon file (.ico, 4 bits per pixel with a
// transparency mask), the program's icon resource.
std::string iconFile();

#endif
