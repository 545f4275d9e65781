// SPDX-License-Identifier: MIT
/*
 * The Tessaline control as its hosts know it: the ProgID and class, interface
 * and type-library identifiers it is created and described by, the dispatch
 * and event identifiers its methods and its event are called by, and the
 * result codes of Upload, Print and the NV graphics methods. None of these ever changes: hosts are
 * built against them, and the control is built against this same header.
 *
 * Plain C with nothing but macros, so C, C++ and Python hosts (which copy the
 * values) and a COM host on Windows use one set of values. Hosts on Linux
 * create the control through <tessaline/tessaline_component.h>.
 *
 * Identifiers come twice: as the registry writes them ("{XXXXXXXX-...}"), and
 * as brace initialisers of a GUID ({Data1, Data2, Data3, {Data4[0..7]}}), as
 * in  static const CLSID clsid = TESSALINE_CLSID_GUID;
 */
#ifndef TESSALINE_CONTROL_H
#define TESSALINE_CONTROL_H

/* Each GUID stays on one line, to be read against its string. */
/* clang-format off */

/* ---- Creating the control ------------------------------------------------- */

/* The ProgID hosts create the control by. */
#define TESSALINE_PROGID "TESSALINE.TessalineCtrl.1"

/* The class Tessaline. */
#define TESSALINE_CLSID "{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}"
#define TESSALINE_CLSID_GUID \
    {0xD20B7BA2, 0xF718, 0x4DA7, {0x8D, 0xE3, 0x7A, 0x07, 0xC0, 0xB3, 0x83, 0xA5}}

/* The property page class, registered under the ProgID below. */
#define TESSALINE_PROPPAGE_PROGID "TESSALINE.TessalinePropPage.1"
#define TESSALINE_PROPPAGE_CLSID "{A3E45346-70C8-4900-8193-B86FFF51784A}"
#define TESSALINE_PROPPAGE_CLSID_GUID \
    {0xA3E45346, 0x70C8, 0x4900, {0x81, 0x93, 0xB8, 0x6F, 0xFF, 0x51, 0x78, 0x4A}}

/* ---- The type library TESSALINELib ---------------------------------------- */

#define TESSALINE_LIBID "{C55950F9-B8E7-4BEA-B316-2A86074C54F8}"
#define TESSALINE_LIBID_GUID \
    {0xC55950F9, 0xB8E7, 0x4BEA, {0xB3, 0x16, 0x2A, 0x86, 0x07, 0x4C, 0x54, 0xF8}}
#define TESSALINE_LIB_VERSION_MAJOR 1
#define TESSALINE_LIB_VERSION_MINOR 0
#define TESSALINE_LIB_VERSION "1.0"

/* The dispatch interface _DTessaline: the methods. */
#define TESSALINE_DIID_DTESSALINE "{A12BB3FB-2E10-4593-AEA3-FFB933B44E68}"
#define TESSALINE_DIID_DTESSALINE_GUID \
    {0xA12BB3FB, 0x2E10, 0x4593, {0xAE, 0xA3, 0xFF, 0xB9, 0x33, 0xB4, 0x4E, 0x68}}

/* The event interface _DTessalineEvents: the event. */
#define TESSALINE_DIID_DTESSALINEEVENTS "{73783CE4-1332-4912-A77D-74787F0C1126}"
#define TESSALINE_DIID_DTESSALINEEVENTS_GUID \
    {0x73783CE4, 0x1332, 0x4912, {0xA7, 0x7D, 0x74, 0x78, 0x7F, 0x0C, 0x11, 0x26}}

/* clang-format on */

/* ---- Dispatch identifiers of _DTessaline ---------------------------------- */

/* BitmapInfo(NVImage, BitsPixel*, Height*, Width*): 0, or -1 for a file that
 * cannot be loaded as a bitmap. */
#define TESSALINE_DISPID_BITMAPINFO 1
/* Preview(PreviewName, ImageMode, Brightness): the preview picture's path. */
#define TESSALINE_DISPID_PREVIEW 2
/* Print(Printer, PrinterName, Range, Mode, lngEnd): a result code below. */
#define TESSALINE_DISPID_PRINT 3
/* Upload(Printer, PrinterName, NVImage, ImageMode, Brightness): a result code below. */
#define TESSALINE_DISPID_UPLOAD 4
/* ErrorText(): why this control's last call failed; empty after a success.
 * Every call replaces it, also one refused for its arguments. */
#define TESSALINE_DISPID_ERRORTEXT 5

/* NV graphics by key, on printers that keep logos under two-character keys
 * (GS ( L). PrinterName is a spooler queue, through which the bytes go blind
 * (the result is 0 and ErrorText says so), or an address (socket://HOST[:PORT],
 * usb:///dev/usb/lpN, serial://PORT, file:///PATH), whose printer is asked
 * its key list afterwards; one that does not answer gets the bytes, and the
 * result is 0 with ErrorText saying they were not verified. So 0 with an empty
 * ErrorText means the printer holds what was asked. */
/* StoreGraphic(PrinterName, Key, FileName, ImageMode, Brightness): converts the
 * file as Upload does and stores it under Key; refused (-6) with the figures
 * when the printer's free NV graphics memory cannot take it. Raises Progress(1)
 * once the bytes went out. A result code below. */
#define TESSALINE_DISPID_STOREGRAPHIC 6
/* PrintGraphic(PrinterName, Key, ScaleX, ScaleY): prints the stored graphic,
 * each scale 1 or 2. A result code below. */
#define TESSALINE_DISPID_PRINTGRAPHIC 7
/* DeleteGraphic(PrinterName, Key): deletes one graphic, or every one when Key
 * is "". A result code below. */
#define TESSALINE_DISPID_DELETEGRAPHIC 8
/* GraphicKeys(PrinterName): the keys the printer holds as one string, two
 * characters a key ("A1LG"); empty, with ErrorText set, when the printer
 * cannot be asked or does not answer (empty with ErrorText empty: no keys). */
#define TESSALINE_DISPID_GRAPHICKEYS 9

/* The automatic logo: NV graphics the printer prints by itself at the top and
 * the bottom of every receipt (FS ( E), kept in its NV memory. */
/* SetAutoLogo(PrinterName, TopKey, BottomKey, Align): sets the top and bottom
 * logo by key (a key "" sets none there; both "" clear it), Align "left",
 * "center" or "right" ("" is center); writes only what differs, then reads it
 * back: 0 with ErrorText empty when the printer holds what was asked, 0 with
 * ErrorText saying "sent, not verified" or "set, not read back" when that
 * cannot be checked, -6 when the read-back differs. A result code below. */
#define TESSALINE_DISPID_SETAUTOLOGO 10
/* AutoLogo(PrinterName): what the printer prints by itself, "A1,A2,center" (a
 * key empty where none is set); empty with ErrorText set when it cannot be
 * asked or does not answer, empty with ErrorText empty when none is set. */
#define TESSALINE_DISPID_AUTOLOGO 11

/* ---- Event identifiers of _DTessalineEvents ------------------------------- */

/* Progress(Data): raised inside Upload once per logo, inside a print-all Print
 * once per image number, inside StoreGraphic once (1) for its one logo. */
#define TESSALINE_EVENTID_PROGRESS 1

/* ---- Result codes of Upload, Print and the NV graphics methods --------------- */

/* Done: CUPS (Linux) or the Windows spooler accepted the job. */
#define TESSALINE_PRINTER_OK 0
/* No memory for the printer's driver record. */
#define TESSALINE_PRINTER_NO_MEMORY (-1)
/* The printer did not accept a new document (also: Upload or Print called
 * from a Progress handler of the same control). */
#define TESSALINE_PRINTER_NOT_STARTED (-2)
/* The spooler refused the bytes or the job's end (nothing partial is printed),
 * or on Windows reports the ended job in error, deleted or blocked. */
#define TESSALINE_PRINTER_NOT_SENT (-3)
/* The request cannot be sent whole (a file that does not load or fit, an image
 * number outside 1 to 255, a key that is not two characters from blank to
 * "~", a scale other than 1 or 2, on Windows a name the ANSI code page cannot
 * hold, ...); nothing was sent. */
#define TESSALINE_PRINTER_REFUSED (-4)
/* No printer of that name is installed (the empty name names none). */
#define TESSALINE_PRINTER_NOT_INSTALLED (-5)
/* NV graphics: the printer refused the graphic or did not keep it (no room
 * for it, and nothing was sent; or its key list afterwards lacks a stored
 * key, still holds a deleted one, or holds no graphic of the key to print).
 * The reason, with the figures, is in ErrorText. */
#define TESSALINE_PRINTER_NOT_KEPT (-6)
/* The spooler took the whole job, but it has not been printed yet: it still
 * waits in the queue when the wait for it ended (on Linux 20 s, or
 * TESSALINE_CUPS_WAIT seconds). Nothing need be sent again; the queue's state
 * is in ErrorText. */
#define TESSALINE_PRINTER_QUEUED (-7)

#endif /* TESSALINE_CONTROL_H */
