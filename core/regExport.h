// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_REGEXPORT_H
#define CORVANE_REGEXPORT_H

#include "deviceSource.h"
#include "registry_tree.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Reads a Windows registry export, a .reg file as regedit and `reg export`
// write it: "Windows Registry Editor Version 5.00" (UTF-16 with a byte-order
// mark, or without one; UTF-8 with one) or "REGEDIT4" (the ANSI code page,
// read as Windows-1252). The export may be of the PCI branch or of any key
// above it, a whole HKEY_LOCAL_MACHINE\SYSTEM included, or of another
// machine's SYSTEM hive loaded under a key of HKEY_LOCAL_MACHINE or
// HKEY_USERS (reg load HKLM\CUSTOMER SYSTEM), or of any key of it: the file is read in
// pieces and only the PCI branch is kept, down to the devices' instance
// keys (the scan reads no deeper), so memory grows with the branch's devices
// and their values, not with the file. Text ends up UTF-8.
//
// Key lines, [-key] deletions, "name"= and @= values (strings with their
// escapes, dword:, hex: and hex(N): with continuation lines, "name"=-
// deletions) and ; comments are understood. A malformed line inside the
// branch is skipped and counted; the rest of its key still counts. So is a
// key deeper than the registry allows (512 levels); its values are left out.
class RegExportReader {
public:
    enum class Encoding { utf16le, utf16be, utf8, ansi };

    // How a file that starts with `head` is to be read, or none when it is
    // no registry export. `head` needs to hold the header line.
    static std::optional<Encoding> recognise(std::string_view head);

    // What of the branch's keys is kept: every value; those of the devices'
    // instance keys that the scan reads (registry.h), all that a listing of
    // thousands of devices needs hold; or only each device's record, made
    // (pciScan.h) once the file goes on to another device, so that one
    // device's keys are held at a time.
    enum class Keep { everyValue, scannedValues, records };

    explicit RegExportReader(Encoding encoding, Keep keep = Keep::everyValue);
    ~RegExportReader();
    RegExportReader(const RegExportReader&) = delete;
    RegExportReader& operator=(const RegExportReader&) = delete;

    // The file's next bytes, from its first on, in pieces of any size.
    void read(std::string_view bytes);
    // The end of the file.
    void finish();

    // After finish: whether the file holds the PCI branch (or a key below it).
    bool hasPciBranch() const;
    // Malformed lines skipped, and the first of them: its number in the
    // file (from 1) and what is wrong with it.
    struct SkippedLine {
        std::size_t number = 0;
        std::string reason;
    };
    std::size_t skippedLines() const { return skipped; }
    const std::optional<SkippedLine>& firstSkipped() const { return first; }
    // After finish: the branch, at pciBranchPath below localMachine. Of the
    // machine's own SYSTEM when the file has its branch, otherwise of the
    // hive the file names first that has one; of its CurrentControlSet when
    // there is one, otherwise of the control set that the hive's Select names
    // ("Current", then "Default"), otherwise of the first one.
    std::unique_ptr<KeyTreeRegistry> takeRegistry();

    // Keep::records: whether the file cannot be read a device at a time: a
    // device's keys come back after another device's, or a key is deleted.
    // What is read then is of no use; the file is to be read again keeping
    // scannedValues (a reader that holds the whole branch).
    bool needsWholeBranch() const;
    // Keep::records, after finish: the records of the branch's devices,
    // their database lines not yet looked up, in the file's order.
    DeviceRecords takeRecords();

    // Lines longer than this (continuations joined) are skipped as malformed.
    static constexpr std::size_t maxLineBytes = 1 << 20;

private:
    struct State;
    struct BranchPlace;
    static BranchPlace placeOf(const std::vector<std::string_view>& names);

    void splitLines(std::string_view piece);
    void takeLineBytes(std::string_view bytes, bool lineEnds);
    void line(std::string_view text);
    void continuedLine(std::string_view text);
    void keyLine(std::string_view text);
    void enterKey(const std::vector<std::string_view>& names, const BranchPlace& place);
    void enterDriverKey(const std::vector<std::string_view>& names, const BranchPlace& place);
    void deleteKey(const std::vector<std::string_view>& names, const BranchPlace& place);
    struct Branch;
    // Keep::records: the record of the device a branch holds, and its keys let go.
    void recordDevices(Branch& branch);
    void takeLateDriverKeys(Branch& branch);
    void valueLine(std::string_view text, std::size_t lineNumber);
    // The one place a malformed line is counted; lineNumber counts from the header's 0.
    void skip(std::size_t lineNumber, const char* reason);

    Encoding encoding;
    Keep keep;
    std::unique_ptr<State> state;
    std::size_t skipped = 0;
    std::optional<SkippedLine> first;
};

#endif
