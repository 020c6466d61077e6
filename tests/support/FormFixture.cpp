#include "FormFixture.h"

#include <filesystem>

FormFixture::FormFixture() : previousDirectory(std::filesystem::current_path().string())
{
    std::filesystem::current_path(dir.path());
    writeDatabase("\"0x8086\",\"0x10D3\",\"Intel Corporation\",\"sample\",\"82574L\"\n");
}

FormFixture::~FormFixture()
{
    std::filesystem::current_path(previousDirectory);
}

std::unique_ptr<flMainForm> FormFixture::makeForm()
{
    testing::internal::CaptureStdout();
    std::unique_ptr<flMainForm> form;
    try {
        form = std::make_unique<flMainForm>(registry);
    } catch (...) {
        output = testing::internal::GetCapturedStdout();
        throw;
    }
    output = testing::internal::GetCapturedStdout();
    return form;
}
