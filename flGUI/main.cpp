#include "flException.h"
#include "hardware.h"

int main()
{
    try {
        HardwareDatabase database("devices.lst");
    } catch (const flException& caught) {
        flException copy = caught;
        copy.reportAndExit();
    }
    return 0;
}
