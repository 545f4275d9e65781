#!/bin/sh
# SPDX-License-Identifier: MIT
# The Windows build's checks under Wine, headless. CTest runs each as a test
# of its own (label wine), one at a time: they share one Wine prefix.
#
#   wine-checks.sh start           the Wine prefix (made in the build tree the
#                                  first time), the private CUPS server, an
#                                  Xvfb display, the printer "THERMAL #1", the
#                                  control registered; the Linux build's
#                                  control registered in a private registry
#   wine-checks.sh stop            stops everything start started
#   wine-checks.sh registration    regsvr32: the keys written, and removed
#   wine-checks.sh unit EXE        the unit tests of the Windows code
#   wine-checks.sh core EXE        app/core's tests over its Windows halves
#   wine-checks.sh vbscript        docs/examples/tessaline.vbs
#   wine-checks.sh host EXE        the C++ host (TessalineHost.exe)
#   wine-checks.sh atl EXE         Wine's ATL as the container (AtlHost.exe)
#   wine-checks.sh cli EXE         tessaline-cli.exe
#   wine-checks.sh direct EXE      tessaline-cli.exe and Tessaline.ocx (through
#                                  the VBScript example) at a socket:// printer
#                                  the Linux build serves: status, jobs equal
#                                  to the Linux build's, and NV graphics by key
#                                  stored, listed, printed and deleted
#   wine-checks.sh names HOST EXE  names code page 949 cannot hold, through the
#                                  C++ host and tessaline-cli.exe
#   wine-checks.sh program DRIVER  Tessaline.exe driven through its windows in
#                                  English and Korean: two logos added (a BMP
#                                  and a PNG, two BMPs), shown, uploaded,
#                                  printed and erased; the bytes equal the
#                                  Linux build's
#   wine-checks.sh list DRIVER     the program's list: names outside ASCII
#                                  closed twice (code pages 1252 and 949), two
#                                  copies at once, Remove, the start without
#                                  a printer and the 255-logo limit
#   wine-checks.sh printers DRIVER EXE  the "Printers" tab of Tessaline.exe
#                                  opened with --printer on a virtual printer
#                                  the Linux build serves on loopback: its
#                                  state and keys, a PNG logo stored with fit
#                                  and Floyd-Steinberg, printed, deleted, and
#                                  printed on every receipt (read back with
#                                  tessaline-cli.exe nv auto); start-up figures
#                                  with the tab, and pictures of it in English
#                                  and Korean (TESSALINE_SCREENSHOTS=FOLDER
#                                  keeps them there too)
#   wine-checks.sh installer DRIVER  the NSIS installer (made with cpack) run
#                                  silently, the installed program's title in
#                                  both languages with screenshots, start-up
#                                  figures, and the uninstaller
#
# The environment says where things are: TESSALINE_BUILD (this build),
# TESSALINE_SOURCE, TESSALINE_NATIVE_BUILD (the Linux build whose bytes the
# Windows build must equal) and TESSALINE_WINE_WORK (the work folder).
#
# Under Wine, programs print CRLF and a failing script still exits 0, so the
# hosts end with a line "RESULT: PASS" that the checks look for.
set -eu

work=${TESSALINE_WINE_WORK:?}
build=${TESSALINE_BUILD:?}
source=${TESSALINE_SOURCE:?}
native=${TESSALINE_NATIVE_BUILD:?}
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A socket's path may not be longer than about 100 bytes: a deep build tree
# keeps its CUPS server under /tmp instead.
cups="$work/cups"
if [ ${#cups} -gt 90 ]; then
    cups="/tmp/tessaline-wine-cups-$(printf '%s' "$work" | md5sum | cut -c1-12)"
fi
export CUPS_SERVER="$cups/cups.sock"
if [ -f "$work/display" ]; then
    DISPLAY=$(cat "$work/display")
    export DISPLAY
fi

ocx="$build/control/win32/Tessaline.ocx"
program="$build/app/win32/Tessaline.exe"
spooler="$build/tests/win32/SpoolerCheck.exe"
printer="THERMAL #1"
capture="$cups/capture"
clsid="{D20B7BA2-F718-4DA7-8DE3-7A07C0B383A5}"
page="{A3E45346-70C8-4900-8193-B86FFF51784A}"
libid="{C55950F9-B8E7-4BEA-B316-2A86074C54F8}"
progid="TESSALINE.TessalineCtrl.1"
pageprogid="TESSALINE.TessalinePropPage.1"

fail() {
    printf 'wine-checks: %s\n' "$*" >&2
    exit 1
}

# A path as Windows programs see it. winepath now and then prints nothing.
windows_path() {
    for attempt in 1 2 3; do
        path=$(winepath -w "$1" 2>/dev/null || true)
        [ -n "$path" ] && { printf "%s\n" "$path"; return 0; }
    done
    fail "winepath gave no Windows path for $1"
}

# Runs a Windows program; its output without the carriage returns, and its
# exit status (not that of the filter).
run() {
    { wine "$@" 2>&1 || echo $? >"$work/run.status"; } | tr -d '\r'
    [ ! -f "$work/run.status" ] || { status=$(cat "$work/run.status"); rm -f "$work/run.status"; return "$status"; }
}

# Runs a host and fails unless its last line is "RESULT: PASS".
passes() {
    out="$work/host.out"
    run "$@" >"$out" || true
    cat "$out"
    [ "$(tail -n 1 "$out")" = "RESULT: PASS" ] || fail "$1 did not pass"
}

# The Linux build's tessaline-cli, with a registry and data folder of its own
# and the same CUPS server.
native_cli() {
    XDG_CONFIG_HOME="$work/native/config" XDG_DATA_HOME="$work/native/data" \
        "$native/tools/tessaline-cli" "$@"
}

# The capture files of THERMAL_1 in the order the jobs came.
jobs() {
    ls "$capture" | sed -n 's/^THERMAL_1-\([0-9]*\)\.bin$/\1/p' | sort -n |
        sed "s|^|$capture/THERMAL_1-|; s|$|.bin|"
}

# Waits until THERMAL_1 has received COUNT jobs in all.
wait_for_jobs() {
    i=0
    while [ "$(jobs | wc -l)" -lt "$1" ]; do
        i=$((i + 1))
        [ $i -le 300 ] || fail "the printer received $(jobs | wc -l) jobs, not $1"
        sleep 0.1
    done
}

# Fails unless the last COUNT jobs' halves are equal in bytes: the Linux
# build's jobs first, then the Windows build's, in the same order.
same_jobs() {
    count=$1
    jobs | tail -n $((2 * count)) >"$work/jobs.txt"
    i=1
    while [ $i -le "$count" ]; do
        linux=$(sed -n "${i}p" "$work/jobs.txt")
        windows=$(sed -n "$((i + count))p" "$work/jobs.txt")
        cmp "$linux" "$windows" || fail "job $i differs: $linux (Linux) and $windows (Windows)"
        echo "job $i: $(wc -c <"$windows") bytes, equal"
        i=$((i + 1))
    done
}

# Fails unless the driver record of "THERMAL #1" on Windows holds what the
# Linux build keeps for the queue.
same_record() {
    record="$work/native/data/tessaline/driver-data/THERMAL_1/TTY DeviceConfig"
    [ -f "$record" ] || fail "the Linux build kept no driver record"
    expected="type $(cat "$record.type"), $(wc -c <"$record") bytes: $(od -An -v -tx1 "$record" | tr -d ' \n')"
    actual=$(run "$spooler" get "$printer" "TTY DeviceConfig")
    [ "$actual" = "$expected" ] || fail "the driver record differs: $actual"
    echo "driver record: $(wc -c <"$record") bytes, equal"
}

# A fresh printer "THERMAL #1" (no driver record) on our own port, mapped to
# the CUPS queue THERMAL_1: Wine drops printers on "CUPS:" ports that are not
# named after a queue.
fresh_printer() {
    run "$spooler" add "$printer" "THERMAL1:" >/dev/null || fail "cannot add the printer $printer"
    rm -rf "$work/native"
    mkdir -p "$work/native/config" "$work/native/data"
    native_cli register "$native/control/libtessaline-control.so" >/dev/null
}

# A second logo, 100 x 50 dots in 24 bits, that the repository does not hold.
make_coupon() {
    python3 - "$1" <<'PY'
import struct, sys
w, h = 100, 50
row = (w * 3 + 3) // 4 * 4
pixels = bytearray()
for y in range(h):
    line = bytearray()
    for x in range(w):
        v = 255 if (x + 2 * y) % 23 < 11 else (x * 255 // w)
        line += bytes((v, (v + 80) % 256, 255 - v))
    pixels += line + bytes(row - len(line))
head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[1], "wb").write(head + info + pixels)
PY
}

# A third logo, 100 x 50 dots in RGBA PNG: colours over a transparent
# ground with a half-transparent band, and beside it, as a 24-bit BMP, the
# same picture laid over white paper as the control reads it.
make_coupon_png() {
    python3 - "$1" "$2" <<'PY'
import struct, sys, zlib
w, h = 100, 50
rgba = []
for y in range(h):
    line = []
    for x in range(w):
        if (x // 10 + y // 10) % 2:
            a = 0 if x < 50 else 255
            line.append((x * 255 // w, 40, 255 - y * 5, a))
        else:
            line.append((200, (x * 7 + y) % 256, 30, 128 if 20 <= y < 30 else 255))
    rgba.append(line)
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
raw = b"".join(b"\0" + bytes(c for p in line for c in p) for line in rgba)
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0)) + \
    chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
row = (w * 3 + 3) // 4 * 4
pixels = bytearray()
for line in reversed(rgba):
    out = bytearray()
    for r, g, b, a in line:
        out += bytes((c * a + 255 * (255 - a) + 127) // 255 for c in (b, g, r))
    pixels += out + bytes(row - len(out))
head = struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54)
info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
open(sys.argv[2], "wb").write(head + info + pixels)
PY
}

start() {
    mkdir -p "$work"
    [ -x "$native/tools/tessaline-cli" ] ||
        fail "no Linux build at $native: the Windows build is compared with it (cmake --build --preset default)"
    wineserver -k 2>/dev/null || true
    sh "$source/tests/support/private-cupsd.sh" start "$cups" >/dev/null
    [ -S "$CUPS_SERVER" ] || fail "the private CUPS server did not start: $(cat "$cups/unavailable" 2>/dev/null)"

    # One display for the run; windows need one even when nobody looks. Xvfb
    # takes a free display itself and names it (-displayfd), so runs in other
    # build trees at the same time never share one.
    rm -f "$work/display.number"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display.number" \
        >"$work/xvfb.log" 2>&1 &
    echo $! >"$work/xvfb.pid"
    i=0
    until [ -s "$work/display.number" ]; do
        i=$((i + 1))
        [ $i -le 100 ] || fail "Xvfb did not start (see $work/xvfb.log)"
        sleep 0.1
    done
    n=$(tr -d ' \n' <"$work/display.number")
    echo ":$n" >"$work/display"
    DISPLAY=":$n"
    export DISPLAY

    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i >/dev/null 2>&1
        wineserver -w
    fi
    # Without a window manager Wine waits 2 s for each window it hides;
    # unmanaged windows spare that.
    run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null
    # The classic look the program has on Windows without visual styles (Wine
    # themes the common controls otherwise). Debian's Wine does not look for
    # the fonts of fonts-wine where they are installed; Marlett draws the
    # caption buttons.
    run reg add 'HKCU\Software\Microsoft\Windows\CurrentVersion\ThemeManager' \
        /v ThemeActive /t REG_SZ /d 0 /f >/dev/null
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    run reg add 'HKCU\Software\Wine\Printing\Spooler' /v 'THERMAL1:' /t REG_SZ \
        /d 'CUPS:THERMAL_1' /f >/dev/null
    fresh_printer
    wine regsvr32 /s "$(windows_path "$ocx")" || fail "regsvr32 could not register $ocx"
    echo "Wine prefix $WINEPREFIX, display :$n, CUPS server $CUPS_SERVER"
}

stop() {
    wineserver -k 2>/dev/null || true
    if [ -f "$work/xvfb.pid" ]; then
        pid=$(cat "$work/xvfb.pid")
        # Only our own Xvfb: the number may have been reused since.
        case "$(tr '\000' ' ' <"/proc/$pid/cmdline" 2>/dev/null)" in
        Xvfb*) kill "$pid" 2>/dev/null || true ;;
        esac
        rm -f "$work/xvfb.pid" "$work/display"
    fi
    sh "$source/tests/support/private-cupsd.sh" stop "$cups" >/dev/null
}

# The values DllRegisterServer writes, as `reg query /s` lists them.
expected_class_keys() {
    cat <<EOF
HKEY_CLASSES_ROOT\\CLSID\\$clsid
    (Default)    REG_SZ    Tessaline Control
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\Control
    (Default)    REG_SZ    
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\InprocServer32
    (Default)    REG_SZ    $1
    ThreadingModel    REG_SZ    Apartment
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\MiscStatus
    (Default)    REG_SZ    0
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\MiscStatus\\1
    (Default)    REG_SZ    131473
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ProgID
    (Default)    REG_SZ    $progid
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\ToolboxBitmap32
    (Default)    REG_SZ    $1, 1
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\TypeLib
    (Default)    REG_SZ    $libid
HKEY_CLASSES_ROOT\\CLSID\\$clsid\\Version
    (Default)    REG_SZ    1.0
HKEY_CLASSES_ROOT\\CLSID\\$page
    (Default)    REG_SZ    Tessaline Property Page
HKEY_CLASSES_ROOT\\CLSID\\$page\\InprocServer32
    (Default)    REG_SZ    $1
    ThreadingModel    REG_SZ    Apartment
HKEY_CLASSES_ROOT\\CLSID\\$page\\ProgID
    (Default)    REG_SZ    $pageprogid
HKEY_CLASSES_ROOT\\$progid
    (Default)    REG_SZ    Tessaline Control
HKEY_CLASSES_ROOT\\$progid\\CLSID
    (Default)    REG_SZ    $clsid
HKEY_CLASSES_ROOT\\$pageprogid
    (Default)    REG_SZ    Tessaline Property Page
HKEY_CLASSES_ROOT\\$pageprogid\\CLSID
    (Default)    REG_SZ    $page
EOF
}

class_keys() {
    for key in "CLSID\\$clsid" "CLSID\\$page" "$progid" "$pageprogid"; do
        run reg query "HKCR\\$key" /s | grep -v '^$' || true
    done
}

# Every key registration makes: present or absent.
keys_are() {
    for key in "CLSID\\$clsid" "CLSID\\$page" "$progid" "$pageprogid" "TypeLib\\$libid" \
        "Interface\\{A12BB3FB-2E10-4593-AEA3-FFB933B44E68}" \
        "Interface\\{73783CE4-1332-4912-A77D-74787F0C1126}"; do
        if wine reg query "HKCR\\$key" >/dev/null 2>&1; then
            [ "$1" = present ] || fail "HKCR\\$key is still there"
        else
            [ "$1" = absent ] || fail "HKCR\\$key is missing"
        fi
    done
}

registration() {
    path=$(windows_path "$ocx")
    wine regsvr32 /s "$path" || fail "regsvr32 failed"
    keys_are present
    class_keys >"$work/keys.txt"
    expected_class_keys "$path" | diff - "$work/keys.txt" || fail "the class keys differ"
    run reg query "HKCR\\TypeLib\\$libid\\1.0" /s >"$work/typelib.txt"
    grep -q "Tessaline ActiveX Control module" "$work/typelib.txt" &&
        grep -qF "$path" "$work/typelib.txt" || fail "the type library 1.0 is not registered"
    echo "registered: the class keys and the type library"

    wine regsvr32 /u /s "$path" || fail "regsvr32 /u failed"
    keys_are absent
    echo "unregistered: no key left"

    # A ProgID another class has taken over since is not ours to remove.
    wine regsvr32 /s "$path"
    run reg add "HKCR\\$progid\\CLSID" /ve /d "{00000000-0000-0000-0000-000000000001}" /f >/dev/null
    wine regsvr32 /u /s "$path"
    wine reg query "HKCR\\$progid" >/dev/null 2>&1 || fail "another class's ProgID was removed"
    wine reg query "HKCR\\CLSID\\$clsid" >/dev/null 2>&1 && fail "the class is still registered"
    run reg delete "HKCR\\$progid" /f >/dev/null
    echo "unregistered: another class's ProgID left alone"

    # Another uninstaller took the TypeLib key: the rest still goes, and the
    # control can no longer be created.
    wine regsvr32 /s "$path"
    run reg delete "HKCR\\TypeLib\\$libid" /f >/dev/null
    wine regsvr32 /u /s "$path" || fail "regsvr32 /u failed with the TypeLib key gone"
    keys_are absent
    run "$build/tools/tessaline-cli.exe" info "$(windows_path "$source/samples/logo.bmp")" \
        >"$work/cli.out" && fail "the control could still be created"
    grep -q "is not registered" "$work/cli.out" || fail "no word of the missing registration"
    echo "unregistered with the TypeLib key gone: no key left, the control not created"
    wine regsvr32 /u /s "$path" || fail "a second regsvr32 /u failed"
    echo "unregistered twice: no error"
    wine regsvr32 /s "$path"
}

vbscript() {
    fresh_printer
    coupon="$work/coupon.bmp"
    make_coupon "$coupon"
    logo="$source/samples/logo.bmp"
    rm -rf "$work/vbscript" "$work/native-preview"
    mkdir -p "$work/vbscript" "$work/native-preview"
    before=$(jobs | wc -l)

    # The Linux build with the same files and arguments.
    native_cli upload --printer "$printer" "$logo" "$coupon" 2>"$work/native.err" ||
        fail "the Linux build's upload failed: $(cat "$work/native.err")"
    native_cli print --printer "$printer" --all 2>"$work/native.err" ||
        fail "the Linux build's print failed: $(cat "$work/native.err")"
    (cd "$work/native-preview" && native_cli preview "$logo" >/dev/null)
    wait_for_jobs $((before + 2))

    (cd "$work/vbscript" && passes cscript //nologo \
        "$(windows_path "$source/docs/examples/tessaline.vbs")" "$printer" \
        "$(windows_path "$logo")" "$(windows_path "$coupon")")
    for file in "$logo" "$coupon"; do
        sizes=$(native_cli info "$file")
        grep -qF "BitmapInfo: $sizes" "$work/host.out" || fail "BitmapInfo of $file is not $sizes"
    done
    wait_for_jobs $((before + 4))
    same_jobs 2
    same_record
    cmp "$work/native-preview/Temp.bmp" "$work/vbscript/Temp.bmp" ||
        fail "the preview differs from the Linux build's"
    echo "preview: Temp.bmp equal"
}

host() {
    logo="$source/samples/logo.bmp"
    set -- "$1" $(native_cli info "$logo" | sed 's/[a-z]*=//g')
    passes "$1" "$printer" "$(windows_path "$logo")" "$2" "$3" "$4"
}

atl() {
    logo="$source/samples/logo.bmp"
    width=$(native_cli info "$logo" | sed 's/.*width=//')
    passes "$1" "$(windows_path "$logo")" "$width" atl.dll atl80.dll atl90.dll atl100.dll atl110.dll
}

# tessaline-cli.exe: the same commands as the Linux build's, with the same
# output and the same bytes at the printer.
cli() {
    exe=$1
    fresh_printer
    coupon="$work/coupon.bmp"
    make_coupon "$coupon"
    logo="$source/samples/logo.bmp"
    rm -rf "$work/cli" "$work/native-preview"
    mkdir -p "$work/cli" "$work/native-preview"

    # register and unregister as regsvr32 does.
    path=$(windows_path "$ocx")
    run "$exe" unregister "$path" || fail "tessaline-cli unregister failed"
    keys_are absent
    run "$exe" info "$(windows_path "$logo")" >"$work/cli.out" && fail "info ran unregistered"
    grep -q "is not registered" "$work/cli.out" || fail "no word of the missing registration"
    run "$exe" register "$path" || fail "tessaline-cli register failed"
    keys_are present
    echo "register, unregister: the class keys written and removed"

    run "$exe" --help >"$work/cli.out" || fail "tessaline-cli --help failed"
    grep -q "Windows print spooler" "$work/cli.out" && ! grep -q "vprinter\|CUPS" "$work/cli.out" ||
        fail "--help does not describe the Windows build: $(cat "$work/cli.out")"
    run "$exe" printers >"$work/cli.out" || fail "tessaline-cli printers failed"
    grep -qxF "$printer" "$work/cli.out" || fail "printers does not list $printer"

    # A name outside ASCII reaches the control in the ANSI code page (1252
    # here, where the euro sign is not what Latin-1 would make of its byte).
    accented="$work/cli/coupon-été-€.bmp"
    cp "$coupon" "$accented"
    for file in "$logo" "$coupon" "$accented"; do
        expected=$(native_cli info "$file")
        actual=$(run "$exe" info "$(windows_path "$file")")
        [ "$actual" = "$expected" ] || fail "info of $file: $actual, not $expected"
    done
    echo "info: as on Linux"

    (cd "$work/native-preview" && native_cli preview "$logo" >/dev/null)
    (cd "$work/cli" && run "$exe" preview "$(windows_path "$logo")" >/dev/null) ||
        fail "tessaline-cli preview failed"
    cmp "$work/native-preview/Temp.bmp" "$work/cli/Temp.bmp" ||
        fail "the preview differs from the Linux build's"
    echo "preview: Temp.bmp equal"

    # PNG and GIF files decode to the same pixels as on Linux: the same
    # previews in both modes, and the same depth reported. JPEG decoders may
    # round a level differently: its files are only read. The damaged files
    # the fuzzers keep are left out: each system's decoder words its refusal
    # its own way.
    for file in "$source"/fuzz/corpus/png/*.png "$source"/fuzz/corpus/gif/*.gif \
        "$source"/fuzz/corpus/jpeg/*.jpg; do
        expected=$(native_cli info "$file" 2>/dev/null) || continue
        actual=$(run "$exe" info "$(windows_path "$file")")
        [ "$actual" = "$expected" ] || fail "info of $file: $actual, not $expected"
        case "$file" in *.jpg) continue ;; esac
        for mode in none diffusion; do
            rm -f "$work/native-preview/Temp.bmp" "$work/cli/Temp.bmp"
            (cd "$work/native-preview" && native_cli preview --mode $mode "$file" >/dev/null) ||
                fail "the Linux build's preview of $file failed"
            (cd "$work/cli" && run "$exe" preview --mode $mode "$(windows_path "$file")" \
                >/dev/null) || fail "tessaline-cli preview of $file failed"
            cmp "$work/native-preview/Temp.bmp" "$work/cli/Temp.bmp" ||
                fail "the preview of $file ($mode) differs from the Linux build's"
        done
    done
    echo "PNG, GIF: previews as on Linux; JPEG: read, sizes as on Linux"

    before=$(jobs | wc -l)
    native_cli upload --printer "$printer" "$logo" "$coupon" 2>/dev/null ||
        fail "the Linux build's upload failed"
    native_cli print --printer "$printer" --all 2>/dev/null || fail "the Linux build's print failed"
    native_cli erase --printer "$printer" 2>/dev/null || fail "the Linux build's erase failed"
    wait_for_jobs $((before + 3))
    run "$exe" upload --printer "$printer" "$(windows_path "$logo")" "$(windows_path "$coupon")" \
        >"$work/cli.out" || fail "tessaline-cli upload failed: $(cat "$work/cli.out")"
    run "$exe" print --printer "$printer" --all || fail "tessaline-cli print failed"
    run "$exe" erase --printer "$printer" || fail "tessaline-cli erase failed"
    wait_for_jobs $((before + 6))
    same_jobs 3
    same_record

    status=0
    run "$exe" print --printer "NO SUCH PRINTER" --all >"$work/cli.out" || status=$?
    [ $status -eq 2 ] || fail "print to a missing printer exited $status, not 2"
    grep -qF "$printer" "$work/cli.out" || fail "the installed printers were not listed"
    echo "a missing printer: exit status 2, the installed printers listed"

    run "$exe" describe | grep -v '^  from ' >"$work/cli.out" || fail "tessaline-cli describe failed"
    native_cli describe | grep -v '^  from ' | diff - "$work/cli.out" ||
        fail "describe differs from the Linux build's"
    echo "describe: the type library as on Linux"
}

# Printers reached by their address: a virtual printer the Linux build serves
# on loopback TCP, asked and sent to by tessaline-cli.exe and by the control
# in the VBScript example; each job equals the Linux build's for the same
# files, which it writes to a file:// address. The control's NV graphics
# methods, through the same example, are checked against the key list.
direct() {
    exe=$1
    coupon="$work/coupon.bmp"
    make_coupon "$coupon"
    logo="$source/samples/logo.bmp"
    rm -rf "$work/direct" "$work/native/data/tessaline/printers/NET"
    # The printers' records of an earlier run: NET answers the same serial
    # number every time, so its record would still say what that run stored.
    rm -rf "$work/native/data/tessaline/printer-records" \
        "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Tessaline/printer-records
    mkdir -p "$work/direct"
    native_cli vprinter add NET || fail "vprinter add NET failed"
    # A simple command, so that $! is the server itself and SIGTERM reaches it.
    XDG_CONFIG_HOME="$work/native/config" XDG_DATA_HOME="$work/native/data" \
        "$native/tools/tessaline-cli" vprinter serve NET --listen 127.0.0.1:0 \
        >"$work/direct/serve.out" 2>&1 &
    served=$!
    # However the check ends, the server stops with it.
    trap 'kill $served 2>/dev/null || true' EXIT
    i=0
    while ! grep -q '^listening on ' "$work/direct/serve.out"; do
        i=$((i + 1))
        [ $i -le 100 ] || fail "vprinter serve did not start"
        sleep 0.1
    done
    address=$(sed -n 's/^listening on //p' "$work/direct/serve.out")
    jobs_of_net="$work/native/data/tessaline/printers/NET/jobs"

    native_cli upload --printer "file://$work/direct/upload.bin" "$logo" "$coupon" 2>/dev/null ||
        fail "the Linux build's upload to a file failed"
    native_cli print --printer "file://$work/direct/print.bin" --all 2>/dev/null ||
        fail "the Linux build's print to a file failed"

    status=0
    run "$exe" status "$address" >"$work/cli.out" || status=$?
    [ $status -eq 0 ] || fail "status of $address exited $status: $(cat "$work/cli.out")"
    grep -qF "Serial number:  NET" "$work/cli.out" || fail "status: $(cat "$work/cli.out")"
    echo "tessaline-cli.exe status: NET ready, as it answered"
    run "$exe" upload --printer "$address" "$(windows_path "$logo")" "$(windows_path "$coupon")" \
        >"$work/cli.out" || fail "upload to $address failed: $(cat "$work/cli.out")"
    run "$exe" print --printer "$address" --all >"$work/cli.out" ||
        fail "print to $address failed: $(cat "$work/cli.out")"
    (cd "$work/direct" && passes cscript //nologo \
        "$(windows_path "$source/docs/examples/tessaline.vbs")" "$address" \
        "$(windows_path "$logo")" "$(windows_path "$coupon")")
    # NV graphics by key through Tessaline.ocx: stored, listed, printed and
    # deleted, each step checked against the key list the printer sends back.
    (cd "$work/direct" && passes cscript //nologo \
        "$(windows_path "$source/docs/examples/tessaline.vbs")" graphic A1 "$address" \
        "$(windows_path "$logo")")
    for said in "StoreGraphic: 0 (verified)" "GraphicKeys: [A1]" "PrintGraphic: 0 (verified)" \
        "DeleteGraphic: 0 (verified)"; do
        grep -qF "$said" "$work/host.out" || fail "the graphics example did not say: $said"
    done
    grep -qF '"A1": printed at 1x2' "$work/direct/serve.out" ||
        fail "the printer did not print graphic A1: $(cat "$work/direct/serve.out")"
    # apply: the manifest read with toml++ on Windows, the logo stored once.
    cp "$logo" "$work/direct/header.bmp"
    printf '[logos.header]\nfile = "header.bmp"\n[[printers]]\nname = "NET"\naddress = "%s"\nlogos = { "A1" = "header" }\n' \
        "$address" >"$work/direct/fleet.toml"
    manifest=$(windows_path "$work/direct/fleet.toml")
    run "$exe" apply "$manifest" >"$work/cli.out" || fail "apply failed: $(cat "$work/cli.out")"
    grep -qF "NET: stored A1 (1 NV write" "$work/cli.out" || fail "apply: $(cat "$work/cli.out")"
    run "$exe" apply "$manifest" >"$work/cli.out" || fail "apply again failed: $(cat "$work/cli.out")"
    grep -qxF "NET: unchanged" "$work/cli.out" || fail "apply again: $(cat "$work/cli.out")"
    echo "tessaline-cli.exe apply: A1 stored once, then unchanged"
    refused=0
    kill -TERM $served
    wait $served || fail "vprinter serve did not stop cleanly"
    trap - EXIT
    run "$exe" status "$address" >"$work/cli.out" || refused=$?
    [ $refused -eq 3 ] || fail "status of a stopped printer exited $refused, not 3"
    grep -qF "$address: connection refused" "$work/cli.out" || fail "no reason: $(cat "$work/cli.out")"
    for pair in 1:upload 2:print 3:upload 4:print; do
        n=${pair%%:*}
        cmp "$jobs_of_net/00000$n.bin" "$work/direct/${pair#*:}.bin" ||
            fail "job $n through $address differs from the Linux build's"
    done
    [ ! -e "$work/native/data/tessaline/printers/NET/driver-data/TTY DeviceConfig" ] ||
        fail "a driver record was written for an address"
    echo "tessaline-cli.exe and Tessaline.ocx through $address: the jobs equal the Linux build's"
}

# File and folder names that code page 949 cannot hold, with the best-fit
# look-alike beside them: refused with their reasons by the control and by
# tessaline-cli.exe, the look-alike never read, sent or written; the system's
# words reach ErrorText and the console in the code page's own characters;
# printer names compare without regard to case.
names() {
    host=$1 exe=$2
    fresh_printer
    folder="$work/names"
    rm -rf "$folder"
    mkdir -p "$folder/cwdé" "$folder/denied/Temp.bmp"
    cp "$source/samples/logo.bmp" "$folder/logo.bmp"
    make_coupon "$folder/café.bmp"
    cp "$source/samples/logo.bmp" "$folder/cafe.bmp"
    touch -d '2001-02-03 04:05:06' "$folder/cafe.bmp"
    before=$(jobs | wc -l)
    korean names_in_korean "$host" "$exe" "$folder"
    cmp "$source/samples/logo.bmp" "$folder/cafe.bmp" || fail "the look-alike cafe.bmp was changed"
    [ "$(stat -c %Y "$folder/cafe.bmp")" = "$(date -d '2001-02-03 04:05:06' +%s)" ] ||
        fail "the look-alike cafe.bmp was written"
    [ ! -e "$folder/cwde" ] || fail "a folder cwde was made for the pictures of cwdé"
    [ ! -e "$folder/Temp.bmp" ] || fail "a picture was written for café.bmp"
    wait_for_jobs $((before + 1))
    sleep 1
    [ "$(jobs | wc -l)" -eq $((before + 1)) ] || fail "a refused call reached the printer"
    echo "the look-alike untouched; only the print to \"thermal #1\" reached the printer"
}

names_in_korean() {
    host=$1 exe=$2 folder=$3
    where=$(windows_path "$folder")
    passes "$host" names "$where" "$printer"
    words=$(sed -n 's/^system words: //p' "$work/host.out")
    [ -n "$words" ] || fail "the host gave no system words"

    status=0
    run "$exe" info "$where\\café.bmp" >"$work/cli.out" || status=$?
    [ $status -eq 1 ] || fail "info of café.bmp exited $status, not 1"
    iconv -f CP949 -t UTF-8 "$work/cli.out" | grep -q 'U+00E9' ||
        fail "info of café.bmp did not say why: $(cat "$work/cli.out")"
    echo "tessaline-cli info café.bmp: refused, naming U+00E9"

    status=0
    (cd "$folder/denied" && run "$exe" preview "$where\\logo.bmp") >"$work/cli.out" || status=$?
    [ $status -eq 1 ] || fail "a preview that cannot be written exited $status, not 1"
    iconv -f CP949 -t UTF-8 "$work/cli.out" >"$work/cli.utf8" ||
        fail "tessaline-cli wrote no code page 949 text: $(od -c "$work/cli.out" | head)"
    grep -qF "$words" "$work/cli.utf8" ||
        fail "tessaline-cli did not show the system's words ($words): $(cat "$work/cli.utf8")"
    printf "tessaline-cli preview: the system's words in code page 949: %s\n" "$(cat "$work/cli.utf8")"

    run "$exe" print --printer "thermal #1" --image 1 >"$work/cli.out" ||
        fail "print to \"thermal #1\" failed: $(cat "$work/cli.out")"
    echo "tessaline-cli print --printer \"thermal #1\": the printer THERMAL #1"
}

unit() {
    status=0
    wine "$@" >"$work/unit.out" 2>&1 || status=$?
    tr -d '\r' <"$work/unit.out"
    return $status
}

# Korean: Wine takes code page 949 from the locale, and the dialogs' font
# gets a face with Hangul once Wine has set its substitutes for that page.
# wineserver keeps the code page it started with: it is stopped on the way
# in and out.
korean() {
    wineserver -k 2>/dev/null || true
    status=0
    (
        export LANG=ko_KR.UTF-8 LC_ALL=ko_KR.UTF-8
        run reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
            /v 'MS Shell Dlg' /t REG_SZ /d NanumGothic /f >/dev/null
        "$@"
    ) || status=$?
    wineserver -k 2>/dev/null || true
    return $status
}

# The program alone in FOLDER (EXE, Tessaline.exe by default), its list
# holding the sample logo COUNT times.
fresh_program() {
    rm -rf "$1"
    mkdir -p "$1"
    cp "${3:-$program}" "$1/Tessaline.exe"
    [ "${2:-0}" -gt 0 ] || return 0
    logo_path=$(windows_path "$source/samples/logo.bmp")
    printf '[LOGO]\r\n' >"$1/CorvidoFiles.ini"
    n=0
    while [ $n -lt "$2" ]; do
        n=$((n + 1))
        printf 'Logofile%d=%s|logo.bmp|7680|160|384\r\n' "$n" "$logo_path" >>"$1/CorvidoFiles.ini"
    done
}

# The driver's whole round through the program at FOLDER\Tessaline.exe with
# the sample logo and LOGO2, whose image panel must show what the bitmap
# SHOWN (LOGO2 itself by default) shows; the printer receives the upload, the
# print of every image and the erase, which must equal the Linux build's for
# the same list and choices (error diffusion, the slider dragged to 9, all
# images at size 0).
round() {
    driver=$1 folder=$2 second=$3 shown=${4:-$3}
    fresh_printer
    before=$(jobs | wc -l)
    logo="$source/samples/logo.bmp"
    native_cli upload --printer "$printer" --mode diffusion --brightness 9 "$logo" "$second" \
        2>"$work/native.err" || fail "the Linux build's upload failed: $(cat "$work/native.err")"
    native_cli print --printer "$printer" --all >/dev/null
    native_cli erase --printer "$printer" >/dev/null
    wait_for_jobs $((before + 3))
    passes "$driver" run "$(windows_path "$folder/Tessaline.exe")" "$(windows_path "$logo")" \
        "$(windows_path "$second")" "$(windows_path "$shown")"
    wait_for_jobs $((before + 6))
    same_jobs 3
    same_record
}

program() {
    driver=$1
    rm -rf "$work/logos"
    mkdir -p "$work/logos/한글"
    make_coupon "$work/logos/coupon.bmp"
    cp "$work/logos/coupon.bmp" "$work/logos/한글/쿠폰.bmp"
    # The second logo a PNG file with transparency, shown as on white paper.
    make_coupon_png "$work/logos/coupon.png" "$work/logos/coupon-on-paper.bmp"
    fresh_program "$work/program-en"
    round "$driver" "$work/program-en" "$work/logos/coupon.png" "$work/logos/coupon-on-paper.bmp"
    # A second logo under a Hangul name: the ANSI dialog hands it over in
    # code page 949, the control opens it, the list keeps it in that page.
    fresh_program "$work/program-ko"
    korean round "$driver" "$work/program-ko" "$work/logos/한글/쿠폰.bmp"
}

# The list of the program in FOLDER in the code page PAGE: the sample logo as
# NAME.bmp, and NAME 2.bmp on a stick that is not mounted. Two runs closed
# without a change: the first keeps the file as it was in
# CorvidoFiles.ini.bak, the second leaves that copy alone.
list_closed_twice() {
    driver=$1 name=$2 page=$3
    folder="$work/list-$page"
    fresh_program "$folder"
    cp "$source/samples/logo.bmp" "$folder/$name.bmp"
    present=$(windows_path "$folder/$name.bmp")
    missing="$(windows_path "$folder")\\$name 2.bmp"
    printf '[LOGO]\r\nLogofile1=%s|%s.bmp|7680|160|384\r\nLogofile2=%s|%s 2.bmp|7680|160|384\r\n' \
        "$present" "$name" "$missing" "$name" | iconv -f UTF-8 -t "$page" >"$folder/CorvidoFiles.ini"
    cp "$folder/CorvidoFiles.ini" "$work/list.before"
    printf '[LOGO]\r\nLogofile1=%s|%s.bmp|7680|160|384\r\n' "$present" "$name" |
        iconv -f UTF-8 -t "$page" >"$work/list.after"
    passes "$driver" startup "$(windows_path "$folder/Tessaline.exe")" 2
    cmp "$folder/CorvidoFiles.ini.bak" "$work/list.before" ||
        fail "$page: the backup lost the entry of the stick that is not mounted"
    cmp "$folder/CorvidoFiles.ini" "$work/list.after" || fail "$page: the list saved differs"
    echo "$page: $name.bmp closed twice, the backup kept"
}

list() {
    driver=$1
    list_closed_twice "$driver" café CP1252
    korean list_closed_twice "$driver" 로고 CP949

    # Two copies at once: one list, the first copy's.
    folder="$work/list-twice"
    fresh_program "$folder" 2
    passes "$driver" twice "$(windows_path "$folder/Tessaline.exe")"
    printf '[LOGO]\r\nLogofile1=%s|logo.bmp|7680|160|384\r\n' "$(windows_path "$source/samples/logo.bmp")" \
        >"$work/list.after"
    cmp "$folder/CorvidoFiles.ini" "$work/list.after" || fail "two copies: the list saved differs"
    [ ! -e "$folder/CorvidoFiles.ini.bak" ] || fail "two copies: a backup was made"

    # The 255-logo limit.
    folder="$work/list-limit"
    fresh_program "$folder" 255
    passes "$driver" limit "$(windows_path "$folder/Tessaline.exe")"

    # No THERMAL printer: the list is neither read nor written.
    folder="$work/list-nodriver"
    fresh_program "$folder" 1
    cp "$folder/CorvidoFiles.ini" "$work/list.before"
    run "$spooler" remove "$printer" >/dev/null || fail "cannot remove the printer $printer"
    status=0
    ( passes "$driver" nodriver "$(windows_path "$folder/Tessaline.exe")" ) || status=$?
    fresh_printer
    [ $status -eq 0 ] || fail "the start without a printer did not pass"
    cmp "$folder/CorvidoFiles.ini" "$work/list.before" || fail "no printer: the list was rewritten"
}

# A PNG logo of 800 x 160 pixels, wider than any paper: a grey ramp under
# black bars.
make_wide_png() {
    python3 - "$1" <<'PY'
import struct, sys, zlib
w, h = 800, 160
def pixel(x, y):
    if 30 <= y < 130 and (x // 40) % 3 == 0:
        return 0
    return 255 - x * 255 // w
raw = b"".join(b"\0" + bytes(pixel(x, y) for x in range(w)) for y in range(h))
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 0, 0, 0, 0)) + \
    chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b"")
open(sys.argv[1], "wb").write(png)
PY
}

# The program's own settings (Tessaline.ini: the addresses used, the last
# tab), which every copy in the prefix shares.
program_settings() {
    printf '%s\n' "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Tessaline/Tessaline.ini
}

# Serves the virtual printer NAME on loopback for the check in FOLDER; the
# address is in $address and the server's output in FOLDER/serve.out.
serve_printer() {
    name=$1 folder=$2
    rm -rf "$work/native/data/tessaline/printers/$name" "$work/native/data/tessaline/printer-records"
    native_cli vprinter add "$name" || fail "vprinter add $name failed"
    XDG_CONFIG_HOME="$work/native/config" XDG_DATA_HOME="$work/native/data" \
        "$native/tools/tessaline-cli" vprinter serve "$name" --listen 127.0.0.1:0 \
        >"$folder/serve.out" 2>&1 &
    served=$!
    trap 'kill $served 2>/dev/null || true' EXIT
    i=0
    while ! grep -q '^listening on ' "$folder/serve.out" 2>/dev/null; do
        i=$((i + 1))
        [ $i -le 100 ] || fail "vprinter serve did not start"
        sleep 0.1
    done
    address=$(sed -n 's/^listening on //p' "$folder/serve.out")
}

# The "Printers" tab driven through its windows against a virtual printer.
printers() {
    driver=$1 exe=$2
    folder="$work/printers"
    fresh_program "$folder"
    make_wide_png "$folder/wide.png"
    rm -f "$(program_settings)"
    serve_printer SHOP "$folder"
    # "Find printers..." looks only at the served printer, never the machine's networks.
    export TESSALINE_FIND_NETWORKS=127.0.0.1/32 TESSALINE_FIND_PORT="${address##*:}"
    passes "$driver" printers "$(windows_path "$folder/Tessaline.exe")" "$address" \
        "$(windows_path "$folder/wide.png")"
    unset TESSALINE_FIND_NETWORKS TESSALINE_FIND_PORT
    grep -qF '"L1": printed' "$folder/serve.out" ||
        fail "the printer did not print graphic L1: $(cat "$folder/serve.out")"
    # The test receipt: L1 at its top, then the cut.
    grep -qF 'partial cut: piece 1' "$folder/serve.out" ||
        fail "the printer received no test receipt: $(cat "$folder/serve.out")"
    run "$exe" nv auto "$address" >"$work/cli.out" || fail "nv auto failed: $(cat "$work/cli.out")"
    grep -qF "Top logo:     L2 (center)" "$work/cli.out" ||
        fail "the printer's top logo is not L2: $(cat "$work/cli.out")"
    echo "tessaline-cli.exe nv auto: the printer prints L2 at the top of every receipt"
    grep -q '^Tab=0' "$(program_settings)" || fail "the last tab was not kept: $(cat "$(program_settings)")"
    # The folder the logo came from, where the file dialog opens next time.
    tr -d '\r' <"$(program_settings)" | grep -qxF "LogoFolder=$(windows_path "$folder")" ||
        fail "the logo's folder was not kept: $(cat "$(program_settings)")"

    # Start-up to a painted window with the tab: figures, not a limit.
    echo "start-up on the first tab:"
    run "$driver" startup "$(windows_path "$folder/Tessaline.exe")" 5 | grep '^run'
    sed -i 's/^Tab=0/Tab=1/' "$(program_settings)"
    echo "start-up on the Printers tab:"
    run "$driver" startup "$(windows_path "$folder/Tessaline.exe")" 5 | grep '^run'

    # Pictures of the tab at the window's own size, in both languages.
    rm -f "$(program_settings)"
    shots="$work/screenshots"
    mkdir -p "$shots"
    printers_screenshot "$driver" "$folder" "$address" "$shots/windows-printers-en.png"
    korean printers_screenshot "$driver" "$folder" "$address" "$shots/windows-printers-ko.png"
    if [ -n "${TESSALINE_SCREENSHOTS:-}" ]; then
        cp "$shots/windows-printers-en.png" "$shots/windows-printers-ko.png" "$TESSALINE_SCREENSHOTS/"
    fi
    rm -f "$(program_settings)"
    kill -TERM $served
    wait $served || fail "vprinter serve did not stop cleanly"
    trap - EXIT
}

# Runs DRIVER MODE ARGS... (the driver then shows the program's window,
# touches MARKER.ready and waits for MARKER.done, the marker being its last
# argument), waiting up to LIMIT tenths of a second for the window, and saves
# a picture of it as PNG.
shoot_window() {
    png=$1 limit=$2 driver=$3
    shift 3
    marker="$work/shot"
    rm -f "$marker.ready" "$marker.done"
    run "$driver" "$@" "$(windows_path "$marker")" >"$work/host.out" &
    shown=$!
    i=0
    while [ ! -f "$marker.ready" ]; do
        i=$((i + 1))
        [ $i -le "$limit" ] || { touch "$marker.done"; wait "$shown" || true; cat "$work/host.out"; fail "the program did not show its window"; }
        sleep 0.1
    done
    window=$(xdotool search --name 'Version 2\.00' | head -n 1)
    [ -n "$window" ] && import -window "$window" "$png" || fail "no picture of the window"
    touch "$marker.done"
    wait "$shown" || true
    cat "$work/host.out"
    [ "$(tail -n 1 "$work/host.out")" = "RESULT: PASS" ] || fail "the program did not pass"
    echo "screenshot: $png"
}

# The Printers tab of the program in FOLDER on ADDRESS with the wide logo
# chosen, saved as PNG.
printers_screenshot() {
    driver=$1 folder=$2 address=$3 png=$4
    shoot_window "$png" 600 "$driver" printershow "$(windows_path "$folder/Tessaline.exe")" \
        "$address" "$(windows_path "$folder/wide.png")"
}

# Shows the program at FOLDER\Tessaline.exe with its first row clicked and
# saves a picture of its window as PNG.
screenshot() {
    driver=$1 folder=$2 png=$3
    shoot_window "$png" 300 "$driver" show "$(windows_path "$folder/Tessaline.exe")"
}

installer() {
    driver=$1
    rm -rf "$work/package"
    mkdir -p "$work/package"
    cpack --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack could not make the installer"; }
    setup=$(ls "$work/package"/*.exe | head -n 1)
    echo "installer: $(basename "$setup"), $(wc -c <"$setup") bytes"

    drive_c="$WINEPREFIX/drive_c"
    installed="$drive_c/Program Files/Tessaline"
    menu="$drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaline"
    rm -rf "$installed"
    wine regsvr32 /u /s "$(windows_path "$ocx")"
    keys_are absent
    wine "$setup" /S
    wineserver -w
    for file in Tessaline.exe Tessaline.ocx tessaline-cli.exe Uninstall.exe README.md LICENSE \
        Tessaline.tlb include/tessaline_control.h examples/tessaline.vbs; do
        [ -f "$installed/$file" ] || fail "the installer did not install $file"
    done
    cmp "$installed/include/tessaline_control.h" \
        "$source/platform/component/include/tessaline/tessaline_control.h" ||
        fail "the installed tessaline_control.h is not the hosts' header"
    run reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaline' /v DisplayIcon |
        grep -qF 'Program Files\Tessaline\Tessaline.exe' || fail "the uninstall entry's icon is not Tessaline.exe"
    [ -f "$menu/Tessaline.lnk" ] || fail "no Start menu entry for Tessaline"
    keys_are present
    run reg query "HKCR\\CLSID\\$clsid\\InprocServer32" /ve | grep -qF 'Program Files\Tessaline\Tessaline.ocx' ||
        fail "the control registered is not the installed one"
    echo "installed: the files, the Start menu entry, the control registered"

    # The installed program, in both languages; its list is the user's.
    shots="$work/screenshots"
    mkdir -p "$shots"
    fresh_program "$work/installed-list" 1 "$installed/Tessaline.exe"
    cp "$work/installed-list/CorvidoFiles.ini" "$installed/"
    screenshot "$driver" "$installed" "$shots/windows-en.png"
    korean screenshot "$driver" "$installed" "$shots/windows-ko.png"

    # Start-up to a painted window: figures, not a limit.
    for count in 0 255; do
        fresh_program "$work/startup-$count" "$count"
        echo "start-up with $count logos:"
        run "$driver" startup "$(windows_path "$work/startup-$count/Tessaline.exe")" 5 | grep '^run'
    done

    wine "$installed/Uninstall.exe" /S
    wineserver -w
    # The uninstaller runs a copy of itself and returns at once.
    i=0
    while [ -f "$installed/Uninstall.exe" ]; do
        i=$((i + 1))
        [ $i -le 300 ] || fail "the uninstaller did not finish"
        sleep 0.1
    done
    wineserver -w
    keys_are absent
    [ ! -e "$menu" ] || fail "the uninstaller left the Start menu entry"
    wine reg query 'HKLM\Software\Tessaline' >/dev/null 2>&1 && fail "the uninstaller left HKLM\\Software\\Tessaline"
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaline' >/dev/null 2>&1 &&
        fail "the uninstaller left its Uninstall key"
    left=$(ls -A "$installed" 2>/dev/null || true)
    [ "$left" = "CorvidoFiles.ini" ] || fail "the uninstaller left: $left"
    echo "uninstalled: no file or key of ours but the user's logo list"
    rm -rf "$installed"
    busy_installation "$driver" "$setup"
    wine regsvr32 /s "$(windows_path "$ocx")"
}

# The installer and the uninstaller while the installed program runs: both
# stop with a non-zero exit status and change nothing; once it is closed the
# uninstaller removes everything. A folder without spaces, so that the
# uninstaller can run in place (_?=) and say how it ended.
busy_installation() {
    driver=$1 setup=$2
    busy="$WINEPREFIX/drive_c/TessalineBusy"
    entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tessaline'
    rm -rf "$busy"
    wine "$setup" /S '/D=C:\TessalineBusy' || fail "the installer failed"
    wineserver -w
    [ -f "$busy/Tessaline.exe" ] || fail "nothing installed in C:\TessalineBusy"
    cp "$work/installed-list/CorvidoFiles.ini" "$busy/"
    touch -d '2001-02-03 04:05:06' "$busy/Tessaline.exe" "$busy/Tessaline.ocx"
    marker="$work/busy"
    rm -f "$marker.ready" "$marker.done"
    run "$driver" show 'C:\TessalineBusy\Tessaline.exe' "$(windows_path "$marker")" \
        >"$work/busy.out" &
    shown=$!
    i=0
    while [ ! -f "$marker.ready" ]; do
        i=$((i + 1))
        [ $i -le 300 ] || { touch "$marker.done"; wait "$shown" || true; cat "$work/busy.out"; fail "the program did not start"; }
        sleep 0.1
    done

    installing=0
    wine "$setup" /S '/D=C:\TessalineBusy' || installing=$?
    [ $installing -ne 0 ] || { touch "$marker.done"; fail "the installer reported success over the running program"; }
    uninstalling=0
    wine "$busy/Uninstall.exe" /S '_?=C:\TessalineBusy' || uninstalling=$?
    [ $uninstalling -ne 0 ] || { touch "$marker.done"; fail "the uninstaller reported success with the program running"; }
    unchanged=$(date -d '2001-02-03 04:05:06' +%s)
    for file in Tessaline.exe Tessaline.ocx; do
        [ "$(stat -c %Y "$busy/$file" 2>/dev/null)" = "$unchanged" ] ||
            { touch "$marker.done"; fail "$file was replaced or removed while the program ran"; }
    done
    for file in tessaline-cli.exe Uninstall.exe README.md; do
        [ -f "$busy/$file" ] || { touch "$marker.done"; fail "$file was removed while the program ran"; }
    done
    wine reg query "$entry" >/dev/null 2>&1 || { touch "$marker.done"; fail "the uninstall entry went while the program ran"; }
    keys_are present
    echo "with the program running: the installer exited $installing, the uninstaller $uninstalling; nothing changed"

    touch "$marker.done"
    wait "$shown" || true
    wine "$busy/Uninstall.exe" /S
    i=0
    while wine reg query "$entry" >/dev/null 2>&1; do
        i=$((i + 1))
        [ $i -le 100 ] || fail "the uninstaller did not finish once the program was closed"
        sleep 0.3
    done
    wineserver -w
    left=$(ls -A "$busy" 2>/dev/null || true)
    [ "$left" = "CorvidoFiles.ini" ] || fail "the uninstaller left: $left"
    keys_are absent
    echo "closed: the uninstaller removed everything but the user's logo list"
    rm -rf "$busy"
}

check=${1:?usage: wine-checks.sh start|stop|registration|unit EXE|core EXE|vbscript|host EXE|atl EXE|cli EXE|direct EXE|names HOST EXE|program DRIVER|list DRIVER|printers DRIVER EXE|installer DRIVER}
shift
case "$check" in
start | stop | registration | vbscript) "$check" ;;
names | printers) "$check" "$@" ;;
unit | host | atl | cli | direct | program | list | installer) "$check" "$@" ;;
core) unit "$@" --gtest_filter=-LogoListFixture.SettingsLiveBesideTheProgramWhenItsFolderIsWritable ;;
*) fail "no check named $check" ;;
esac
