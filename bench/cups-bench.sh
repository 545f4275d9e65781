#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the CUPS spooling benchmark, tessaline-cli and the control library,
# and runs the benchmark against a private CUPS server of its own, which it
# stops again afterwards: spooling through the backend against lp -o raw, then
# a whole 255-logo upload through tessaline-cli against sleep 0.1; lp -o raw,
# the same upload through socket:// to a virtual printer that tessaline-cli
# vprinter serve puts on loopback TCP, and the round trip of a status question.
# Usage: bench/cups-bench.sh [ROUNDS]     (BUILD_DIR overrides build/bench-cups)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build/bench-cups}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSALINE_TESTS=OFF \
  -DTESSALINE_REGISTER_CONTROL=OFF >/dev/null
cmake --build "$build" --target tessaline_bench_cups tessaline-cli tessaline-control >/dev/null

# A short folder name: the server's socket path must stay under ~100 bytes.
server=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-bench-cups.XXXXXX")
trap 'sh "$root/tests/support/private-cupsd.sh" stop "$server"' EXIT INT TERM
TESSALINE_REQUIRE_CUPS=1 sh "$root/tests/support/private-cupsd.sh" start "$server" >/dev/null
# lp returns once the job is queued: the jobs here are not followed to the
# end either, so that both sides time the same thing.
export TESSALINE_CUPS_WAIT=0
"$build/bench/cups/tessaline_bench_cups" "$server" "${1:-9}" \
  "$build/tools/tessaline-cli" "$build/control/libtessaline-control.so"
