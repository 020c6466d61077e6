// SPDX-License-Identifier: GPL-2.0-or-later
// What every backend of archiveReader.h shares: the names of archives and
// of their entries, and the budget.
#include "archiveReader.h"

#include "text.h"

#include <array>
#include <vector>

namespace archives {

bool isArchiveName(std::string_view name)
{
    static constexpr std::array<std::string_view, 10> endings = {
        ".cab", ".zip", ".7z", ".tar", ".tgz", ".tar.gz", ".txz", ".tar.xz", ".tbz2", ".tar.bz2"};
    for (const std::string_view ending : endings)
        if (name.size() > ending.size() && text::equalAsciiFolded(name.substr(name.size() - ending.size()), ending))
            return true;
    return false;
}

std::uint64_t inflationBudget(std::uint64_t size)
{
    constexpr std::uint64_t floor = 64ull << 20;
    constexpr std::uint64_t ratio = 100;
    return size > (UINT64_MAX - floor) / ratio ? UINT64_MAX : floor + size * ratio;
}

Entry entryNamed(std::string_view recorded, bool regularFile)
{
    Entry entry;
    entry.regularFile = regularFile;
    entry.leavesArchive = !recorded.empty() && (recorded.front() == '/' || recorded.front() == '\\');
    std::size_t start = 0;
    while (start <= recorded.size()) {
        std::size_t end = recorded.find_first_of("/\\", start);
        if (end == std::string_view::npos)
            end = recorded.size();
        const std::string_view part = recorded.substr(start, end - start);
        if (part == "..")
            entry.leavesArchive = true;
        if (!part.empty() && part != ".")
            entry.path.append(entry.path.empty() ? "" : "/").append(part);
        start = end + 1;
    }
    return entry;
}

}
