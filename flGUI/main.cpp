#include "flException.h"
#include "flMainForm.h"
#include "platform.h"
#include "platformWindow.h"

#include <FL/Fl.H>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

// corvane [FILE]: the machine's PCI devices, or those recorded in FILE (a
// Windows registry export or an lspci dump from another machine).
int main(int argc, char** argv)
{
    const std::vector<std::string> arguments = platform::arguments(argc, argv);
    if (arguments.size() > 1) {
        std::fprintf(stderr, "usage: corvane [FILE]\n");
        return 2;
    }
    flException::showBox = platform::showMessageBox;
    runReportingFailures([&arguments] {
        platform::hideConsole();
        auto form = arguments.empty() ? std::make_unique<flMainForm>() : std::make_unique<flMainForm>(arguments[0]);
        form->show();
        Fl::run();
    });
    return 0;
}
