// SPDX-License-Identifier: GPL-2.0-or-later
#ifndef CORVANE_DEVICEVERDICT_H
#define CORVANE_DEVICEVERDICT_H

#include "DeviceRecord.h"

#include <memory>
#include <string>
#include <vector>

// Why a device needs attention, as its reasons say it in words: "no driver,
// not in the database"; empty when it needs none.
std::string reasonsText(const std::vector<AttentionReason>& reasons);

// The device line of the view of the devices that need attention: its text,
// then why the device is there ("... — no driver, not in the database").
std::string attentionLineText(const DeviceRecord& device);

// What a person came to learn of a machine's devices, in one line: "All 6
// devices have a driver; 1 is not in the database", "1 of 6 devices has no
// driver", "No device needs attention: all 6 devices have a driver and are in
// the database".
std::string verdictOf(const std::vector<std::unique_ptr<DeviceRecord>>& devices);

#endif
