// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERFIT_H
#define CORVANE_DRIVERFIT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A driver of a folder that fits a device: a models line of an INF file
// naming one of the device's IDs, ranked as Windows ranks it (driverFolder.h).
struct DriverFit {
    std::string inf;            // the INF's path below the folder given, '/'-separated
    std::string folder;         // the folder given (or archive)
    std::string model;          // the models line's description
    std::string provider;
    std::string infClass;
    std::string driverDate;     // ISO 8601, yyyy-mm-dd, or empty
    std::string driverVersion;  // w.x.y.z, or empty
    std::string matchedId;      // the INF's ID that matched, as written there
    std::uint32_t rank;
    bool signedPackage;
    // Of an INF in an archive, the archives it is in, the outermost first:
    // the first a file, its path below the folder given (empty where the
    // archive is the one given), an archive in it by its path there. `inf`
    // is their paths and the INF's in the last, joined by '/'.
    std::vector<std::string> archives = {};
};

// What a fit is against the device's installed driver (installedDriver.h):
// the installed one itself, one Windows would choose over it that is newer,
// one it would choose for its rank alone; none for a fit it would not choose
// over it, or when there is nothing to compare.
enum class FitStanding { none, installed, newer, betterMatch };

// The drivers that fit a device, the best first, as many as are listed
// (maxListedFits), and how many more fit.
struct DriverFits {
    std::vector<DriverFit> best;
    std::size_t more = 0;
};

#endif
