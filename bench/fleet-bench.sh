#!/bin/sh
# SPDX-License-Identifier: MIT
# tessaline-cli apply against a fleet of virtual printers served on loopback
# TCP, each busy WRITE_MS for every NV write as real NV memory is, with two
# logos each: the first apply (every key stored and verified), the second
# (nothing to write), and the same first apply with --jobs 1 and with more
# jobs. Prints the wall time and NV writes of each.
# Usage: bench/fleet-bench.sh [PRINTERS]
#   BUILD_DIR overrides build/default; WRITE_MS is 300 by default; JOBS is the
#   larger --jobs tried besides the default 16 and 1 (64 by default).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
printers=${1:-200}
write_ms=${WRITE_MS:-300}
jobs=${JOBS:-64}

cmake --build "$build" --target tessaline-cli >/dev/null
cli=$build/tools/tessaline-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-fleet.XXXXXX")
pids=""
cleanup() {
  for pid in $pids; do kill "$pid" 2>/dev/null || true; done
  for pid in $pids; do wait "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" CUPS_SERVER="$work/no-cups.sock"

# Two logos: 576 x 120 stripes and 384 x 80 checks, one-bit.
python3 - "$work" <<'PY'
import struct, sys
folder = sys.argv[1]
def bmp(path, w, h, dot):
    stride = (w + 31) // 32 * 4
    rows = b""
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            if not dot(x, y):
                row[x // 8] |= 0x80 >> (x % 8)
        rows += bytes(row)
    head = struct.pack("<2sIHHI", b"BM", 62 + len(rows), 0, 0, 62)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 1, 0, len(rows), 2835, 2835, 2, 0)
    open(path, "wb").write(head + info + b"\0\0\0\0\xff\xff\xff\0" + rows)
bmp(folder + "/header.bmp", 576, 120, lambda x, y: (x // 16) % 2 == 0)
bmp(folder + "/coupon.bmp", 384, 80, lambda x, y: (x // 8 + y // 8) % 2 == 0)
PY

echo "starting $printers virtual printers (--write-ms $write_ms) on 127.0.0.1"
manifest=$work/fleet.toml
cat >"$manifest" <<TOML
[logos.header]
file = "header.bmp"
[logos.coupon]
file = "coupon.bmp"
TOML
i=1
while [ "$i" -le "$printers" ]; do
  "$cli" vprinter add "P$i" --write-ms "$write_ms" >/dev/null
  "$cli" vprinter serve "P$i" --listen 127.0.0.1:0 >"$work/serve-$i.out" 2>&1 &
  pids="$pids $!"
  i=$((i + 1))
done
i=1
while [ "$i" -le "$printers" ]; do
  address=""
  for _ in $(seq 100); do
    address=$(sed -n 's/^listening on //p' "$work/serve-$i.out")
    [ -n "$address" ] && break
    sleep 0.1
  done
  [ -n "$address" ] || { echo "printer $i did not start"; exit 1; }
  printf '[[printers]]\nname = "P%s"\naddress = "%s"\nlogos = { "A1" = "header", "A2" = "coupon" }\n' \
    "$i" "$address" >>"$manifest"
  i=$((i + 1))
done

# Runs one apply; prints its wall time, NV writes and exit status.
apply() {
  label=$1
  shift
  start=$(date +%s.%N)
  status=0
  "$cli" apply "$manifest" --json "$@" >"$work/out.json" 2>"$work/err.txt" || status=$?
  end=$(date +%s.%N)
  writes=$(sed -n 's/^{"changed": [a-z]*, "plan": [a-z]*, "nv_writes": \([0-9]*\),.*/\1/p' "$work/out.json")
  failed=$(grep -c '"result": "failed"' "$work/out.json" || true)
  printf '%-34s %6.2f s  %4s NV writes  %s failed  exit %s\n' "$label" \
    "$(awk "BEGIN { print $end - $start }")" "${writes:-?}" "$failed" "$status"
  sed -n 's/.*"name": "\([^"]*\)".*"line": "\(failed[^"]*\)".*/  \1: \2/p' "$work/out.json"
}

echo "$printers printers, 2 logos each, NV writes of $write_ms ms:"
apply "first apply (--jobs 16)" --state "$work/a.json"
apply "second apply (--jobs 16)" --state "$work/a.json"
apply "first apply, --jobs 1" --state "$work/b.json" --jobs 1
apply "second apply, --jobs 1" --state "$work/b.json" --jobs 1
apply "first apply, --jobs $jobs" --state "$work/c.json" --jobs "$jobs"
apply "second apply, --jobs $jobs" --state "$work/c.json" --jobs "$jobs"
