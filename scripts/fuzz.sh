#!/usr/bin/env bash
# Builds the fuzz targets and runs the BMP fuzzer for SECONDS (default 30)
# from the shipped seed corpus. Findings land in build/fuzz/findings.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
./scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target tessaline_fuzz_bmp
work="$PWD/build/fuzz/corpus"
findings="$PWD/build/fuzz/findings"
mkdir -p "$work" "$findings"
cp -n fuzz/corpus/* "$work"/
log="build/fuzz/fuzz.log"
status=0
./build/fuzz/fuzz/tessaline_fuzz_bmp -max_total_time="$seconds" -max_len=65536 \
  -artifact_prefix="$findings/" -print_final_stats=1 "$work" >"$log" 2>&1 || status=$?
grep -E "^(stat::number_of_executed_units|stat::peak_rss_mb)|^Done|ERROR|SUMMARY" "$log" || true
if [ "$status" -ne 0 ]; then
  tail -n 60 "$log"
  echo "fuzz: the BMP fuzzer failed (exit $status); the input is in build/fuzz/findings" >&2
fi
exit "$status"
