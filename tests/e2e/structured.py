#!/usr/bin/python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Checks corvane-list's forms for scripts.

  structured.py schema SCHEMA JSON            JSON is valid against the schema
  structured.py csv JSON CSV                  CSV read back (csv module) holds what JSON holds, as
                                              CSV shows it: controls escaped, formulas made text
  structured.py lspci JSON VMM VERBOSE [dump]  the devices' fields are what `lspci -vmm -nn -k -D`
                                              (VMM) and `lspci -v -D` (VERBOSE, its Subsystem
                                              lines) say of the function at each location
  structured.py same JSON JSON                the two hold the same machines and devices
Prints what differs and ends with 1; 0 when all holds.
"""
import csv
import json
import re
import sys


def machines(document):
    return document["machines"] if "machines" in document else [document]


def load(path):
    with open(path, encoding="utf-8") as f:
        return json.load(f)


def check_schema(schema_path, json_path):
    import jsonschema
    errors = list(jsonschema.Draft202012Validator(load(schema_path)).iter_errors(load(json_path)))
    for error in errors[:5]:
        print("schema: %s at %s" % (error.message, list(error.absolute_path)))
    return not errors


def csv_shown(text):
    """A text as the CSV shows it: controls (a tab kept), DEL, C1, the line
    separators and the bidi controls escaped; a formula's leader behind a '."""
    shown = ""
    for c in text:
        code = ord(c)
        if (code < 0x20 and c != "\t") or code == 0x7f:
            shown += "\\x%02x" % code
        elif 0x80 <= code <= 0x9f or 0x2028 <= code <= 0x202e or 0x2066 <= code <= 0x2069:
            shown += "\\u%04x" % code
        else:
            shown += c
    return "'" + shown if shown[:1] in ("=", "+", "-", "@", "\t", "\r") else shown


def installed_columns(d):
    """The installed driver's columns, whether a better one is there, and
    the best fit's version and date."""
    installed = d["installed_driver"] or {}
    best = d["fits"][0] if d["fits"] else {}
    better = d["better_driver"]
    return {"installed_provider": installed.get("provider", ""),
            "installed_version": installed.get("driver_version") or "",
            "installed_date": installed.get("driver_date") or "", "installed_inf": installed.get("inf", ""),
            "installed_section": installed.get("section", ""),
            "installed_matching_id": installed.get("matching_id", ""), "installed_rank": installed.get("rank") or "",
            "better_driver": "" if better is None else ("true" if better else "false"),
            "fit_version": best.get("driver_version") or "", "fit_date": best.get("driver_date") or ""}


def check_csv(json_path, csv_path):
    with open(csv_path, encoding="utf-8", newline="") as f:
        rows = list(csv.DictReader(f))
    expected = []
    for machine in machines(load(json_path)):
        for d in machine.get("devices", []):
            db = d["database"] or {}
            expected.append({
                "source": machine["source"], "key": d["key"], "vendor_id": d["vendor_id"] or "",
                "device_id": d["device_id"] or "", "subsystem_vendor_id": d["subsystem_vendor_id"] or "",
                "subsystem_id": d["subsystem_id"] or "", "revision": d["revision"] or "",
                "description": d["description"], "class": d["class"], "manufacturer": d["manufacturer"],
                "driver": d["driver"] or "", "driver_state": d["driver_state"],
                "problem_code": "" if d["problem_code"] is None else str(d["problem_code"]),
                "modules": " ".join(d["modules"]), "location": d["location"] or "",
                "attention": "true" if d["attention"] else "false", "database_vendor": db.get("vendor", ""),
                "database_device": db.get("device", ""), "database_source": db.get("source", ""),
                "subsystem": d["subsystem"] or "", "attention_reasons": " ".join(d["attention_reasons"]),
                "hardware_ids": " ".join(d["hardware_ids"]), "compatible_ids": " ".join(d["compatible_ids"]),
                "machine": machine["machine"] or "",
                "fit_inf": d["fits"][0]["inf"] if d["fits"] else "",
                "fit_model": d["fits"][0]["model"] if d["fits"] else "",
                "fit_rank": d["fits"][0]["rank"] if d["fits"] else "",
                "instance_id": d["instance_id"] or "", "address": d["address"] or "",
                "friendly_name": d["friendly_name"] or "", **installed_columns(d)})
    expected = [{name: csv_shown(value) for name, value in row.items()} for row in expected]
    for number, (row, want) in enumerate(zip(rows, expected)):
        if row != want:
            print("csv row %d: %r\n   json says %r" % (number + 1, row, want))
            return False
    if len(rows) != len(expected):
        print("csv has %d rows, json %d devices" % (len(rows), len(expected)))
        return False
    return True


def lspci_records(vmm_path, verbose_path):
    """Slot -> fields of lspci -vmm -nn -k -D, with the Subsystem line of lspci -v -D."""
    records, record = {}, None
    with open(vmm_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line:
                record = None
                continue
            name, _, value = line.partition(":\t")
            if name == "Slot":
                record = records.setdefault(value, {})
            if record is not None:
                record[name] = value
    slot = None
    with open(verbose_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if re.match(r"^[0-9a-f]{4}:", line):
                slot = line.split(" ", 1)[0]
            elif line.startswith("\tSubsystem: ") and slot in records:
                records[slot]["Subsystem"] = line[len("\tSubsystem: "):].rstrip("\n")
    return records


def bracketed(value):
    found = re.search(r"\[([0-9a-f]{4})\]$", value or "")
    return found.group(1) if found else None


def check_lspci(json_path, vmm_path, verbose_path, dump=False):
    records = lspci_records(vmm_path, verbose_path)
    good, compared = True, 0
    for d in machines(load(json_path))[0]["devices"]:
        record = records.get(d["location"])
        if record is None:
            print("%s: no such function in lspci's listing" % d["location"])
            good = False
            continue
        compared += 1
        vendor, device = bracketed(record.get("Vendor")), bracketed(record.get("Device"))
        svendor, sdevice = bracketed(record.get("SVendor")) or "0000", bracketed(record.get("SDevice")) or "0000"
        revision = record.get("Rev", "00")
        # The kernel's PCI core serves host and ISA bridges: without a driver
        # or a module that could drive one, none is needed.
        served = bracketed(record.get("Class")) in ("0600", "0601") and "Module" not in record
        state = "unknown" if dump else "bound" if "Driver" in record else "not_needed" if served else "none"
        wanted = {
            "vendor_id": bracketed(record.get("Vendor")), "device_id": bracketed(record.get("Device")),
            "subsystem_vendor_id": bracketed(record.get("SVendor")) or "0000",
            "subsystem_id": bracketed(record.get("SDevice")) or "0000",
            "revision": record.get("Rev", "00"),
            "driver": None if dump else record.get("Driver"),
            "driver_state": state,
            "subsystem": record.get("Subsystem"),
            "address": d["location"], "instance_id": None, "key": d["location"],
        }
        first_id = ("PCI\\VEN_%s&DEV_%s&SUBSYS_%s%s&REV_%s" % (vendor, device, sdevice, svendor, revision)).upper()
        if d["hardware_ids"][:1] != [first_id]:
            print("%s hardware_ids: %r, lspci's numbers give %r first" % (d["location"], d["hardware_ids"], first_id))
            good = False
        for field, value in wanted.items():
            if d[field] != value:
                print("%s %s: %r, lspci says %r" % (d["location"], field, d[field], value))
                good = False
    if compared == 0:
        print("no device compared")
        good = False
    if compared != len(records):  # every function its own device
        print("%d devices, lspci lists %d functions" % (compared, len(records)))
        good = False
    return good


def check_same(first, second):
    a, b = load(first), load(second)
    if a != b:
        print("the two differ:\n%s\n%s" % (json.dumps(a)[:2000], json.dumps(b)[:2000]))
        return False
    return True


def main():
    command, arguments = sys.argv[1], sys.argv[2:]
    checks = {"schema": check_schema, "csv": check_csv, "same": check_same,
              "lspci": lambda j, v, s, *dump: check_lspci(j, v, s, bool(dump))}
    sys.exit(0 if checks[command](*arguments) else 1)


main()
