#include "deviceOutline.h"

namespace {

// A line is text up to its first zero byte, which a devices.lst field may
// hold: no form of the outline can show more.
std::string lineText(const std::string& text)
{
    return text.substr(0, text.find('\0'));
}

}

DeviceOutline outlineOf(const DeviceRecord& device)
{
    const HardwareEntry& entry = device.entry;
    DeviceOutline outline = {
        {0, device.description},
        {1, "Windows"},
        {2, device.deviceClass},
        {2, device.manufacturer},
        {1, "Database"},
        {2, entry.getVendorId()},
        {2, entry.getDeviceId()},
        {2, entry.getText1()},
        {2, entry.getText3()},  // the database's third text comes before its second
        {2, entry.getText2()},
    };
    for (OutlineLine& line : outline)
        line.text = lineText(line.text);
    return outline;
}

void appendOutlineText(std::string& text, const DeviceOutline& outline)
{
    for (const OutlineLine& line : outline) {
        text.append(2 * static_cast<std::size_t>(line.depth), ' ');
        text += line.text;
        text += '\n';
    }
}
