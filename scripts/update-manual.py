#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Puts the OPTIONS section that `tessaline-cli completion man` writes from
the option tables into packaging/tessaline-cli.1, between its marker lines
(before SHELL COMPLETION when the page has none yet).

    scripts/update-manual.py build/default/tools/tessaline-cli
"""
import pathlib
import subprocess
import sys

page = pathlib.Path(__file__).resolve().parent.parent / "packaging" / "tessaline-cli.1"
if len(sys.argv) != 2:
    sys.exit("usage: update-manual.py TESSALINE-CLI")
section = subprocess.run([sys.argv[1], "completion", "man"], check=True, capture_output=True,
                         text=True).stdout
begin, end = section.splitlines()[0], section.splitlines()[-1]
text = page.read_text()
if begin in text:
    head, rest = text.split(begin + "\n", 1)
    if end + "\n" not in rest:
        sys.exit(f"{page}: the OPTIONS section has no end line: {end}")
    tail = rest.split(end + "\n", 1)[1]
else:
    head, tail = text.split(".SH SHELL COMPLETION\n", 1)
    tail = ".SH SHELL COMPLETION\n" + tail
new = head + section + tail
if new != text:
    page.write_text(new)
    print(f"{page}: OPTIONS written")
else:
    print(f"{page}: OPTIONS already as the tables say")
