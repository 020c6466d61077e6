// SPDX-License-Identifier: GPL-2.0-or-later
// A build without libhivex (cmake/hivex.cmake): hives are told apart from
// other files, and not read.
#include "registryHive.h"

std::optional<registryHive::Reading> readRegistryHive(const platform::OpenedFile&, std::string_view)
{
    return std::nullopt;
}
