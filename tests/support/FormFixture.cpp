// SPDX-License-Identifier: GPL-2.0-or-later
#include "FormFixture.h"

#include "flException.h"
#include "platformWindow.h"

#include <filesystem>

FormFixture::FormFixture() : previousDirectory(std::filesystem::current_path().string())
{
    flException::showBox = platform::showMessageBox;  // as the window program does
    std::filesystem::current_path(dir.path());
    writeDatabase("\"0x8086\",\"0x10D3\",\"Intel Corporation\",\"sample\",\"82574L\"\n");
}

FormFixture::~FormFixture()
{
    std::filesystem::current_path(previousDirectory);
}

std::unique_ptr<flMainForm> FormFixture::makeForm(const std::string& deviceFile)
{
    testing::internal::CaptureStdout();
    std::unique_ptr<flMainForm> form;
    try {
        form = deviceFile.empty() ? std::make_unique<flMainForm>(registryDevices) : std::make_unique<flMainForm>(deviceFile);
    } catch (...) {
        output = testing::internal::GetCapturedStdout();
        throw;
    }
    output = testing::internal::GetCapturedStdout();
    return form;
}
