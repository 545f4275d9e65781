#!/bin/sh
# SPDX-License-Identifier: MIT
# tessaline-cli discover over 127.0.0.0/24 (254 addresses) with a few virtual
# printers served on loopback addresses: three that answer everything
# (127.0.0.10-12), one without NV graphics (127.0.0.20) and one that answers
# nothing (127.0.0.30); every other address refuses. Prints the wall time of
# RUNS scans (3 by default) at the default --jobs and at --jobs 1, beside the
# bound the waits set (one answer timeout for the silent printer, two with
# its Star questions, after the connection).
# Usage: bench/discover-bench.sh        BUILD_DIR overrides build/default.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/default}
runs=${RUNS:-3}

cmake --build "$build" --target tessaline-cli >/dev/null
cli=$build/tools/tessaline-cli

work=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-discover.XXXXXX")
servers=""
stop_servers() {
  for pid in $servers; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  servers=""
}
trap 'stop_servers; rm -rf "$work"' EXIT INT TERM
export XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config" CUPS_SERVER="$work/no-cups.sock"

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
"$cli" vprinter add TILL >/dev/null
"$cli" vprinter add OLD --nv-graphics 0 >/dev/null
"$cli" vprinter add MUTE --answers none >/dev/null
serve() {
  name=$1
  shift
  "$cli" vprinter serve "$name" "$@" >"$work/$name.log" 2>&1 &
  servers="$servers $!"
}
serve TILL --count 3 --over addresses --listen 127.0.0.10:"$port"
serve OLD --listen 127.0.0.20:"$port"
serve MUTE --listen 127.0.0.30:"$port"
for _ in $(seq 100); do
  [ "$(grep -c '^listening' "$work"/*.log | awk -F: '{ n += $2 } END { print n }')" -ge 5 ] && break
  sleep 0.05
done

now_ms() { python3 -c 'import time; print(int(time.monotonic() * 1000))'; }
scan() {
  start=$(now_ms)
  "$cli" discover 127.0.0.0/24 --port "$port" "$@" >"$work/out.txt" 2>/dev/null || true
  end=$(now_ms)
  echo $((end - start))
}

echo "discover 127.0.0.0/24: 254 addresses, 5 listening (3 printers, 1 without NV graphics, 1 silent)"
for jobs in 256 1; do
  total=0
  best=""
  for run in $(seq "$runs"); do
    ms=$(scan --jobs "$jobs")
    total=$((total + ms))
    if [ -z "$best" ] || [ "$ms" -lt "$best" ]; then best=$ms; fi
  done
  printf '  --jobs %-4s %5d ms mean, %5d ms best, %.2f ms an address (%s runs)\n' \
    "$jobs" $((total / runs)) "$best" "$(echo "$total / $runs / 254" | bc -l)" "$runs"
done
echo "  found:"
sed 's/^/    /' "$work/out.txt"
echo "  bound: 1600 ms (the silent printer: 800 ms for its ESC/POS status, 800 ms as a Star printer)"
