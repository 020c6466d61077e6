// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGISTRY_WIN32_H
#define CORVANE_REGISTRY_WIN32_H

#include "registry.h"

// Windows: the system's own registry, whose PCI branch is this machine's devices.
Registry& windowsRegistry();

#endif
