#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Fails when a file includes what its layer may not use.

Usage: check-layers.py [SOURCE-DIR]

Every folder with C or C++ sources has a rule below: which layers' public
headers and which kinds of system header its files may include. A file may
always include its own folder's headers, except that a public header (under
include/) may not include a private one, which its users cannot see. The tests
of a folder may also include that folder's private headers, and no other
folder's. CTest runs this under the label "layers"; nothing is built first.
"""

import os
import re
import sys

# Where each layer's public headers live. A quoted include names its layer by
# its path: "platform/cups/CupsBackend.h" is platform/cups's, and
# "tessaline/..." are the C headers installed for hosts: the component ABI
# and the Tessaline control's contract.
PUBLIC_ROOTS = {
    "base": "base/include",
    "imaging": "imaging/include",
    "printer": "printer/include",
    "fleet": "fleet/include",
    "escpos": "escpos/include",
    "platform": "platform/include",
    "platform/cups": "platform/cups/include",
    "platform/virtual": "platform/virtual/include",
    "platform/connection": "platform/connection/include",
    "platform/component": "platform/component/include",
    "platform/win32": "platform/win32/include",
    "platform/pictures": "platform/pictures/include",
    "tessaline": "platform/component/include",
    "app/core": "app/core/include",
    "app/gui": "app/gui/include",
    "app/win32": "app/win32/include",
    "tests/support": "tests/support/include",
}

# What each folder may use besides its own headers: layers ("printer"), single
# public headers ("platform/Spooler.h"), another folder's private headers
# ("private:imaging"), the test helpers of other test folders ("tests"; no
# folder has it, since what tests share is in tests/support), and kinds of
# system header (std, simd, posix, dlfcn, qt, cups, png, gtest, benchmark,
# win32, com, winspool, winui; see SYSTEM_KINDS). A rule for one file adds to
# its folder's.
# Every folder may use EVERYWHERE besides.
RULES = {
    "base": ("std", "the result type every layer returns, with the standard library alone"),
    "imaging": (
        "std simd",
        "decodes and converts bytes with the standard library alone; SIMD comes with the compiler"),
    "printer": (
        "std imaging platform/Spooler.h platform/PrinterAddress.h platform/PrinterNvRecords.h"
        " platform/connection",
        "builds command streams from logos and sends them through the spooler interface or a"
        " printer's direct connection; reads the printer's replies; counts the NV writes it"
        " sends in the printer records every tool shares"),
    "fleet": (
        "std toml printer imaging platform platform/connection",
        "many printers from one manifest: the manifest (toml++ only here), each printer's"
        " plan, the state file, and the run that asks, writes and checks through printer/"),
    "escpos": (
        "std png qrencode iconv printer/Profile.h",
        "the receipt printer emulator: interpreter, responder and renderer over the standard"
        " library, with libpng for its pictures, libqrencode for QR codes and iconv, part of the"
        " C library, for code pages; what a printer is (printer/Profile.h, plain data) and no"
        " other printer/ header: no encoder of theirs, whose oracle it is; no platform header"),
    "platform": (
        "std",
        "the spooler interface, the driver-data files and the seams over the system: code"
        " every platform shares, so nothing of one system's (that is in platform/posix)"),
    "platform/posix": (
        "std posix platform",
        "the POSIX implementations of the platform's seams, one file each"),
    "platform/posix/SystemSpooler.cpp": (
        "platform/cups/CupsBackend.h platform/virtual/VirtualPrinterBackend.h",
        "the one function that builds the spooler of the program, the control and the CLI"),
    "platform/connection": (
        "std posix asio win32 winsock platform",
        "printers reached directly: Asio for TCP and serial ports, POSIX for USB devices; the"
        " machine's own networks (getifaddrs, or the IP Helper on Windows)"),
    "platform/cups": (
        "std posix cups platform",
        "the one user of libcups, behind the spooler interface"),
    "platform/cups/backend": (
        "std posix cups platform platform/cups platform/connection",
        "the CUPS backend `tessaline`: plays the driver's part for a queue, sending each job"
        " with the driver record's logo commands to a printer reached by its address"),
    "platform/virtual": (
        "std posix platform escpos",
        "virtual printers: the emulator's installed printers, their folders, NV memory and"
        " state files, and the spooler backend over them"),
    "platform/pictures": (
        "std png jpeg gif imaging",
        "the decoders of PNG, JPEG and GIF logos that imaging is handed: libpng, libjpeg-turbo"
        " and giflib only here"),
    "platform/pictures/win32": (
        "std win32 com wic imaging platform/pictures platform/win32/ComOwners.h",
        "the same decoders over the Windows Imaging Component, a part of the system, its"
        " references owned as all of Windows' code owns them"),
    "platform/component": (
        "std posix dlfcn platform",
        "the component ABI's platform side: the registry files and loading libraries"),
    "platform/win32": (
        "std win32 com winspool platform platform/component tessaline",
        "the Windows spooler, ANSI text, and the component host's calls over COM"),
    "control": (
        "std imaging printer tessaline platform/Spooler.h platform/SystemSpooler.h"
        " platform/AtomicFile.h platform/PrinterCommandsFile.h platform/pictures",
        "the control's methods over imaging and printer, which both shells host, printing"
        " through the system's spooler in each printer's kept command language and reading"
        " pictures with the system's decoders"),
    "control/component": (
        "std dlfcn tessaline platform/component private:control",
        "the shell of libtessaline-control.so around the shared control: the component ABI,"
        " type information and the registry; dlfcn finds its own file to register it"),
    "control/win32": (
        "std win32 com tessaline private:control imaging/PathEncoding.h platform/win32",
        "the COM shell of Tessaline.ocx around the shared control; the Windows spooler"),
    "app/core": (
        "std tessaline platform platform/component printer imaging platform/connection"
        " platform/pictures fleet",
        "the program's rules: the host side of the component ABI, no Qt, no backend and nothing"
        " of one system's, since it builds for Windows too; the \"Printers\" tab asks and"
        " stores through printer/ as tessaline-cli does, and makes a logo's dots with imaging"),
    "app/gui": (
        "std posix qt app/core tessaline platform platform/component",
        "Qt windows over app/core, and main() settling the working folder and building the"
        " spooler list (platform/SystemSpooler.h), which links the backends: libcups and libpng"),
    "app/win32": (
        "std win32 com winui app/core tessaline platform platform/component platform/win32"
        " imaging platform/pictures",
        "the windows over app/core: common controls, dialogs, the control hosted through OLE"
        " and called through the component host, as on Linux; the image panel decodes PNG,"
        " JPEG and GIF logos as the control does"),
    "tools": (
        "std asio tessaline printer fleet platform platform/component platform/virtual escpos"
        " platform/connection imaging platform/pictures",
        "tessaline-cli: a host of the control that also manages and serves virtual printers,"
        " asks printers reached by their address through printer/, whose NV graphics commands"
        " `nv` sends, and fits and dithers logos with imaging before the control reads them"),
    "tools/QueueCommand.cpp": (
        "platform/cups/CupsQueues.h",
        "the queues of the backend tessaline, made through the CUPS API"),
    "tools/win32": (
        "std private:tools",
        "what tessaline-cli.exe does otherwise: it has no virtual printers"),
    "samples": (
        "std imaging platform/AtomicFile.h",
        "converts the sample logo without a printer, writing its pictures as the control does"),
    "fuzz": (
        "std posix imaging printer platform escpos platform/component platform/pictures fleet",
        "feeds each parser bytes: the BMP decoder, the PNG, JPEG and GIF decoders, the imaging"
        " sequence, the ESC/POS emulator, the INI reader, the component registry, the"
        " readers of a printer connection, and the fleet manifest and state readers"),
    "bench": (
        "std posix benchmark qt imaging printer platform platform/component platform/cups"
        " platform/virtual escpos platform/connection app/core app/gui tests/support",
        "measures every layer through its public headers, with the tests' shared helpers"),
    "docs/examples": (
        "std posix dlfcn tessaline",
        "hosts written against the installed ABI header alone, as other programs are"),
    "tests/support": (
        "std posix gtest cups png jpeg gif platform printer app/core",
        "what several test folders share: temporary homes, files, the BMP builder, the recording"
        " spooler, tessaline-cli as a binary, the private CUPS server; over any layer's front"
        " door"),
    "tests/base": (
        "std gtest",
        "the tests of the result type, the JSON text helpers and the name compare"),
    "tests/imaging": (
        "std posix gtest imaging private:imaging platform/AtomicFile.h platform/pictures"
        " tests/support",
        "the imaging tests, with files written to temporary folders"),
    "tests/printer": (
        "std gtest imaging printer private:printer platform platform/cups platform/connection"
        " tests/support",
        "the printer tests, over a recording spooler and the private CUPS server"),
    "tests/platform": (
        "std posix gtest cups platform platform/cups tests/support",
        "the CUPS backend against a private CUPS server and a fake IPP server"),
    "tests/escpos": (
        "std gtest platform escpos private:escpos tests/support",
        "the emulator's interpreter, pictures and responder, with golden pictures on file"),
    "tests/virtual": (
        "std posix gtest printer platform platform/virtual escpos private:platform/virtual"
        " tests/support",
        "the virtual printers, also as the printer code's spooler"),
    "tests/component": (
        "std dlfcn gtest tessaline platform/component tests/support",
        "the registry and the host, with a component built for the tests"),
    "tests/control": (
        "std posix dlfcn gtest tessaline platform platform/component platform/virtual escpos"
        " tests/support",
        "the control as hosts load it, onto virtual printers"),
    "tests/app": (
        "std posix qt gtest platform platform/component platform/virtual escpos app/core app/gui"
        " private:app/core private:app/gui tests/support",
        "the program's rules and windows with the real control and virtual printers"),
    "tests/fleet": (
        "std posix gtest fleet printer platform tests/support",
        "the manifest, plans and state in-process; tessaline-cli apply against served virtual"
        " printers"),
    "tests/tools": (
        "std posix gtest platform platform/virtual escpos private:tools tests/support",
        "tessaline-cli run in-process and as its binary"),
    "tests/win32": (
        "std win32 com winspool winui gtest platform platform/win32 private:control"
        " private:control/win32 app/core app/win32",
        "hosts of Tessaline.ocx under Wine, its unit tests, and the driver of Tessaline.exe's"
        " windows, which finds their controls by the layout table"),
    "tests/package": (
        "std gtest platform/component tests/support",
        "the installed files and first-run registration"),
}

# Kinds of system header, by the name inside the angle brackets.
SYSTEM_KINDS = [
    ("qt", re.compile(r"^Q[A-Za-z]*$|^Qt[A-Za-z]*/")),
    ("cups", re.compile(r"^cups/")),
    ("png", re.compile(r"^png(conf)?\.h$")),
    ("jpeg", re.compile(r"^jpeglib\.h$")),
    ("gif", re.compile(r"^gif_lib\.h$")),
    ("qrencode", re.compile(r"^qrencode\.h$")),
    ("dlfcn", re.compile(r"^(dlfcn|link)\.h$")),
    ("gtest", re.compile(r"^(gtest|gmock)/")),
    ("benchmark", re.compile(r"^benchmark/")),
    ("asio", re.compile(r"^asio(\.hpp|/)")),
    ("toml", re.compile(r"^toml\+\+/")),
    ("simd", re.compile(r"^[a-z]*intrin\.h$")),
    # C++ headers have no extension; the C library's keep theirs.
    ("std", re.compile(r"^[a-z_]+$|^(assert|ctype|errno|float|inttypes|limits|locale|math|setjmp"
                       r"|signal|stdarg|stdbool|stddef|stdint|stdio|stdlib|string|time|wchar)\.h$")),
    ("iconv", re.compile(r"^iconv\.h$")),
    ("posix", re.compile(r"^(fcntl|poll|pwd|strings|unistd|dirent|spawn|glob|termios|pty|ifaddrs)"
                         r"\.h$|^sys/|^(arpa|netinet)/|^net/if\.h$")),
    # Windows: the base API, COM and OLE, and the print spooler.
    ("win32", re.compile(r"^(windows|guiddef|shlobj|shellapi|knownfolders)\.h$")),
    # Windows sockets and the IP Helper, which lists the adapters' networks.
    ("winsock", re.compile(r"^(winsock2|ws2tcpip|iphlpapi)\.h$")),
    ("com", re.compile(r"^(objbase|ole2|oleauto|oaidl|ocidl|olectl|oleidl|unknwn)\.h$")),
    ("winspool", re.compile(r"^winspool\.h$")),
    # The Windows Imaging Component, the system's picture decoders.
    ("wic", re.compile(r"^wincodec\.h$")),
    # The common controls and dialogs.
    ("winui", re.compile(r"^(commctrl|commdlg)\.h$")),
]

SOURCE = re.compile(r"\.(c|cpp|h)$")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')
GENERATED = re.compile(r"^ui_\w+\.h$|^\w+\.moc$")


def folder_of(path):
    """The longest folder rule that holds `path`, or None."""
    best = None
    for key in RULES:
        if (path == key or path.startswith(key + "/")) and not key.endswith((".cpp", ".h", ".c")):
            if best is None or len(key) > len(best):
                best = key
    return best


# The bottom of the graph: what any layer, imaging included, may use.
EVERYWHERE = {"base"}


def uses_of(path, folder):
    uses = set(RULES[folder][0].split()) | EVERYWHERE
    if path in RULES:
        uses |= set(RULES[path][0].split())
    return uses


def system_kind(name):
    for kind, pattern in SYSTEM_KINDS:
        if pattern.search(name):
            return kind
    return None


def public_layer(root, name):
    """The layer whose public headers hold `name`, or None. A header CMake
    writes from a template (NAME.in beside the layer's headers) is the layer's."""
    found = [layer for layer, include_dir in PUBLIC_ROOTS.items()
             if name.startswith(layer + "/")
             and (os.path.isfile(os.path.join(root, include_dir, name))
                  or os.path.isfile(os.path.join(root, include_dir, name + ".in")))]
    return max(found, key=len) if found else None


def check_file(root, path, folder, private_dirs, test_dirs):
    problems = []
    uses = uses_of(path, folder)
    public_header = "/include/" in "/" + path
    in_tests = path.startswith(("tests/", "bench/"))
    why = f"(rule for {folder}: {RULES[folder][1]})"
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as text:
        lines = list(text)
    for number, line in enumerate(lines, 1):
        match = INCLUDE.match(line)
        if not match:
            continue
        bracket, name = match.groups()
        closing = ">" if bracket == "<" else '"'
        where = f"{path}:{number}: #include {bracket}{name}{closing}"
        if bracket == "<" and not name.startswith("tessaline/"):
            kind = system_kind(name)
            if kind is None:
                problems.append(f"{where}: an unknown system header; give it a kind in SYSTEM_KINDS")
            elif kind not in uses:
                problems.append(f"{where}: {folder} may not use {kind} {why}")
            continue
        local = os.path.normpath(os.path.join(os.path.dirname(path), name))
        if bracket == '"' and os.path.isfile(os.path.join(root, local)):
            owner = folder_of(local)
            if owner == folder:
                if public_header and "/include/" not in "/" + local:
                    problems.append(f"{where}: a public header includes a private one")
            elif local.startswith("tests/") and in_tests:
                if "tests" not in uses:
                    problems.append(f"{where}: {folder} may not use other tests' helpers {why}")
            else:
                problems.append(f"{where}: reaches into {owner} by a relative path")
            continue
        if bracket == '"' and GENERATED.match(name):
            continue
        layer = public_layer(root, name)
        if layer is not None:
            own = layer == folder or (layer == "tessaline" and folder == "platform/component")
            if not own and layer not in uses and name not in uses:
                problems.append(f"{where}: {folder} may not use {layer} {why}")
            continue
        owner = holder(root, name, private_dirs)
        if owner is not None:
            if f"private:{owner}" not in uses:
                problems.append(f"{where}: a private header of {owner} {why}")
            continue
        helper = holder(root, name, test_dirs)
        if helper is not None:
            if not in_tests:
                problems.append(f"{where}: a test helper of {helper}")
            elif "tests" not in uses:
                problems.append(f"{where}: {folder} may not use other tests' helpers {why}")
            continue
        public = [os.path.relpath(os.path.join(d, f), os.path.join(root, include_dir))
                  for include_dir in sorted(set(PUBLIC_ROOTS.values()))
                  for d, _, files in os.walk(os.path.join(root, include_dir))
                  for f in files if f == os.path.basename(name)]
        hint = f"; public headers go by their layer: {public[0]}" if public else ""
        problems.append(f"{where}: no such header{hint}")
    return problems


def holder(root, name, dirs):
    """The first of `dirs` that holds `name`, or None."""
    for folder in dirs:
        if os.path.isfile(os.path.join(root, folder, name)):
            return folder
    return None


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else
                           os.path.join(os.path.dirname(__file__), ".."))
    sources = []
    for directory, subdirs, files in os.walk(root):
        relative = os.path.relpath(directory, root)
        if relative == ".":
            # The build trees and hidden folders are not sources.
            subdirs[:] = [d for d in subdirs if not d.startswith((".", "build"))]
            continue
        sources += [os.path.join(relative, f) for f in files if SOURCE.search(f)]
    folders = [key for key in RULES if not key.endswith((".cpp", ".h", ".c"))]
    private_dirs = sorted({os.path.dirname(s) for s in sources
                           if s.endswith(".h") and "/include/" not in "/" + s
                           and not s.startswith(("tests/", "bench/"))})
    test_dirs = sorted({os.path.dirname(s) for s in sources if s.startswith("tests/")})
    problems = []
    for path in sorted(sources):
        folder = folder_of(path)
        if folder is None:
            problems.append(f"{path}: no rule for its folder; add one to RULES")
            continue
        problems += check_file(root, path, folder, private_dirs, test_dirs)
    for rule in RULES:
        if not os.path.exists(os.path.join(root, rule)):
            problems.append(f"{rule}: a rule for something that is not there")
    for problem in problems:
        print(problem)
    if problems:
        print(f"layers: {len(problems)} include(s) break the layering")
        return 1
    print(f"layers: {len(sources)} files in {len(folders)} folders keep to their layers")
    return 0


if __name__ == "__main__":
    sys.exit(main())
