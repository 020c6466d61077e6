#include "flException.h"
#include "flMainForm.h"
#include "platform/platform.h"

#include <FL/Fl.H>

#include <exception>
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
    } catch (const std::exception& unexpected) {
        // Nothing the program raises itself (running out of memory while the
        // tree is built, say): reported the same way rather than aborting.
        flException(__FILE__, __LINE__, unexpected.what()).reportAndExit();
    }
    return 0;
}
