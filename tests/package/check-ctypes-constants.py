#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The Python host example copies the C headers' values, as Python cannot
include C: every TESSALINE_* and TS_* name it defines holds the headers' value,
and it copies every result code a host must tell apart.

Usage: check-ctypes-constants.py HEADER-DIR EXAMPLE.py
"""
import ast
import os
import re
import sys

DEFINE = re.compile(r"^\s*#\s*define\s+(\w+)\s+(\(?-?\w+\)?|\"[^\"]*\")\s*(?:/\*.*)?$")
ENUMERATOR = re.compile(r"^\s*(TS_\w+)\s*=\s*(\w+)\s*,?")


def header_values(folder):
    values = {}
    for name in ("tessaline_control.h", "tessaline_component.h"):
        with open(os.path.join(folder, "tessaline", name), encoding="utf-8") as text:
            for line in text:
                match = DEFINE.match(line) or ENUMERATOR.match(line)
                if match:
                    try:
                        values[match.group(1)] = ast.literal_eval(match.group(2))
                    except (ValueError, SyntaxError):
                        pass  # a macro of expressions, not a plain value
    return values


def example_values(path):
    with open(path, encoding="utf-8") as text:
        tree = ast.parse(text.read())
    values = {}
    for node in tree.body:
        if not isinstance(node, ast.Assign):
            continue
        for target in node.targets:
            names = target.elts if isinstance(target, ast.Tuple) else [target]
            found = (node.value.elts if isinstance(node.value, ast.Tuple) and
                     isinstance(target, ast.Tuple) else [node.value])
            for name, value in zip(names, found):
                if isinstance(name, ast.Name) and name.id.startswith(("TESSALINE_", "TS_")):
                    values[name.id] = ast.literal_eval(value)
    return values


def main():
    header = header_values(sys.argv[1])
    example = example_values(sys.argv[2])
    problems = [f"{name} is {value!r} in the example, {header.get(name)!r} in the headers"
                for name, value in sorted(example.items()) if header.get(name) != value]
    for needed in ("TESSALINE_PROGID", "TESSALINE_PRINTER_OK", "TESSALINE_PRINTER_REFUSED",
                   "TESSALINE_PRINTER_NOT_INSTALLED", "TESSALINE_PRINTER_NOT_KEPT",
                   "TESSALINE_EVENTID_PROGRESS"):
        if needed not in example:
            problems.append(f"the example does not define {needed}")
    for problem in problems:
        print(f"ctypes constants: {problem}")
    if problems:
        return 1
    print(f"ctypes constants: {len(example)} names agree with the headers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
