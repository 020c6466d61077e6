// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DRIVERCOLLECT_H
#define CORVANE_DRIVERCOLLECT_H

// The drivers a machine needs, copied out of the folders of drivers into a
// folder of their own, as pnputil and DISM take them: for every device
// with no driver, or that would get a better one, its best fit's package,
// once however many devices it is for, each in a folder of its own: its INF,
// its catalog and every file the INF names (InfPackageFiles), in the
// subfolders it gives; of a driver store package (DriverStore/FileRepository/
// <package>/) the package's whole folder. An archive's package is copied out
// of it. A README.txt names each device, its package and how to install them.
//
// Nothing is written outside the folder: a path an INF names is read below
// the INF's folder (a leading '\' is that folder, the distribution's root,
// as Windows reads it), and a name with a ".." part, a drive, a stream, a
// network path or characters Windows refuses is not copied. Names are
// looked up without regard to case, as Windows does; links are not
// followed. A package is written aside and moved into place once whole: it
// is there complete, or not at all. One whose files are missing is not
// copied, and said.
#include "DeviceRecord.h"
#include "directoryToFill.h"
#include "driverFit.h"
#include "windowsTarget.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A package to copy, and the devices it is for (not owned).
struct PackageToCollect {
    DriverFit fit;
    std::vector<const DeviceRecord*> devices;
};

// The packages a machine's devices need, in the devices' order.
std::vector<PackageToCollect> packagesToCollect(const std::vector<std::unique_ptr<DeviceRecord>>& devices);

struct CollectedPackage {
    std::string folder;  // its folder in the collection ("netkvm")
    DriverFit fit;
    std::vector<std::string> devices;  // each device's line, and why it is there
    // Why it was not copied ("3 files its INF names are missing"); empty once copied.
    std::string problem;
    std::size_t files = 0;
    std::uint64_t bytes = 0;
};

struct Collection {
    std::vector<CollectedPackage> packages;
    bool everyPackageCopied() const;
};

// What the collection is for, said in its README.
struct CollectionFor {
    std::string machine;  // the computer's name, or the file read
    std::string folder;   // the collection, as given
    std::string windows;  // describeWindowsTarget()
};

// Copies `packages` into `into` (DirectoryToFill: new or empty) and writes
// its README.txt. A folder that cannot be written (a full disk) is an
// flException naming it, the package being written removed first.
Collection collectDrivers(const std::vector<PackageToCollect>& packages, const platform::DirectoryToFill& into,
                          const CollectionFor& what, const WindowsTarget& target);

// What was collected, a line a package ("Copied netkvm: ...", "Not copied:
// ...: why"), then the one that sums it up: "2 driver packages for 3
// devices copied into DIR; 1 not copied (README.txt says why)". Shown as
// visibleText.h says. Past `mostPackages` packages (a box holds so many
// lines) one line says how many more the README names.
std::string collectionReport(const Collection& collection, const std::string& folder,
                             std::size_t mostPackages = SIZE_MAX);

#endif
