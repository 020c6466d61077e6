// SPDX-License-Identifier: GPL-2.0-or-later
// The tree as indented text, as corvane-list has always printed it; of the
// devices that need attention, each says why, and a last line what they come
// to; of those that would get a better driver, each its installed version
// and the better one, and a last line what they come to.
#include "deviceOutline.h"
#include "deviceVerdict.h"
#include "installedDriver.h"
#include "listing.h"
#include "visibleText.h"

namespace {

// Of several files, each machine's devices come under a line naming the file,
// as `head` names the files it shows.
class TextListing : public Listing {
public:
    using Listing::Listing;

    void machine(const std::string& source, const std::string& machineName, const std::string&,
                 const std::vector<std::unique_ptr<DeviceRecord>>& devices) override
    {
        static_cast<void>(machineName);  // the header names the file given
        std::string text = settings.severalMachines ? "==> " + text::visibleText(source) + " <==\n" : std::string();
        // Written a device at a time: a machine of thousands is not held as text whole.
        for (const DeviceRecord* device : shown(devices)) {
            DeviceOutline outline = outlineOf(*device);
            if (settings.attentionOnly)  // each says why it is there
                outline.front().text = attentionLineText(*device);
            else if (settings.updatesOnly)  // the installed version and the better one side by side
                outline.front().text = updateLineText(*device);
            appendOutlineText(text, outline);
            write(text);
            text.clear();
        }
        // What the devices that need attention come to, of them all.
        if (settings.attentionOnly)
            text += verdictOf(devices) + "\n";
        if (settings.updatesOnly) {
            const std::string notice = installedDriversNotice(devices);
            text += (notice.empty() ? updatesVerdictOf(devices) : notice) + "\n";
        }
        write(text);
    }
    void failed(const std::string&, const std::string&) override {}
    void finish() override {}
};

}

std::unique_ptr<Listing> textListing(const Listing::Settings& settings, std::FILE* out)
{
    return std::make_unique<TextListing>(settings, out);
}
