#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Hosting the Tessaline control from Python through ctypes.

Finds the control through the user's component registry, looks its methods
up by name, previews the first logo, stores the logos in a printer's NV
memory (with a progress line per logo) and prints stored image 1.

    python3 tessaline_ctypes.py PRINTER LOGO.bmp [LOGO.bmp ...]

Current printers also keep logos as NV graphics, each under a key of two
characters (from blank to "~"). With --graphic KEY the host stores the one
logo under KEY instead (StoreGraphic), lists the keys the printer holds
(GraphicKeys) and prints the graphic by its key (PrintGraphic); a receipt
prints it the same way with the bytes of `tessaline-cli nv command --print`.

    python3 tessaline_ctypes.py --graphic KEY PRINTER LOGO.bmp

Through a printer's address (socket://HOST:PORT, usb:///dev/usb/lp0,
serial:///dev/ttyS0, file:///PATH) each step is checked against the key
list the printer sends back: 0 with an empty ErrorText means it holds what
was asked; TESSALINE_PRINTER_NOT_KEPT (-6) that it refused or did not keep
it (no room: ErrorText gives the figures). Through a spooler queue, or to a
printer that does not answer, the bytes go blind: 0, and ErrorText says they
were not verified. On many printers defining NV graphics erases every NV
image stored with Upload, and an Upload erases every NV graphic: use one or
the other.

Exit status: 0 done, 1 wrong use or a logo that cannot be sent, 2 the printer
is not installed, 3 the control could not be loaded or the job not sent (or,
for a graphic, not kept). Every failure of the control is printed with its
ErrorText.
"""
import ctypes
import os
import sys
from ctypes import (CFUNCTYPE, POINTER, Structure, Union, byref, c_char_p, c_int16, c_int32,
                    c_uint16, c_uint32, c_void_p)

# tessaline_control.h, the parts this host uses; Python cannot include C, so
# the values are copied here under the header's names (the tests compare them).
TESSALINE_PROGID = "TESSALINE.TessalineCtrl.1"
TESSALINE_EVENTID_PROGRESS = 1
TESSALINE_PRINTER_OK = 0
TESSALINE_PRINTER_REFUSED = -4
TESSALINE_PRINTER_NOT_INSTALLED = -5
TESSALINE_PRINTER_NOT_KEPT = -6

# tessaline_component.h, the parts this host uses.
TS_COMPONENT_ABI_VERSION = 1
TS_VT_I2, TS_VT_I4, TS_VT_STR, TS_VT_BYREF = 2, 3, 8, 0x4000

# Exit statuses for a failed Upload or Print; any other failure is 3.
EXIT_STATUS = {TESSALINE_PRINTER_NOT_INSTALLED: 2, TESSALINE_PRINTER_REFUSED: 1}


class Value(Union):
    _fields_ = [("i2", c_int16), ("i4", c_int32), ("str", c_void_p),
                ("pi2", POINTER(c_int16)), ("pi4", POINTER(c_int32)), ("pstr", c_void_p)]


class Variant(Structure):
    _fields_ = [("vt", c_uint16), ("u", Value)]


class Control(Structure):
    pass


PControl = POINTER(Control)
EventFn = CFUNCTYPE(None, c_void_p, c_int32, POINTER(Variant), c_uint32)


class EventSink(Structure):
    _fields_ = [("context", c_void_p), ("Invoke", EventFn)]


class ControlVtbl(Structure):
    # Slots in the header's order; the ones this host does not call stay c_void_p.
    _fields_ = [
        ("AddRef", CFUNCTYPE(c_uint32, PControl)),
        ("Release", CFUNCTYPE(c_uint32, PControl)),
        ("GetIDOfName", CFUNCTYPE(c_int32, PControl, c_char_p, POINTER(c_int32))),
        ("Invoke", CFUNCTYPE(c_int32, PControl, c_int32, POINTER(Variant), c_uint32,
                             POINTER(Variant))),
        ("FreeString", CFUNCTYPE(None, PControl, c_void_p)),
        ("Advise", CFUNCTYPE(c_int32, PControl, POINTER(EventSink), POINTER(c_uint32))),
        ("Unadvise", CFUNCTYPE(c_int32, PControl, c_uint32)),
        ("SetHostSite", c_void_p),
        ("GetTypeLib", c_void_p),
        ("Draw", c_void_p),
        ("GetVerbs", c_void_p),
        ("GetPropertyPages", c_void_p),
        ("GetMiscStatus", c_void_p),
    ]


Control._fields_ = [("vtbl", POINTER(ControlVtbl))]


class ClassFactory(Structure):
    pass


PFactory = POINTER(ClassFactory)


class FactoryVtbl(Structure):
    _fields_ = [
        ("AddRef", CFUNCTYPE(c_uint32, PFactory)),
        ("Release", CFUNCTYPE(c_uint32, PFactory)),
        ("CreateInstance", CFUNCTYPE(c_int32, PFactory, POINTER(PControl))),
        ("LockServer", CFUNCTYPE(c_int32, PFactory, c_int32)),
    ]


ClassFactory._fields_ = [("vtbl", POINTER(FactoryVtbl))]


class ModuleInfo(Structure):
    _fields_ = [("abiVersion", c_uint32)]  # the first field is all this host reads


def registry_file():
    config = os.environ.get("XDG_CONFIG_HOME", "")
    if not config.startswith("/"):
        config = os.path.join(os.path.expanduser("~"), ".config")
    return os.path.join(config, "tessaline", "components.reg")


def read_registry(path):
    """Sections of the registry file by lower-cased name; the first key wins."""
    sections, current = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if line.startswith("[") and "]" in line:
                current = sections.setdefault(line[1:line.index("]")].lower(), {})
            elif current is not None and "=" in line and line[0] not in "#;":
                key, value = line.split("=", 1)
                current.setdefault(key.strip().lower(), value.strip())
    return sections


def find_library(prog_id):
    path = registry_file()
    try:
        sections = read_registry(path)
    except FileNotFoundError:
        sections = {}
    clsid = sections.get("progid\\" + prog_id.lower(), {}).get("clsid")
    library = sections.get("clsid\\" + (clsid or "").lower(), {}).get("inprocserver32")
    if not library:
        raise LookupError(f"{prog_id} is not registered in {path}; run: tessaline-cli register")
    return library


class TessalineControl:
    """One control instance, called late-bound by dispatch identifier."""

    def __init__(self):
        path = find_library(TESSALINE_PROGID)
        # RTLD_LOCAL, as every host loads it; the library stays mapped anyway.
        self._lib = ctypes.CDLL(path, mode=os.RTLD_NOW | os.RTLD_LOCAL)
        info = self._lib.DllGetModuleInfo
        info.restype = POINTER(ModuleInfo)
        if info().contents.abiVersion != TS_COMPONENT_ABI_VERSION:
            raise RuntimeError(f"{path} speaks another component ABI version")
        get_class_object = self._lib.DllGetClassObject
        get_class_object.argtypes = [c_char_p, POINTER(PFactory)]
        get_class_object.restype = c_int32
        factory = PFactory()
        if get_class_object(TESSALINE_PROGID.encode(), byref(factory)) < 0:
            raise RuntimeError(f"{path} does not create {TESSALINE_PROGID}")
        self._control = PControl()
        created = factory.contents.vtbl.contents.CreateInstance(factory, byref(self._control))
        factory.contents.vtbl.contents.Release(factory)
        if created < 0:
            raise RuntimeError(f"cannot create {TESSALINE_PROGID}")
        self._vtbl = self._control.contents.vtbl.contents
        self._sink = None
        self._cookie = c_uint32(0)
        self.path = path

    def close(self):
        if self._sink is not None:
            self._vtbl.Unadvise(self._control, self._cookie)
        self._vtbl.Release(self._control)

    def dispid(self, name):
        value = c_int32()
        if self._vtbl.GetIDOfName(self._control, name.encode(), byref(value)) < 0:
            raise LookupError(f"the control has no member {name}")
        return value.value

    def on_event(self, handler):
        """handler(dispid, [int, ...]) for every event, raised inside the call."""

        def invoke(_context, dispid, args, argc):
            handler(dispid, [args[k].u.i4 for k in range(argc) if args[k].vt == TS_VT_I4])

        self._sink = EventSink(None, EventFn(invoke))  # kept alive while connected
        self._vtbl.Advise(self._control, byref(self._sink), byref(self._cookie))

    def invoke(self, dispid, *args):
        """Calls a method; ints are 32-bit unless given as ('i2', n); a list
        [0] is a 32-bit by-reference argument the method writes back."""
        keep, variants = [], (Variant * len(args))()
        for v, a in zip(variants, args):
            if isinstance(a, str):
                buffer = ctypes.create_string_buffer(a.encode())
                keep.append(buffer)
                v.vt, v.u.str = TS_VT_STR, ctypes.addressof(buffer)
            elif isinstance(a, tuple):
                v.vt, v.u.i2 = TS_VT_I2, a[1]
            elif isinstance(a, list):
                cell = c_int32(a[0])
                keep.append((a, cell))
                v.vt, v.u.pi4 = TS_VT_I4 | TS_VT_BYREF, ctypes.pointer(cell)
            else:
                v.vt, v.u.i4 = TS_VT_I4, a
        result = Variant()
        hr = self._vtbl.Invoke(self._control, dispid, variants, len(args), byref(result))
        if hr < 0:
            raise RuntimeError(f"Invoke({dispid}) failed: 0x{hr & 0xFFFFFFFF:08X}")
        for item in keep:
            if isinstance(item, tuple):
                item[0][0] = item[1].value
        if result.vt == TS_VT_STR:
            # The string is the caller's: copy it, then give it back.
            text = ctypes.string_at(result.u.str).decode() if result.u.str else ""
            self._vtbl.FreeString(self._control, result.u.str)
            return text
        return result.u.i4


def main(argv):
    key = None
    if len(argv) == 5 and argv[1] == "--graphic":
        key, argv = argv[2], argv[:1] + argv[3:]
    if len(argv) < 3 or argv[1].startswith("--"):
        print("Usage: tessaline_ctypes.py PRINTER LOGO.bmp [LOGO.bmp ...]\n"
              "       tessaline_ctypes.py --graphic KEY PRINTER LOGO.bmp", file=sys.stderr)
        return 1
    printer, logos = argv[1], argv[2:]
    try:
        control = TessalineControl()
    except (LookupError, OSError, RuntimeError) as e:
        print(f"tessaline_ctypes: {e}", file=sys.stderr)
        return 3
    try:
        ids = {name: control.dispid(name)
               for name in ("BitmapInfo", "Preview", "Upload", "Print", "ErrorText",
                            "StoreGraphic", "PrintGraphic", "DeleteGraphic", "GraphicKeys")}
        print(f"control from {control.path}: dispatch ids {ids}")

        def fail(message, status):
            # ErrorText(): why the control's last call failed, in its own words.
            print(f"tessaline_ctypes: {message}: {control.invoke(ids['ErrorText'])}",
                  file=sys.stderr)
            return status

        def on_event(dispid, args):
            if dispid == TESSALINE_EVENTID_PROGRESS and args:
                print(f"progress: logo {args[0]} sent")

        if key is not None:
            return store_graphic(control, ids, printer, key, logos[0], fail, on_event)

        for logo in logos:
            bits, height, width = [0], [0], [0]
            if control.invoke(ids["BitmapInfo"], logo, bits, height, width) != 0:
                return fail(f"{logo} is not a bitmap that can be read", 1)
            print(f"{logo}: {bits[0]} bits per pixel, {width[0]} x {height[0]} dots")

        # Preview(file, ImageMode 1 = Error Diffusion, Brightness 5) writes the
        # one-bit picture into the current folder and returns its path.
        print("preview:", control.invoke(ids["Preview"], logos[0], ("i2", 1), ("i2", 5)))

        # Upload(0, printer, "a.bmp|b.bmp|", ImageMode, Brightness): logo k
        # becomes NV image k. The NV memory wears: upload at set-up, rarely.
        control.on_event(on_event)
        result = control.invoke(ids["Upload"], 0, printer, "".join(p + "|" for p in logos), 1, 5)
        if result != TESSALINE_PRINTER_OK:
            return fail(f"upload to \"{printer}\" failed ({result})", EXIT_STATUS.get(result, 3))

        # Print(0, printer, Range 1, Mode 0 = normal size, lngEnd 0): image 1, then a cut.
        result = control.invoke(ids["Print"], 0, printer, 1, 0, 0)
        if result != TESSALINE_PRINTER_OK:
            return fail(f"printing on \"{printer}\" failed ({result})", EXIT_STATUS.get(result, 3))
        print(f"stored {len(logos)} logo(s) in \"{printer}\" and printed NV image 1")
        return 0
    finally:
        control.close()


def store_graphic(control, ids, printer, key, logo, fail, on_event):
    """StoreGraphic, GraphicKeys and PrintGraphic for one logo under `key`."""
    statuses = dict(EXIT_STATUS)
    statuses[TESSALINE_PRINTER_NOT_KEPT] = 3

    def checked(what):
        # After 0, ErrorText is empty when the printer's key list confirmed the step.
        note = control.invoke(ids["ErrorText"]) or "verified against the printer's key list"
        print(f"{what}: {note}")

    # StoreGraphic(printer, key, file, ImageMode 1, Brightness 5): converted as
    # Upload converts; Progress(1) once the bytes went out.
    control.on_event(on_event)
    result = control.invoke(ids["StoreGraphic"], printer, key, logo, 1, 5)
    if result != TESSALINE_PRINTER_OK:
        return fail(f"storing {logo} as \"{key}\" on \"{printer}\" failed ({result})",
                    statuses.get(result, 3))
    checked(f"stored {logo} as NV graphic \"{key}\"")

    # GraphicKeys(printer): two characters a key; "" with ErrorText when it cannot be asked.
    keys = control.invoke(ids["GraphicKeys"], printer)
    note = control.invoke(ids["ErrorText"])
    listed = [keys[i:i + 2] for i in range(0, len(keys), 2)]
    print(f"keys: {note}" if note else f"keys: {listed}")

    # PrintGraphic(printer, key, ScaleX 1, ScaleY 1).
    result = control.invoke(ids["PrintGraphic"], printer, key, 1, 1)
    if result != TESSALINE_PRINTER_OK:
        return fail(f"printing \"{key}\" on \"{printer}\" failed ({result})",
                    statuses.get(result, 3))
    checked(f"printed NV graphic \"{key}\"")
    # DeleteGraphic(printer, key) removes it again; DeleteGraphic(printer, "") removes all.
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
