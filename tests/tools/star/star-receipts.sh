#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Receipts from a POS library's Star encoders, drawn whole by Star virtual
# printers, and the same receipts refused as not understood, with exit status
# 3, by printers of the other language.
# Usage: star-receipts.sh CLI SOURCE_DIR WORK_DIR
set -euo pipefail
cli="$1"
source="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/home"
"$source/scripts/install-test-clients.sh" "$work/../npm"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export NODE_PATH="$work/../npm/node_modules"
cp "$source/tests/tools/star/receipt.mjs" "$work/../npm/receipt.mjs"

fail() { echo "FAIL: $*" >&2; exit 1; }

for language in star-line star-prnt esc-pos; do
  node "$work/../npm/receipt.mjs" "$language" > "$work/$language.bin"
  "$cli" vprinter add "P-$language" --commands "$language" >/dev/null
done
for language in star-line star-prnt esc-pos; do
  "$cli" vprinter feed "P-$language" "$work/$language.bin" > "$work/out" 2>&1 ||
    fail "$language receipt on a $language printer: $(cat "$work/out")"
  folder="$("$cli" vprinter path "P-$language")"
  picture="$folder/paper/000001-1.png"
  [ -s "$picture" ] || fail "$language receipt drew no paper"
  # The receipt is a few hundred dots long: text, rule, bar code and QR code.
  height=$(python3 -c "import struct,sys; print(struct.unpack('>I', open(sys.argv[1],'rb').read()[20:24])[0])" "$picture")
  [ "$height" -gt 500 ] || fail "$language receipt only $height dots long"
  if grep -q "not understood" "$folder/log.txt"; then
    fail "$language receipt holds commands its printer does not know: $(grep 'not understood' "$folder/log.txt")"
  fi
done
# Across the languages: not understood, exit 3, no paper.
for pair in "star-line esc-pos" "esc-pos star-line" "star-prnt esc-pos" "esc-pos star-prnt"; do
  set -- $pair
  status=0
  "$cli" vprinter feed "P-$2" "$work/$1.bin" > "$work/out" 2>&1 || status=$?
  [ "$status" -eq 3 ] || fail "$1 receipt on a $2 printer: exit $status, not 3"
  grep -q "not understood: the job looks like" "$work/out" || fail "$1 on $2: $(cat "$work/out")"
  grep -q "bytes are in" "$work/out" || fail "$1 on $2 gives no figures: $(cat "$work/out")"
done
echo "star receipts: 3 drawn, 4 refused as not understood"
