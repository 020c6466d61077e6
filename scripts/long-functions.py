#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
"""Lists the functions of the product code longer than a limit (default 60 lines, from the
signature's last line to the closing brace), as this code is laid out: a function's body opens
with a brace on a line of its own and closes with one at the same indentation.
Usage: scripts/long-functions.py [LIMIT] [FILE...] (default: core, platform, flGUI, list, updater).
The exit status is 1 when any is found."""
import pathlib
import re
import sys

root = pathlib.Path(__file__).resolve().parent.parent
arguments = sys.argv[1:]
limit = int(arguments.pop(0)) if arguments and arguments[0].isdigit() else 60
files = [pathlib.Path(name) for name in arguments] or sorted(
    path.relative_to(root) for folder in ("core", "platform", "flGUI", "list", "updater")
    for path in (root / folder).iterdir() if path.suffix in (".cpp", ".h"))

found = 0
for path in files:
    opened = {}  # indentation: (line of the signature, the signature)
    previous = ""
    for number, line in enumerate((root / path).read_text(errors="replace").splitlines(), 1):
        if re.fullmatch(r"\s*\{\s*", line):
            opened[line.index("{")] = (number - 1, previous.strip())
        elif re.fullmatch(r"\s*\}\s*;?\s*", line) and line.index("}") in opened:
            start, signature = opened.pop(line.index("}"))
            if number - start + 1 > limit:
                print(f"{path}:{start}: {number - start + 1} lines: {signature}")
                found += 1
        if line.strip():
            previous = line
sys.exit(1 if found else 0)
