// SPDX-License-Identifier: GPL-2.0-or-later
// The report a person reads (htmlReport.h), as the window saves it: of
// several files, one section each below a table of contents of the files,
// a file that could not be read a section saying why.
#include "htmlReport.h"
#include "listing.h"
#include "platform.h"

namespace {

class HtmlListing : public Listing {
public:
    HtmlListing(const Listing::Settings& settings, std::FILE* out)
        : Listing(settings, out),
          report{settings.database, settings.made, settings.attentionOnly, settings.drivers, settings.updatesOnly}
    {
    }

    void machine(const std::string& source, const std::string& machineName, const std::string& notice,
                 const std::vector<std::unique_ptr<DeviceRecord>>& devices) override
    {
        // This machine's devices come from no file; `source` is its name then.
        const std::string file = settings.files.empty() ? std::string() : source;
        const ReportMachine shown{machineName.empty() ? platform::fileNameOf(source) : machineName, file, &devices,
                                  notice};
        start(shown.name);
        write(machineSection(report, sections++, shown));
    }

    void failed(const std::string& source, const std::string& problem) override
    {
        start(source);
        write(failedSection(sections++, source, problem));
    }

    void finish() override
    {
        start(std::string());
        write(reportEnd());
    }

private:
    // Of one machine, the document is titled with its name, known once it is read.
    void start(const std::string& machineName)
    {
        if (started)
            return;
        write(settings.severalMachines ? reportStart(settings.files) : reportStart(machineName));
        started = true;
    }

    ReportSettings report;
    std::size_t sections = 0;
    bool started = false;
};

}

std::unique_ptr<Listing> htmlListing(const Listing::Settings& settings, std::FILE* out)
{
    return std::make_unique<HtmlListing>(settings, out);
}
