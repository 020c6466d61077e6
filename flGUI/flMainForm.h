// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_FLMAINFORM_H
#define CORVANE_FLMAINFORM_H

#include "DeviceRecord.h"
#include "DeviceTree.h"
#include "deviceFile.h"
#include "flBaseForm.h"
#include "hardware.h"
#include "windowsTarget.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class DeviceLineFeed;
class DriverReading;
class Fl_Box;

// The program's window: loads devices.lst, reads the PCI devices from the
// system (or a file) and shows them as a tree, all in its constructor; F5 does it again.
// The drivers' folders are read meanwhile on a thread of their own, their
// fits shown once read.
// It can show the devices another machine recorded in a file instead: given
// at start, dropped onto the window, or chosen with Ctrl+O.
class flMainForm : public flBaseForm {
public:
    // Where the drivers that fit the devices are looked for: the INF files
    // below the folders (none: no drivers are looked for), for that Windows.
    struct DriverSearch {
        std::vector<std::string> folders;
        WindowsTarget target;
    };

    flMainForm();  // this machine's devices
    explicit flMainForm(DeviceSource& source, DriverSearch drivers = {});  // any other
    // The devices recorded in a file (see deviceFile.h); a failure to read
    // it leaves the constructor as an flException naming the file.
    explicit flMainForm(const std::string& deviceFile, DriverSearch drivers = {});
    ~flMainForm() override;

    void createWidgets() override;
    void handleCallback(Fl_Widget* widget) override;
    // Files dropped onto the window, Ctrl+O, and the notice of a file
    // (its skipped lines, a hive not closed cleanly) once the window shows.
    bool handleEvent(int event) override;

    // Loads devices.lst and reads the devices again, as the constructor
    // does (the file shown, read anew, when there is one), and rebuilds the
    // tree keeping the lines the user opened and selected and the scroll
    // position where they still exist. A failure leaves the tree as it is
    // and is reported without ending the program.
    void rescan();
    // Shows the devices of another file the same way; on failure the tree
    // and the file shown stay as they were.
    void openFile(const std::string& path);
    // Ctrl+O: the platform's file dialog, then openFile.
    void chooseFile();
    // Looks for the drivers that fit the devices in the INF files below a
    // folder instead (F5 reads it again); on failure the folders looked in
    // stay as they were. Ctrl+D: the platform's folder dialog, then this.
    // The folders are read meanwhile, their progress said under the tree;
    // the fits show once they are read.
    void findDrivers(const std::string& folder);
    // Until the drivers' folders being read are read and their fits shown.
    void waitForDrivers();
    bool readingDrivers() const { return driverReading != nullptr; }
    void chooseDriversFolder();
    // Copies the drivers this machine needs from the drivers' folders
    // (driverCollect.h) into `folder`, new or empty, once they are read:
    // what was copied, or why nothing could be. Ctrl+Shift+D: the
    // platform's folder dialog, then this, its text in the notice box.
    std::string collectDrivers(const std::string& folder);
    void chooseCollectFolder();
    const DriverSearch& driverSearch() const { return drivers; }
    // The report of the devices the tree shows (htmlReport.h), made `made`.
    std::string report(const std::string& made) const;
    // Writes it to `path`, replacing a file there only once it is complete;
    // false with the reason in `error` when it cannot.
    bool saveReport(const std::string& path, std::string& error) const;
    // Ctrl+S: the platform's save dialog, proposing a name after the
    // machine, then saveReport; a failure is said in the notice box.
    void chooseReportFile();
    // The computer's name (the host name, the file's computer name) or the file's name.
    const std::string& machine() const { return machineName; }
    // The hardware IDs of the device of that key, one a line, as the menu copies them.
    std::string hardwareIdsText(const std::string& deviceKey) const;

    // The file whose devices are shown; empty when they are this machine's.
    const std::string& shownFile() const { return file; }

    // Shows only the devices that need attention (no driver, disabled, a
    // problem the system reports, not in the database), or all of them again
    // with the lines that were open and selected before. F5 keeps the view.
    void showOnlyAttention(bool only);
    bool showsOnlyAttention() const { return shownDevices == Shown::attention; }
    // Shows only the devices the drivers' folder holds a better driver for
    // than the installed one, each with the two versions side by side, or
    // all of them again, as the attention view does.
    void showOnlyUpdates(bool only);
    bool showsOnlyUpdates() const { return shownDevices == Shown::updates; }

    DeviceTree* tree = nullptr;  // a child of window
    // Under the tree: what the devices come to, in one line (verdictOf).
    Fl_Box* verdict = nullptr;   // a child of window
    std::unique_ptr<HardwareDatabase> database;
    std::vector<std::unique_ptr<DeviceRecord>> devices;

private:
    // The first load writes the line feed that says the database is read and
    // keeps a notice for when the window shows; a later one (F5, a file
    // opened) writes nothing and says its notice at once.
    enum class Load { atStart, again };
    // What one load read: devices.lst, the devices, and the file they came
    // from when they came from one.
    struct Loaded {
        std::unique_ptr<HardwareDatabase> database;
        DeviceFile opened;
        std::vector<std::unique_ptr<DeviceRecord>> devices;
        // Of each device, made there too: at start-up, beside the display's opening.
        std::vector<DeviceOutline> outlines;
    };
    // Loads devices.lst and reads the devices of `source`, or the file's
    // when `fromFile` is given. Touches neither the form nor the toolkit, so
    // that it may run on another thread; a failure is its flException.
    // With a feed, each device's line goes to it as soon as the devices are read.
    static Loaded readDevices(DeviceSource& source, const std::string& fromFile, Load load,
                              DeviceLineFeed* feed = nullptr);
    // Makes what was read the form's devices (and the file the one shown).
    void takeDevices(Loaded loaded, Load load, const std::string& fromFile);
    // Loads devices.lst into `database` and reads the devices into a fresh
    // `devices`; when either fails, both are left as they were and the
    // flException goes on. With a file, the devices are read from it, and it
    // becomes the file shown once all succeeded.
    void loadDevices(Load load, const std::string& fromFile);
    // The first load, done while the toolkit opens the display.
    void loadAtStart(const std::string& fromFile);
    // loadDevices and fillTree, a failure reported without ending the program.
    // False when it failed.
    bool reload(const std::string& fromFile);
    // (Re)builds the tree from `devices` (in the attention view those that
    // need it, in the updates view those with a better driver), putting back
    // `view` where its lines still exist.
    void fillTree(const DeviceTree::View& view);
    void showNotice();
    // The verdict under the tree, and the drivers' progress while they are read.
    void showVerdict();
    // Reads the drivers' folders on a thread of their own (dropping what
    // was being read); `chosen`: a new search, undone when it fails.
    void startDriverReading(bool chosen);
    std::string chooseFolder(const char* title);
    static void pollDriverReading(void* form);
    // Matches the devices against the folders read, or says their failure.
    void takeDriverFits();
    static constexpr double progressInterval = 0.1;  // seconds

    std::vector<DeviceOutline> readOutlines;  // made with `devices`, until the tree takes them
    std::unordered_map<std::string, MeasuredLabel> measuredLines;  // readOutlines' device lines, measured meanwhile
    DeviceSource* source;                      // where the devices are read from
    std::unique_ptr<DeviceSource> fileSource;  // the shown file's
    std::string file;                       // the file shown, if any
    std::string machineName;                // see machine()
    DriverSearch drivers;
    DriverSearch searchBefore;  // what a search chosen replaced, until it is read
    std::unique_ptr<DriverReading> driverReading;
    bool driverReadingChosen = false;
    std::string notice;                     // to be said once the window shows
    std::string fileNotice;                 // of the file shown, as the report says it
    std::size_t infFilesSearched = 0;       // in the drivers' folders, as the report says it
    std::string dropped;                    // a file dropped, opened once the drop is done
    bool rescanning = false;
    // Which devices the tree shows: all, or those of one of the two views.
    enum class Shown { all, attention, updates };
    void showOnly(Shown chosen);
    // Under the tree in the updates view: what the comparison comes to.
    std::string updatesVerdict() const;
    bool isShown(const DeviceRecord& record) const;
    Shown shownDevices = Shown::all;
    DeviceTree::View fullView;  // of all devices, when a view of some was chosen
};

// The file named by what a drop delivers: the first of its lines, a path or
// a file: URI (percent-escapes decoded); empty when it names none.
std::string droppedFilePath(const std::string& text);

#endif
