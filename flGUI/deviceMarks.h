// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEMARKS_H
#define CORVANE_DEVICEMARKS_H

#include "deviceOutline.h"

class Fl_Image;

// The small picture a device line carries for its mark, as Device Manager
// marks its devices: a yellow warning sign for no driver or a problem, a
// grey circle with an arrow down for disabled, a blue question mark for not
// in the database; either of the first two with a small question mark at
// its lower right corner when the device is not in the database either. Drawn with the toolkit's shapes and text, so that it is
// sharp at any scale. Null for DeviceMark::none. The picture lives as long as
// the program; a tree line only points to it.
Fl_Image* markPicture(DeviceMark mark);

#endif
