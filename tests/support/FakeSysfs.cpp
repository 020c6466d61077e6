// SPDX-License-Identifier: GPL-2.0-or-later
#include "FakeSysfs.h"

#include <unistd.h>

#include <cstdio>

namespace {

std::string hexValue(unsigned value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%0*x\n", digits, value);
    return text;
}

const char* const testIds =
    "# a small list for the tests\n"
    "8086  Intel Corporation\n"
    "\t1237  440FX - 82441FX PMC [Natoma]\n"
    "\t7191  440BX/ZX/DX - 82443BX/ZX/DX AGP bridge\n"
    "\t10d3  82574L Gigabit Network Connection\n"
    "\t\t8086 a01f  Gigabit CT Desktop Adapter\n"
    "10ec  Realtek Semiconductor Co., Ltd.\n"
    "\t8168  RTL8111/8168/8411 PCI Express Gigabit Ethernet Controller\n"
    "C 02  Network controller\n"
    "\t00  Ethernet controller\n"
    "C 06  Bridge\n"
    "\t00  Host bridge\n"
    "\t04  PCI bridge\n"
    "C 0c  Serial bus controller\n";

}

FakeSysfs::FakeSysfs()
{
    dir.write("sys/devices/.keep", "");
    unlink(dir.file("sys/devices/.keep").c_str());
    dir.write("pci.ids", testIds);
    dir.write("modules/modprobe.conf", "");
}

void FakeSysfs::addModuleAlias(const std::string& pattern, const std::string& module)
{
    dir.write("modules/modprobe.conf", readFile(dir.file("modules/modprobe.conf")) + "alias " + pattern + " " + module + "\n");
}

LibpciDevices::Options FakeSysfs::options() const
{
    LibpciDevices::Options options(sysfsPath(), idsPath(), false);
    options.modulesDirectory = dir.file("modules");
    options.modulesConfig = dir.file("modules/modprobe.conf");
    return options;
}

void FakeSysfs::add(const FakeFunction& function)
{
    const std::string device = std::string("sys/devices/") + function.address + "/";
    dir.write(device + "vendor", hexValue(function.vendor, 4));
    dir.write(device + "device", hexValue(function.device, 4));
    dir.write(device + "subsystem_vendor", hexValue(function.subsystemVendor, 4));
    dir.write(device + "subsystem_device", hexValue(function.subsystemDevice, 4));
    dir.write(device + "revision", hexValue(function.revision, 2));
    dir.write(device + "class", hexValue(function.classCode, 6));
    if (function.modalias)
        dir.write(device + "modalias", std::string(function.modalias) + "\n");
    if (function.driver) {
        // As the kernel links it: relative to the device, to the driver's directory.
        dir.write(std::string("bus/pci/drivers/") + function.driver + "/.keep", "");
        const std::string target = std::string("../../../bus/pci/drivers/") + function.driver;
        symlink(target.c_str(), dir.file(device + "driver").c_str());
    }
}
