#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the fuzz targets and runs each for SECONDS (default 15), one after
# the other, from its seed corpus in fuzz/corpus/ (made by fuzz/make-corpus.py),
# and prints executions per second per target. Findings land in
# build/fuzz/findings/<target>/; the grown corpora stay in build/fuzz/corpus/.
#
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
#   targets: bmp imaging escpos ini registry png jpeg gif replies star_replies autologo printer_record
#            networks ieee1284 manifest fleet_state (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-15}"
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(bmp imaging escpos ini registry png jpeg gif replies star_replies autologo
  printer_record networks ieee1284 manifest fleet_state)

# Each target's seeds, and the longest input worth trying: bitmaps need room
# for their pixels, jobs for a raster or two, INI texts far less.
declare -A seeds=([bmp]=bmp [imaging]=bmp [escpos]=escpos [ini]=ini [registry]=registry
  [png]=png [jpeg]=jpeg [gif]=gif [replies]=escpos [star_replies]=star-replies
  [autologo]=autologo [printer_record]=printer-record [networks]=networks [ieee1284]=ieee1284
  [manifest]=manifest [fleet_state]=fleet-state)
declare -A max_len=([bmp]=65536 [imaging]=65536 [escpos]=16384 [ini]=4096 [registry]=4096
  [png]=16384 [jpeg]=16384 [gif]=16384 [replies]=4096 [star_replies]=4096 [autologo]=4096
  [printer_record]=4096 [networks]=256 [ieee1284]=2048 [manifest]=4096
  [fleet_state]=4096)
for target in "${targets[@]}"; do
  [ -n "${seeds[$target]:-}" ] || { echo "fuzz: no target '$target'" >&2; exit 2; }
done

./scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target "${targets[@]/#/tessaline_fuzz_}"

status=0
for target in "${targets[@]}"; do
  work="$PWD/build/fuzz/corpus/$target"
  findings="$PWD/build/fuzz/findings/$target"
  log="build/fuzz/$target.log"
  mkdir -p "$work" "$findings"
  cp -n "fuzz/corpus/${seeds[$target]}"/* "$work"/
  result=0
  "./build/fuzz/fuzz/tessaline_fuzz_$target" -max_total_time="$seconds" \
    -max_len="${max_len[$target]}" -artifact_prefix="$findings/" -print_final_stats=1 \
    "$work" >"$log" 2>&1 || result=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
  if [ -n "$runs" ] && [ -n "$took" ] && [ "$took" -gt 0 ]; then
    echo "fuzz $target: $runs runs in $took s, $((runs / took)) exec/s," \
      "$(find "$work" -type f | wc -l) inputs in the corpus"
  fi
  if [ "$result" -ne 0 ]; then
    tail -n 60 "$log"
    echo "fuzz $target: failed (exit $result); the input is in $findings" >&2
    status=1
  fi
done
exit "$status"
