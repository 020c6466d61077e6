// SPDX-License-Identifier: GPL-2.0-or-later
#include "flMainForm.h"

#include "DeviceTree.h"
#include "deviceFile.h"
#include "deviceLineFeed.h"
#include "deviceOutline.h"
#include "deviceVerdict.h"
#include "deviceSource.h"
#include "driverFolder.h"
#include "driverCollect.h"
#include "driverReading.h"
#include "files.h"
#include "flException.h"
#include "htmlReport.h"
#include "installedDriver.h"
#include "noticeBox.h"
#include "platform.h"
#include "platformWindow.h"
#include "text.h"
#include "version.h"
#include "visibleText.h"

#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Native_File_Chooser.H>

#include <filesystem>
#include <new>
#include <system_error>
#include <utility>

namespace {

const char* const windowTitle = "Corvane " CORVANE_VERSION " Release " CORVANE_RELEASE_DATE_US "'";

std::string workingDirectory()
{
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).u8string();
    return error ? std::string() : folder;
}

// A dialog starts in the folder the user is in, where the files given on
// the command line are found too; without one, GTK's dialog opens on the
// recent files, empty.
void startInWorkingDirectory(Fl_Native_File_Chooser& chooser)
{
    const std::string folder = workingDirectory();
    if (!folder.empty())
        chooser.directory(folder.c_str());
}

// The title, then the file's name and the machine's where the file records
// one ("... - SYSTEM (DESKTOP-1234)"): the hives of many machines are all
// named SYSTEM. Both as every report shows them (visibleText.h): a line
// feed or a control in them stays visible.
std::string titleFor(const std::string& file, const std::string& machine)
{
    std::string title = std::string(windowTitle) + " - " + text::visibleText(platform::fileNameOf(file));
    if (!machine.empty())
        title += " (" + text::visibleText(machine) + ")";
    return title;
}

}

flMainForm::flMainForm() : flMainForm(systemDevices())
{
}

flMainForm::flMainForm(DeviceSource& source, DriverSearch drivers)
    : flBaseForm(800, 600, windowTitle), source(&source), drivers(std::move(drivers))
{
    platform::setWindowIcons(*window);
    loadAtStart(std::string());
    flMainForm::createWidgets();
    startDriverReading(false);
}

flMainForm::flMainForm(const std::string& deviceFile, DriverSearch drivers)
    : flBaseForm(800, 600, windowTitle), source(&systemDevices()), drivers(std::move(drivers))
{
    platform::setWindowIcons(*window);
    loadAtStart(deviceFile);
    flMainForm::createWidgets();
    startDriverReading(false);
}

flMainForm::~flMainForm()
{
    Fl::remove_timeout(pollDriverReading, this);
}

flMainForm::Loaded flMainForm::readDevices(DeviceSource& source, const std::string& fromFile, Load load,
                                           DeviceLineFeed* feed)
{
    Loaded loaded;
    loaded.database = std::make_unique<HardwareDatabase>(databasePath(), load == Load::atStart);
    if (!fromFile.empty())
        loaded.opened = readDeviceFile(fromFile);
    // A file is read again by opening it again: its source hands its devices over.
    loaded.devices = loaded.opened.source ? loaded.opened.source->takeDevices() : source.readDevices();
    if (feed)
        for (const auto& record : loaded.devices)
            feed->add(deviceLineText(*record));
    matchDatabase(loaded.devices, *loaded.database);
    loaded.database->release();  // every record is matched: the file need not stay mapped while the window shows
    loaded.outlines.reserve(loaded.devices.size());
    for (const auto& record : loaded.devices)
        loaded.outlines.push_back(outlineOf(*record));
    return loaded;
}

void flMainForm::takeDevices(Loaded loaded, Load load, const std::string& fromFile)
{
    database = std::move(loaded.database);
    devices = std::move(loaded.devices);
    readOutlines = std::move(loaded.outlines);
    // The file's name as every report shows it (visibleText.h): a line feed
    // or a control in it stays visible in the box.
    notice = noticeOf(text::visibleText(fromFile), loaded.opened);
    fileNotice = noticeOf(fromFile, loaded.opened);
    if (loaded.opened.source) {
        fileSource = std::move(loaded.opened.source);
        source = fileSource.get();
        file = fromFile;
        window->copy_label(titleFor(file, loaded.opened.machineName).c_str());
        machineName = loaded.opened.machineName.empty() ? platform::fileNameOf(file) : loaded.opened.machineName;
    } else if (file.empty()) {
        machineName = platform::hostName();
    }
    if (load == Load::again)
        showNotice();  // at start-up, once the window shows
}

void flMainForm::loadDevices(Load load, const std::string& fromFile)
{
    takeDevices(readDevices(*source, fromFile, load), load, fromFile);
}

void flMainForm::loadAtStart(const std::string& fromFile)
{
    Loaded loaded;
    DeviceLineFeed feed;
    DeviceLineFeed::Widths measured;
    platform::openDisplayWhile(
        DeviceTree::firstDrawingFonts(),
        [&] {
            const DeviceLineFeed::ClosedAtEnd closing(feed);
            loaded = readDevices(*source, fromFile, Load::atStart, &feed);
        },
        [&] { measured = feed.measureUntilClosed(DeviceTree::LineMeasure()); });
    takeDevices(std::move(loaded), Load::atStart, fromFile);
    measuredLines = std::move(measured);
}

bool flMainForm::reload(const std::string& fromFile)
{
    if (rescanning)  // F5 or a drop again while the box of a failed one is up
        return false;
    rescanning = true;
    bool loaded = false;
    try {
        loadDevices(Load::again, fromFile);
        fillTree(tree->view());
        loaded = true;
        startDriverReading(false);
    } catch (const flException& failure) {
        if (failure.memoryRanOut)
            failure.reportAndExit();
        failure.reportAndContinue();
    } catch (const std::bad_alloc& exhausted) {
        // Fatal wherever memory runs out, as in the programs without a window.
        flException(__FILE__, __LINE__, exhausted.what()).reportAndExit();
    } catch (const std::exception& unexpected) {
        flException(__FILE__, __LINE__, unexpected.what()).reportAndContinue();
    }
    rescanning = false;
    return loaded;
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
    startInWorkingDirectory(chooser);
    chooser.filter(platform::deviceFileFilters());
    if (chooser.show() == 0 && chooser.filename() && *chooser.filename())
        openFile(chooser.filename());
}

void flMainForm::findDrivers(const std::string& folder)
{
    if (!driverReading || !driverReadingChosen)
        searchBefore = drivers;
    drivers.folders = {folder};
    startDriverReading(true);
}

void flMainForm::startDriverReading(bool chosen)
{
    Fl::remove_timeout(pollDriverReading, this);
    driverReading.reset();  // what was being read is of no use now
    tree->canCollectDrivers = !drivers.folders.empty();
    if (drivers.folders.empty())
        return;
    driverReading = std::make_unique<DriverReading>(drivers.folders, drivers.target);
    driverReadingChosen = chosen;
    showVerdict();
    Fl::add_timeout(progressInterval, pollDriverReading, this);
}

void flMainForm::pollDriverReading(void* form)
{
    auto& self = *static_cast<flMainForm*>(form);
    if (!self.driverReading)
        return;
    if (!self.driverReading->done()) {
        self.showVerdict();
        Fl::repeat_timeout(progressInterval, pollDriverReading, form);
        return;
    }
    self.takeDriverFits();
}

void flMainForm::waitForDrivers()
{
    if (!driverReading)
        return;
    Fl::remove_timeout(pollDriverReading, this);
    driverReading->wait();
    takeDriverFits();
}

// The fits go to the devices read meanwhile, and the tree shows them where
// the user is: the lines open, the one chosen and the scroll position kept.
void flMainForm::takeDriverFits()
{
    const std::unique_ptr<DriverReading> reading = std::move(driverReading);
    std::string folderNotice;
    try {
        const std::unique_ptr<DriverFolders> folders = reading->take();
        matchDrivers(devices, *folders);
        infFilesSearched = folders->infFilesRead();
        folderNotice = folders->notice();
    } catch (const flException& failure) {
        if (failure.memoryRanOut)
            failure.reportAndExit();
        if (driverReadingChosen)
            drivers = searchBefore;
        tree->canCollectDrivers = !drivers.folders.empty();
        showVerdict();
        failure.reportAndContinue();
        return;
    } catch (const std::bad_alloc& exhausted) {
        flException(__FILE__, __LINE__, exhausted.what()).reportAndExit();
    }
    fillTree(tree->view());
    if (!folderNotice.empty())
        showNoticeBox(text::visibleLines(folderNotice));
}

void flMainForm::showVerdict()
{
    std::string text = showsOnlyUpdates() ? updatesVerdict() : verdictOf(devices);
    if (driverReading)
        text += "\nLooking for drivers: " + std::to_string(driverReading->filesRead()) + " of " +
                std::to_string(driverReading->filesFound()) + " INF files read so far";
    verdict->copy_label(text.c_str());
}

// The platform's folder dialog, titled `title`; empty when none was chosen.
std::string flMainForm::chooseFolder(const char* title)
{
    if (const auto picked = platform::pickFolder(*window, title, workingDirectory()))
        return *picked;
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_DIRECTORY);
    chooser.title(title);
    startInWorkingDirectory(chooser);
    return chooser.show() == 0 && chooser.filename() ? chooser.filename() : std::string();
}

void flMainForm::chooseDriversFolder()
{
    if (const std::string folder = chooseFolder("Find drivers in a folder"); !folder.empty())
        findDrivers(folder);
}

std::string flMainForm::collectDrivers(const std::string& folder)
{
    constexpr std::size_t shownPackages = 12;  // of what the box says: the README names them all
    waitForDrivers();
    std::string text;
    platform::DirectoryToFill into;
    if (!platform::DirectoryToFill::open(folder, into, text)) {
        text = "The drivers could not be copied into " + text::visibleText(folder) + ": " + text::visibleText(text);
    } else {
        try {
            const Collection collection = ::collectDrivers(
                packagesToCollect(devices), into, {machineName, folder, describeWindowsTarget(drivers.target)},
                drivers.target);
            text = collectionReport(collection, folder, shownPackages);
        } catch (const flException& failure) {
            if (failure.memoryRanOut)
                failure.reportAndExit();
            text = text::visibleText(failure.message);
        }
    }
    return text;
}

void flMainForm::chooseCollectFolder()
{
    if (const std::string folder = chooseFolder("Copy drivers for this machine into a new or empty folder");
        !folder.empty())
        showNoticeBox(collectDrivers(folder));
}

std::string flMainForm::hardwareIdsText(const std::string& deviceKey) const
{
    std::string text;
    for (const auto& record : devices)
        if (record->identity() == deviceKey)
            for (const std::string& id : record->hardwareIds())
                text += text::visibleText(id) + "\n";
    return text;
}

std::string flMainForm::report(const std::string& made) const
{
    std::optional<ReportDrivers> searched;
    if (!drivers.folders.empty())
        searched = ReportDrivers{drivers.folders, infFilesSearched, describeWindowsTarget(drivers.target)};
    return htmlReport({databasePath(), made, showsOnlyAttention(), searched, showsOnlyUpdates()},
                      {machineName, file, &devices, fileNotice});
}

bool flMainForm::saveReport(const std::string& path, std::string& error) const
{
    return platform::replaceFile(path, report(reportDate()), error);
}

void flMainForm::chooseReportFile()
{
    Fl_Native_File_Chooser chooser(Fl_Native_File_Chooser::BROWSE_SAVE_FILE);
    chooser.title("Save report");
    if (const std::string documents = platform::reportsFolder(); !documents.empty())
        chooser.directory(documents.c_str());
    else
        startInWorkingDirectory(chooser);
    chooser.filter(platform::reportFileFilter());
    chooser.preset_file(reportFileName(machineName).c_str());
    chooser.options(Fl_Native_File_Chooser::SAVEAS_CONFIRM | Fl_Native_File_Chooser::USE_FILTER_EXT);
    if (chooser.show() != 0 || !chooser.filename() || !*chooser.filename())
        return;
    const std::string path = chooser.filename();
    std::string error;
    if (!saveReport(path, error))
        showNoticeBox("The report could not be saved: " + text::visibleText(error));  // the error names the report
}

void flMainForm::showNotice()
{
    if (notice.empty())
        return;
    showNoticeBox(std::exchange(notice, std::string()));
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
        if (line[i] == '%' && i + 2 < line.size() && text::hasHexDigits(std::string_view(line).substr(i + 1), 2)) {
            path += static_cast<char>(text::hexDigitValue(line[i + 1]) * 16 + text::hexDigitValue(line[i + 2]));
            i += 2;
        } else {
            path += line[i];
        }
    }
    return platform::pathOfFileUri(path);
}

void flMainForm::createWidgets()
{
    tree = new DeviceTree(10, 15, 785, 525, "Hardware Devices");
    window->add(tree);
    tree->showroot(0);
    tree->sortorder(FL_TREE_SORT_NONE);
    tree->show();
    tree->onRescan = [this] { rescan(); };
    tree->onOpenFile = [this] { chooseFile(); };
    tree->onToggleAttention = [this] { showOnlyAttention(!showsOnlyAttention()); };
    tree->onToggleUpdates = [this] { showOnlyUpdates(!showsOnlyUpdates()); };
    tree->onFindDrivers = [this] { chooseDriversFolder(); };
    tree->onSaveReport = [this] { chooseReportFile(); };
    tree->onCollectDrivers = [this] { chooseCollectFolder(); };
    tree->hardwareIdsOf = [this](const std::string& deviceKey) { return hardwareIdsText(deviceKey); };
    // In the space below the tree, the width of its box; not resizable, as the window.
    verdict = new Fl_Box(10, 545, 785, 40);
    verdict->align(FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_INSIDE | FL_ALIGN_WRAP);
    window->add(verdict);
    fillTree(tree->view());
}

void flMainForm::fillTree(const DeviceTree::View& view)
{
    tree->clearDevices();
    std::vector<std::pair<std::string, DeviceOutline>> shown;  // key and outline of each device shown
    for (std::size_t i = 0; i < devices.size(); ++i) {
        const DeviceRecord& record = *devices[i];
        if (!isShown(record))
            continue;
        shown.emplace_back(record.identity(), i < readOutlines.size() ? std::move(readOutlines[i]) : outlineOf(record));
        if (showsOnlyAttention())  // each says why it is there
            shown.back().second.front().text = attentionLineText(record);
        else if (showsOnlyUpdates())  // the installed version and the better one
            shown.back().second.front().text = updateLineText(record);
    }
    showVerdict();
    if (measuredLines.empty() && window->shown()) {
        // A rescan or the filter: the display is open, and the lines are
        // measured as at the start.
        std::vector<std::string> texts;
        for (const auto& device : shown)
            if (!device.second.empty())
                texts.push_back(device.second.front().text);
        measureLongestFirst(std::move(texts), DeviceTree::LineMeasure(), measuredLines);
    }
    for (auto& [key, outline] : shown) {
        const auto measured = outline.empty() ? measuredLines.end() : measuredLines.find(outline.front().text);
        tree->addDevice(key, std::move(outline), measured != measuredLines.end() ? measured->second : MeasuredLabel());
    }
    readOutlines.clear();  // taken: later fills make their own
    measuredLines.clear();
    tree->restoreView(view);
}

bool flMainForm::isShown(const DeviceRecord& record) const
{
    switch (shownDevices) {
    case Shown::attention: return record.needsAttention();
    case Shown::updates: return hasBetterDriver(record);
    case Shown::all: break;
    }
    return true;
}

std::string flMainForm::updatesVerdict() const
{
    if (drivers.folders.empty())
        return "No folder of drivers was looked in: Ctrl+D chooses one, and its drivers are compared with those "
               "installed.";
    if (driverReading)  // the progress follows
        return "The folder's drivers are compared with those installed once they are read";
    const std::string notice = installedDriversNotice(devices);
    return notice.empty() ? updatesVerdictOf(devices) : notice;
}

void flMainForm::showOnlyAttention(bool only)
{
    showOnly(only ? Shown::attention : showsOnlyAttention() ? Shown::all : shownDevices);
}

void flMainForm::showOnlyUpdates(bool only)
{
    showOnly(only ? Shown::updates : showsOnlyUpdates() ? Shown::all : shownDevices);
}

void flMainForm::showOnly(Shown chosen)
{
    if (chosen == shownDevices)
        return;
    DeviceTree::View view = tree->view();
    if (shownDevices == Shown::all) {
        fullView = view;
    } else if (chosen == Shown::all) {
        // What was opened or chosen meanwhile stays so; the place in the list is the old one.
        view.open.insert(fullView.open.begin(), fullView.open.end());
        if (!view.selected)
            view.selected = fullView.selected;
        view.top = fullView.top;
        view.left = fullView.left;
    }
    shownDevices = chosen;
    tree->attentionOnly = chosen == Shown::attention;
    tree->updatesOnly = chosen == Shown::updates;
    tree->showHeading(chosen == Shown::attention ? "Hardware Devices that need attention"
                      : chosen == Shown::updates ? "Hardware Devices that would get a better driver"
                                                 : "Hardware Devices");
    fillTree(view);
}

void flMainForm::handleCallback(Fl_Widget*)
{
}
