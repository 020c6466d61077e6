// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_ARCHIVEWRITER_H
#define CORVANE_TESTS_ARCHIVEWRITER_H

// Archives made in memory for the tests, through libarchive's writer: any
// names, links, and entries of zeros too large to hold.
#include <cstdint>
#include <string>
#include <vector>

struct ArchiveItem {
    enum Kind { file, directory, symlink };
    std::string path;
    std::string bytes;             // a file's, or a link's target
    Kind kind = file;
    std::uint64_t zeros = 0;       // a file of this many zero bytes, written piece by piece, instead
};

// An archive of `format`: "zip", "7z", "tar", "tar.gz", "tar.xz".
std::string makeArchive(const std::string& format, const std::vector<ArchiveItem>& items);

// The files below `folder`, each as an item named by its path there, in the order of their paths.
std::vector<ArchiveItem> folderItems(const std::string& folder);

#endif
