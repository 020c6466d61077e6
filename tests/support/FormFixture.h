// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_TESTS_FORMFIXTURE_H
#define CORVANE_TESTS_FORMFIXTURE_H

#include <gtest/gtest.h>  // before X11's macros, which the window's headers bring

#include "MemoryRegistry.h"
#include "TempDir.h"
#include "deviceSource.h"
#include "flMainForm.h"

#include <memory>
#include <string>

// Runs in a temporary working directory holding a devices.lst, so that a
// main form can be built there on a MemoryRegistry. No display is needed
// until a window is shown.
class FormFixture : public testing::Test {
protected:
    FormFixture();
    ~FormFixture() override;

    void writeDatabase(const std::string& bytes) { dir.write("devices.lst", bytes); }
    // Builds the form on `registry`, or on a file of devices when one is
    // given; what it writes to standard output is kept in `output`.
    std::unique_ptr<flMainForm> makeForm(const std::string& deviceFile = std::string());

    TempDir dir;
    MemoryRegistry registry;
    RegistryDevices registryDevices{registry};
    std::string output;

private:
    std::string previousDirectory;
};

#endif
