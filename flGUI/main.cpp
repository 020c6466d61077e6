#include "flException.h"
#include "flMainForm.h"
#include "platform/platform.h"

#include <FL/Fl.H>

#include <memory>

int main()
{
    try {
        platform::hideConsole();
        auto form = std::make_unique<flMainForm>();
        form->show();
        Fl::run();
    } catch (const flException& caught) {
        flException copy = caught;
        copy.reportAndExit();
    }
    return 0;
}
