#include "flMainForm.h"

#include "DeviceTree.h"
#include "appIcon.h"
#include "deviceFile.h"
#include "flException.h"
#include "platform/platform.h"
#include "platform/registry.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Native_File_Chooser.H>
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
    : flBaseForm(800, 600, windowTitle), registry(&registry)
{
    setWindowIcons(*window);
    loadDevices(true, std::string());
    flMainForm::createWidgets();
}

flMainForm::flMainForm(const std::string& deviceFile)
    : flBaseForm(800, 600, windowTitle), registry(&systemRegistry())
{
    setWindowIcons(*window);
    loadDevices(true, deviceFile);
    flMainForm::createWidgets();
}

flMainForm::~flMainForm() = default;

void flMainForm::loadDevices(bool firstLoad, const std::string& fromFile)
{
    auto previousDatabase = std::exchange(database, std::make_unique<HardwareDatabase>(databasePath(), firstLoad));
    DeviceFile opened;
    if (!fromFile.empty()) {
        try {
            opened = readDeviceFile(fromFile);
        } catch (...) {
            database = std::move(previousDatabase);
            throw;
        }
    }
    Registry* const previousRegistry = registry;
    if (opened.registry)
        registry = opened.registry.get();
    auto previousDevices = std::exchange(devices, {});
    try {
        scanPciRegistry();
    } catch (...) {
        database = std::move(previousDatabase);
        devices = std::move(previousDevices);
        registry = previousRegistry;
        throw;
    }
    if (opened.registry) {
        fileRegistry = std::move(opened.registry);
        file = fromFile;
        window->copy_label((std::string(windowTitle) + " - " + fileNameOf(file)).c_str());
    }
    notice = opened.skippedLines ? skippedLinesNotice(fromFile, opened.skippedLines) : std::string();
    if (!firstLoad)
        showNotice();  // at start-up, once the window shows
}

void flMainForm::reload(const std::string& fromFile)
{
    if (rescanning)  // F5 or a drop again while the box of a failed one is up
        return;
    rescanning = true;
    try {
        loadDevices(false, fromFile);
        fillTree();
    } catch (const flException& failure) {
        failure.reportAndContinue();
    } catch (const std::exception& unexpected) {
        flException(__FILE__, __LINE__, unexpected.what()).reportAndContinue();
    }
    rescanning = false;
}

void flMainForm::rescan()
{
    reload(file);
}

void flMainForm::openFile(const std::string& path)
{
    reload(path);
}

void flMainForm::chooseFile()
{
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_FILE);
    chooser.title("Open another machine's devices");
    chooser.filter("Registry exports and lspci dumps\t*.{reg,txt}\nAll files\t*");
    if (chooser.show() == 0 && chooser.filename() && *chooser.filename())
        openFile(chooser.filename());
}

void flMainForm::showNotice()
{
    if (notice.empty())
        return;
    const std::string text = std::exchange(notice, std::string());
    platform::showMessageBox("Oops!", text.c_str());
}

bool flMainForm::handleEvent(int event)
{
    switch (event) {
    case FL_DND_ENTER:
    case FL_DND_DRAG:
    case FL_DND_RELEASE:
        // The window takes drops anywhere; what is dropped comes as FL_PASTE to it.
        Fl::belowmouse(window.get());
        return true;
    case FL_PASTE: {
        // Opened once the drop is over: a box it may show must not hold the
        // dragging program up.
        dropped = droppedFilePath(std::string(Fl::event_text(), static_cast<std::size_t>(Fl::event_length())));
        if (!dropped.empty())
            Fl::add_timeout(0.0, [](void* form) {
                auto& self = *static_cast<flMainForm*>(form);
                self.openFile(std::exchange(self.dropped, std::string()));
            }, this);
        return true;
    }
    case FL_KEYBOARD:
    case FL_SHORTCUT:
        if ((Fl::event_state() & (FL_CTRL | FL_ALT | FL_META | FL_SHIFT)) == FL_CTRL && Fl::event_key() == 'o') {
            chooseFile();
            return true;
        }
        return false;
    case FL_SHOW:
        if (!notice.empty())
            Fl::add_timeout(0.0, [](void* form) { static_cast<flMainForm*>(form)->showNotice(); }, this);
        return false;
    default:
        return false;
    }
}

std::string droppedFilePath(const std::string& text)
{
    std::size_t start = text.find_first_not_of("\r\n");
    if (start == std::string::npos)
        return std::string();
    std::string line = text.substr(start, text.find_first_of("\r\n", start) - start);
    const std::string scheme = "file://";
    if (line.compare(0, scheme.size(), scheme) != 0)
        return line;
    // file:///path or file://host/path; the host is this machine's.
    const std::size_t pathStart = line.find('/', scheme.size());
    if (pathStart == std::string::npos)
        return std::string();
    std::string path;
    for (std::size_t i = pathStart; i < line.size(); ++i) {
        const auto hex = [](char c) {
            return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        };
        if (line[i] == '%' && i + 2 < line.size() && hex(line[i + 1]) >= 0 && hex(line[i + 2]) >= 0) {
            path += static_cast<char>(hex(line[i + 1]) * 16 + hex(line[i + 2]));
            i += 2;
        } else {
            path += line[i];
        }
    }
#ifdef _WIN32
    if (path.size() >= 3 && path[0] == '/' && path[2] == ':')  // file:///C:/...
        path.erase(0, 1);
#endif
    return path;
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
