#include "flException.h"
#include "flMainForm.h"
#include "platform/platform.h"

#include <FL/Fl.H>

#include <memory>

int main()
{
    runReportingFailures([] {
        platform::hideConsole();
        auto form = std::make_unique<flMainForm>();
        form->show();
        Fl::run();
    });
    return 0;
}
