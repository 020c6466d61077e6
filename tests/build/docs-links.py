#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-2.0-or-later
# The documents' links hold: every relative link and picture in README.md and
# docs/*.md names a file of the tree (and, after a '#', a heading of it), and
# every picture in docs/ is shown by one of them.
# Usage: docs-links.py SOURCE_DIR
import pathlib
import re
import sys

source = pathlib.Path(sys.argv[1]).resolve()
documents = [source / "README.md"] + sorted((source / "docs").glob("*.md"))
link = re.compile(r"!?\[[^\]]*\]\(([^)\s]+)\)")
fence = re.compile(r"^(```|    )")


def anchor(heading):
    """The anchor a Markdown renderer gives a heading: lower case, spaces as
    hyphens, punctuation other than hyphens and underscores dropped."""
    text = heading.strip().lower()
    return re.sub(r"[^\w\- ]", "", text).replace(" ", "-")


def anchors(path):
    return {anchor(line.lstrip("#")) for line in path.read_text(encoding="utf-8").splitlines()
            if line.startswith("#")}


failures = []
shown = set()
for document in documents:
    in_code = False
    for number, line in enumerate(document.read_text(encoding="utf-8").splitlines(), 1):
        if line.startswith("```"):
            in_code = not in_code
        if in_code or fence.match(line):
            continue
        for target in link.findall(line):
            if re.match(r"^[a-z]+:", target):
                continue  # an address on the web, not a file of the tree
            name, _, fragment = target.partition("#")
            path = (document.parent / name).resolve() if name else document
            where = f"{document.relative_to(source)}:{number}: {target}"
            if not path.is_file():
                failures.append(f"{where}: no such file")
            elif fragment and path.suffix == ".md" and fragment not in anchors(path):
                failures.append(f"{where}: no such heading")
            elif path.suffix == ".png":
                shown.add(path)
for picture in sorted((source / "docs").glob("*.png")):
    if picture not in shown:
        failures.append(f"{picture.relative_to(source)}: shown by no document")
for failure in failures:
    print(failure)
print(f"{len(documents)} documents, {len(failures)} broken link(s)")
sys.exit(1 if failures else 0)
