# SPDX-License-Identifier: GPL-2.0-or-later
# Checks of an HTML report, for report.sh.
#   report.py parse FILE TEXT...   FILE parses without a single error under
#       html5lib's strict parser; it holds no script, no element that loads
#       anything, no event handler attribute, and each TEXT stands in its
#       text as text.
#   report.py pages PDF_TEXT HEADING...  each HEADING starts a page of the
#       printed report (pdftotext's output, pages split at form feeds).
import sys

import html5lib


def parse(path, texts):
    parser = html5lib.HTMLParser(strict=True, namespaceHTMLElements=False)
    with open(path, "rb") as file:
        document = parser.parse(file.read())  # raises at the first parse error
    problems = []
    for element in document.iter():
        tag = element.tag if isinstance(element.tag, str) else ""
        tag = tag.split("}")[-1]
        if tag in ("script", "iframe", "object", "embed", "img", "link", "base", "form", "image"):
            problems.append("a <%s> element" % tag)
        for name, value in element.attrib.items():
            name = name.split("}")[-1]
            if name.lower().startswith("on"):
                problems.append("an attribute %s" % name)
            if name in ("href", "src") and not value.startswith("#"):
                problems.append("a reference out of the document: %s" % value)
    text = "".join(document.itertext())
    for expected in texts:
        if expected not in text:
            problems.append("no text %r" % expected)
    for problem in problems:
        print(problem)
    return not problems


def pages(path, headings):
    with open(path, encoding="utf-8") as file:
        printed = file.read().split("\f")
    first_lines = [next((line.strip() for line in page.splitlines() if line.strip()), "") for page in printed]
    missing = [heading for heading in headings if heading not in first_lines]
    for heading in missing:
        print("no page starts with %r; pages start with %r" % (heading, first_lines))
    return not missing


if __name__ == "__main__":
    check = {"parse": parse, "pages": pages}[sys.argv[1]]
    sys.exit(0 if check(sys.argv[2], sys.argv[3:]) else 1)
