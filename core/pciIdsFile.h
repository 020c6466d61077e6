// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_PCIIDSFILE_H
#define CORVANE_PCIIDSFILE_H

#include "mappedFile.h"

#include <string>
#include <string_view>

// The PCI ID Repository's list as a file, for looking names up in it
// (PciIdsNames): the path or, when that cannot be opened and ends in ".gz",
// the same without it; plain or gzip-compressed, told apart by the content.
// A plain list is mapped, not read; a compressed one is inflated within
// PciIdsLimits. A list that cannot be read, or exceeds those, is empty.
class PciIdsFile {
public:
    // `pages`: mapAhead where most of the list will be read (names of
    // hundreds of devices), mapOnUse where a few lines will.
    explicit PciIdsFile(const std::string& path, MappedFile::Pages pages = MappedFile::mapOnUse);

    std::string_view bytes() const { return text; }
    bool empty() const { return text.empty(); }

private:
    MappedFile mapped;
    std::string inflated;
    std::string_view text;
};

#endif
