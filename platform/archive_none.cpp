// SPDX-License-Identifier: GPL-2.0-or-later
// A build without libarchive (the Windows programs, for which no build of
// it is made): archives are told by their names, and not read.
#include "archiveReader.h"

namespace archives {

bool supported()
{
    return false;
}

std::unique_ptr<Reader> openFile(std::FILE*, std::uint64_t, std::string& problem)
{
    problem = "this build reads no archives";
    return nullptr;
}

std::unique_ptr<Reader> openBytes(std::string_view, std::string& problem)
{
    problem = "this build reads no archives";
    return nullptr;
}

}
