#!/bin/sh
# SPDX-License-Identifier: MIT
# Stores and verifies 20 logos of 576 x 200 dots one at a time as NV graphics
# (tessaline-cli nv store: free memory asked, stored, key list and free memory
# asked again) against one FS q upload of the same 20 (tessaline-cli upload),
# both through socket:// to a virtual printer that tessaline-cli vprinter serve
# puts on loopback TCP. Prints, for each way and round, the bytes sent to the
# printer, the NV writes it counted and the wall time.
# Usage: bench/nv-bench.sh [ROUNDS]
#   BUILD_DIR overrides build/default; WRITE_MS makes each NV write keep the
#   printer busy that long, as real NV memory does (0 by default).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
rounds=${1:-3}
write_ms=${WRITE_MS:-0}
logos=20

cmake --build "$build" --target tessaline-cli tessaline-control >/dev/null
cli=$build/tools/tessaline-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-nv.XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT INT TERM
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" CUPS_SERVER="$work/no-cups.sock"

"$cli" register "$build/control/libtessaline-control.so" >/dev/null
# 20 logos take 288,000 bytes as graphics and 288,080 as bit images: more than
# the 256 KiB a default virtual printer has of either.
"$cli" vprinter add BENCH --nv-graphics 524288 --nv-capacity 524288 --write-ms "$write_ms" >/dev/null

# One-bit logos: a ring and stripes, placed differently in each.
python3 - "$work" "$logos" <<'EOF'
import struct, sys
folder, count = sys.argv[1], int(sys.argv[2])
w, h = 576, 200
stride = (w + 31) // 32 * 4
for n in range(count):
    rows = bytearray()
    for y in range(h - 1, -1, -1):
        row = bytearray(stride)
        for x in range(w):
            dx, dy = x - 100 - n * 7, y - 100
            r2 = dx * dx + dy * dy
            if 45 * 45 < r2 < 60 * 60 or (220 < x < 540 and 60 < y < 140 and (x // 6 + y // 9 + n) % 3 == 0):
                row[x // 8] |= 0x80 >> (x % 8)
        rows += row
    palette = bytes([255, 255, 255, 0, 0, 0, 0, 0])
    header = struct.pack('<2sIHHI', b'BM', 62 + len(rows), 0, 0, 62)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 1, 0, len(rows), 0, 0, 2, 0)
    with open(f'{folder}/logo{n:02d}.bmp', 'wb') as f:
        f.write(header + info + palette + rows)
EOF

"$cli" vprinter serve BENCH --listen 127.0.0.1:0 >"$work/serve.log" 2>&1 &
server_pid=$!
address=
for _ in $(seq 100); do
  address=$(sed -n 's/^listening on //p' "$work/serve.log")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { echo "vprinter serve did not start" >&2; exit 1; }

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
writes() { "$cli" vprinter show BENCH | sed -n 's/^NV writes today: *\([0-9]*\).*/\1/p'; }
files=
keys=
set -- LA LB LC LD LE LF LG LH LI LJ LK LL LM LN LO LP LQ LR LS LT
for f in "$work"/logo*.bmp; do
  files="$files $f"
  keys="$keys $1:$f"
  shift
done
# The store commands themselves, then per store the questions and answers:
# free (7), key list (9) and its ACK (1), after the store the same again.
store_bytes=0
for pair in $keys; do
  size=$("$cli" nv command --store "${pair%%:*}" "${pair#*:}" | wc -c)
  store_bytes=$((store_bytes + size + 34))
done
# The upload sends ESC @, FS q 20, and per logo 4 size bytes and its raster.
upload_bytes=$((2 + 3 + logos * (4 + 576 * 200 / 8)))

printf '%-34s %12s %10s %10s\n' "20 logos of 576 x 200, round" "bytes sent" "NV writes" "time ms"
round=1
while [ "$round" -le "$rounds" ]; do
  "$cli" nv delete "$address" --all --read-timeout 5000 >/dev/null
  before=$(writes)
  start=$(now_ms)
  for pair in $keys; do
    "$cli" nv store "$address" "${pair%%:*}" "${pair#*:}" --read-timeout 5000 >/dev/null
  done
  took=$(( $(now_ms) - start ))
  printf '%-34s %12d %10d %10d\n' "nv store + verify, one by one, $round" "$store_bytes" \
    $(( $(writes) - before )) "$took"

  before=$(writes)
  jobs_before=$(grep -c '^job ' "$work/serve.log" || true)
  start=$(now_ms)
  # shellcheck disable=SC2086
  "$cli" upload --printer "$address" $files >/dev/null 2>&1
  # The printer runs the job once it has all of it: wait for its log line.
  for _ in $(seq 600); do
    [ "$(grep -c '^job ' "$work/serve.log" || true)" -gt "$jobs_before" ] && break
    sleep 0.01
  done
  took=$(( $(now_ms) - start ))
  sent=$(grep '^job ' "$work/serve.log" | tail -1 | sed 's/.*: \([0-9]*\) bytes received/\1/')
  [ "$sent" = "$upload_bytes" ] || echo "warning: the printer received $sent bytes, not $upload_bytes" >&2
  printf '%-34s %12d %10d %10d\n' "FS q upload of all 20, $round" "$sent" \
    $(( $(writes) - before )) "$took"
  round=$((round + 1))
done
