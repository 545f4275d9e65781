#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the README's queue examples (the lpadmin lines of "Installing a thermal
# printer in CUPS", without sudo) against a private CUPS server of its own,
# whose backend folder holds the machine's CUPS backends: a machine set up by
# scripts/install-deps.sh must have the ones the examples name. Nothing is
# printed, so no printer is reached.
# Usage: check-readme-queues.sh SOURCE-FOLDER
set -eu
source=$1
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d /tmp/tessaline-readme-cups.XXXXXX)
rmdir "$dir"
cleanup() { sh "$source/tests/support/private-cupsd.sh" stop "$dir" >/dev/null 2>&1 || true; }
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}

# The examples: every lpadmin line of the section's code blocks.
sed -n '/^## Installing a thermal printer in CUPS/,/^## /p' "$source/README.md" |
  sed -n 's/^sudo \(lpadmin .*\)$/\1/p' >"${dir}.lines"
trap 'cleanup; rm -f "${dir}.lines"' EXIT
[ -s "${dir}.lines" ] || fail "the README's CUPS section has no lpadmin example"
cat "${dir}.lines"

sh "$source/tests/support/private-cupsd.sh" start "$dir" >/dev/null
if [ -f "$dir/unavailable" ]; then
  echo "no private CUPS server: $(cat "$dir/unavailable")"
  exit 77
fi
CUPS_SERVER="$dir/cups.sock"
export CUPS_SERVER

# The schemes the examples use, each from the machine's own backend.
for scheme in $(sed -n 's/.* -v "*\([a-z]*\):.*/\1/p' "${dir}.lines" | sort -u); do
  [ -x "/usr/lib/cups/backend/$scheme" ] ||
    fail "no CUPS backend for $scheme:// (/usr/lib/cups/backend/$scheme; Debian package cups)"
  ln -sf "/usr/lib/cups/backend/$scheme" "$dir/bin/backend/$scheme"
done

while IFS= read -r line; do
  eval "$line" || fail "$line"
done <"${dir}.lines"

# Each queue the examples made: its description and device, shown by the
# lpstat command the README gives for it.
shows=$(sed -n 's/^`\(lpstat [^`]*\)` shows the queues with their descriptions.*/\1/p' "$source/README.md")
[ -n "$shows" ] || fail "the README does not say which lpstat shows the descriptions"
$shows >"$dir/lpstat.out"
lpstat -v >"$dir/devices.out"
while IFS= read -r line; do
  queue=$(echo "$line" | sed -n 's/.* -p \([^ ]*\) .*/\1/p')
  description=$(echo "$line" | sed -n 's/.* -D "\([^"]*\)".*/\1/p')
  device=$(echo "$line" | sed -n 's/.* -v "*\([^" ]*\)"*.*/\1/p')
  grep -A12 "^printer $queue " "$dir/lpstat.out" | grep -qF "Description: $description" ||
    { cat "$dir/lpstat.out"; fail "$queue does not carry the description $description"; }
  grep -qF "device for $queue: $device" "$dir/devices.out" ||
    { cat "$dir/devices.out"; fail "$queue's device is not $device"; }
  grep -A1 "^printer $queue " "$dir/lpstat.out" | grep -q "enabled" ||
    fail "$queue is not enabled"
done <"${dir}.lines"
echo "the README's $(wc -l <"${dir}.lines") queue examples made their queues"
