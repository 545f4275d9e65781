#!/bin/sh
# SPDX-License-Identifier: MIT
# tessaline-cli apply against fleets of virtual printers that one
# `vprinter serve --count N` process serves on loopback TCP, each busy WRITE_MS
# for every NV write as real NV memory is, with two logos each. For each fleet
# size: the first apply (every key stored and verified) and the second
# (nothing to write), with the wall time, the time per printer, the NV writes,
# apply's peak memory (maximum resident set) and the most descriptors it held
# open at once; and, at the first size, the first apply at --jobs 16, 100, 128
# and 256 (JOBS_TRIED) beside the default.
# Usage: bench/fleet-bench.sh [SIZES]      (sizes "200 1000 5000" by default)
#   BUILD_DIR overrides build/default; WRITE_MS is 300 by default; OVER is
#   ports (default) or addresses (127.0.0.1, 127.0.0.2, ...).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
sizes=${1:-200 1000 5000}
write_ms=${WRITE_MS:-300}
over=${OVER:-ports}

cmake --build "$build" --target tessaline-cli >/dev/null
cli=$build/tools/tessaline-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-fleet.XXXXXX")
server=""
stop_server() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
    server=""
  fi
}
trap 'stop_server; rm -rf "$work"' EXIT INT TERM
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

# Serves a fresh fleet of $1 printers and writes its manifest.
serve_fleet() {
  count=$1
  stop_server
  rm -rf "$work/data"
  "$cli" vprinter add F --write-ms "$write_ms" >/dev/null
  listen=127.0.0.1:0
  [ "$over" = addresses ] && listen=127.0.0.1:9100
  "$cli" vprinter serve F --count "$count" --over "$over" --listen "$listen" \
    >"$work/serve.out" 2>"$work/serve.err" &
  server=$!
  for _ in $(seq 6000); do
    [ "$(grep -c '^listening on' "$work/serve.out" || true)" -ge "$count" ] && break
    kill -0 "$server" 2>/dev/null || { cat "$work/serve.err"; exit 1; }
    sleep 0.1
  done
  [ "$(grep -c '^listening on' "$work/serve.out")" -ge "$count" ] ||
    { echo "the fleet of $count did not start"; exit 1; }
  manifest=$work/fleet.toml
  printf '[logos.header]\nfile = "header.bmp"\n[logos.coupon]\nfile = "coupon.bmp"\n' >"$manifest"
  sed -n 's/^listening on \([^ ]*\) for \(.*\)$/[[printers]]\nname = "\2"\naddress = "\1"\nlogos = { "A1" = "header", "A2" = "coupon" }/p' \
    "$work/serve.out" >>"$manifest"
}

# Runs one apply; prints its wall time, the time per printer, NV writes, peak
# memory, the most descriptors open at once and the exit status.
apply() {
  label=$1
  count=$2
  shift 2
  status=0
  start=$(date +%s.%N)
  /usr/bin/time -f '%M' -o "$work/rss" "$cli" apply "$work/fleet.toml" --json "$@" \
    >"$work/out.json" 2>"$work/err.txt" &
  timer=$!
  # The descriptors of apply itself (the child of time), sampled every 20 ms.
  peak=0
  while kill -0 "$timer" 2>/dev/null; do
    child=$(pgrep -P "$timer" 2>/dev/null | head -1 || true)
    if [ -n "$child" ]; then
      n=$(ls "/proc/$child/fd" 2>/dev/null | wc -l)
      [ "$n" -gt "$peak" ] && peak=$n
    fi
    sleep 0.02
  done
  wait "$timer" || status=$?
  end=$(date +%s.%N)
  writes=$(sed -n 's/^{"version": [0-9]*, "changed": [a-z]*, "plan": [a-z]*, "nv_writes": \([0-9]*\),.*/\1/p' "$work/out.json")
  failed=$(grep -c '"result": "failed"' "$work/out.json" || true)
  rss=$(tail -1 "$work/rss")
  awk -v l="$label" -v s="$start" -v e="$end" -v c="$count" -v w="${writes:-?}" -v f="$failed" \
      -v r="$rss" -v d="$peak" -v x="$status" 'BEGIN {
    printf "%-30s %7.2f s %7.2f ms/printer %6s NV writes %4s failed %7.1f MiB peak %5d fds exit %s\n",
      l, e - s, (e - s) * 1000 / c, w, f, r / 1024, d, x }'
  sed -n 's/.*"name": "\([^"]*\)".*"line": "\(failed[^"]*\)".*/  \1: \2/p' "$work/out.json" | head -3
}

first=""
for count in $sizes; do
  serve_fleet "$count"
  echo "$count printers (one serve process, --over $over), 2 logos each, NV writes of $write_ms ms:"
  apply "first apply" "$count" --state "$work/state-$count.json"
  apply "second apply" "$count" --state "$work/state-$count.json"
  if [ -z "$first" ]; then
    first=$count
    for jobs in ${JOBS_TRIED:-16 100 128 256}; do
      serve_fleet "$count"
      apply "first apply, --jobs $jobs" "$count" --state "$work/jobs-$jobs.json" --jobs "$jobs"
    done
  fi
done
