#include "flMainForm.h"

#include "DeviceTree.h"
#include "appIcon.h"
#include "flException.h"
#include "platform/registry.h"

#include <FL/Fl_Double_Window.H>
#include <FL/Fl_RGB_Image.H>
#ifdef _WIN32
#include <windows.h>
#endif

#include <utility>

namespace {

const char* const windowTitle = "Corvane 1.5.1 Release 12/17/2011'";

#ifdef _WIN32
// The program's icon resource, in the two sizes the system asks for; FLTK
// itself would show the system's default icon. They are handed over as
// FLTK's default icons, not the window's own: FLTK 1.3 drops a window's own
// icons when it registers its window class, which the first window does.
// FLTK copies them.
void setWindowIcons(Fl_Window&)
{
    const HINSTANCE program = GetModuleHandleA(nullptr);
    const auto load = [program](int width, int height) {
        return static_cast<HICON>(LoadImageA(program, MAKEINTRESOURCEA(iconResourceId), IMAGE_ICON,
                                             GetSystemMetrics(width), GetSystemMetrics(height), 0));
    };
    const HICON large = load(SM_CXICON, SM_CYICON), small = load(SM_CXSMICON, SM_CYSMICON);
    Fl_Window::default_icons(large, small);
    for (HICON icon : {large, small})
        if (icon)
            DestroyIcon(icon);
}
#else
// Raw RGBA images need no display; the window copies them.
void setWindowIcons(Fl_Window& window)
{
    const std::vector<unsigned char> small = iconRgba(smallIcon()), large = iconRgba(largeIcon());
    const Fl_RGB_Image smallImage(small.data(), smallIcon().size, smallIcon().size, 4);
    const Fl_RGB_Image largeImage(large.data(), largeIcon().size, largeIcon().size, 4);
    const Fl_RGB_Image* images[] = {&smallImage, &largeImage};
    window.icons(images, 2);
}
#endif

}

flMainForm::flMainForm() : flMainForm(systemRegistry())
{
}

flMainForm::flMainForm(Registry& registry)
    : flBaseForm(800, 600, windowTitle), registry(registry)
{
    setWindowIcons(*window);
    loadDevices(true);
    flMainForm::createWidgets();
}

flMainForm::~flMainForm() = default;

void flMainForm::loadDevices(bool firstLoad)
{
    auto previousDatabase = std::exchange(database, std::make_unique<HardwareDatabase>(databasePath(), firstLoad));
    auto previousDevices = std::exchange(devices, {});
    try {
        scanPciRegistry();
    } catch (...) {
        database = std::move(previousDatabase);
        devices = std::move(previousDevices);
        throw;
    }
}

void flMainForm::rescan()
{
    if (rescanning)  // F5 again while the box of a failed one is up
        return;
    rescanning = true;
    try {
        loadDevices(false);
        fillTree();
    } catch (const flException& failure) {
        failure.reportAndContinue();
    } catch (const std::exception& unexpected) {
        flException(__FILE__, __LINE__, unexpected.what()).reportAndContinue();
    }
    rescanning = false;
}

void flMainForm::createWidgets()
{
    browser = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
    window->add(browser);
    browser->showroot(0);
    browser->sortorder(FL_TREE_SORT_NONE);
    browser->show();
    browser->onRescan = [this] { rescan(); };
    fillTree();
}

void flMainForm::fillTree()
{
    const DeviceTree::View view = browser->view();
    browser->clearDevices();
    // Fl_Tree items copy their labels and draw them literally.
    for (const auto& record : devices) {
        Fl_Tree_Item* device = browser->addDevice(record->keyName, record->description.c_str());
        Fl_Tree_Item* windows = browser->add(device, "Windows");
        browser->add(windows, record->deviceClass.c_str());
        browser->add(windows, record->manufacturer.c_str());
        Fl_Tree_Item* databaseGroup = browser->add(device, "Database");
        const HardwareEntry& entry = record->entry;
        for (const std::string& text : {entry.getVendorId(), entry.getDeviceId(), entry.getText1(),
                                        entry.getText3(), entry.getText2()})
            browser->add(databaseGroup, text.c_str());
        // New items start open; the item's own close() fires no callback.
        windows->close();
        databaseGroup->close();
        device->close();
    }
    browser->restoreView(view);
}

void flMainForm::handleCallback(Fl_Widget*)
{
}
