#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""The marks corvane draws before its device lines, for the toolkit's floor.

Reads corvane-list --json on standard input and prints startup-floor's
--marks list: one mark per device, in the order of the devices. A device
without a driver or with a problem has the problem mark, else a disabled one
the disabled mark; either, or none, with "not in the database" added.
"""
import json
import sys


def mark(reasons):
    if "no_driver" in reasons or "problem" in reasons:
        kind = "problem"
    elif "disabled" in reasons:
        kind = "disabled"
    else:
        kind = ""
    if "not_in_database" not in reasons:
        return kind or "none"
    return kind + "NotInDatabase" if kind else "notInDatabase"


listing = json.load(sys.stdin)
print(",".join(mark(device["attention_reasons"]) for device in listing["devices"]))
