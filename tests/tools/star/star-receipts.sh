#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Receipts from a POS library's Star encoders, drawn whole by Star virtual
# printers, and the same receipts refused as not understood, with exit status
# 3, by printers of the other language.
# Then the control's Upload, Print and erase onto a Star Line Mode printer, a
# StarPRNT printer refusing numbered logos, and ESC/POS refused for a printer
# kept as Star.
# Usage: star-receipts.sh CLI SOURCE_DIR WORK_DIR CONTROL_LIBRARY
set -euo pipefail
cli="$1"
source="$2"
work="$3"
control="$4"
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

"$cli" register "$control" >/dev/null
"$cli" upload --printer P-star-line "$source/samples/logo.bmp" > "$work/out" 2>&1 ||
  fail "upload to star-line: $(cat "$work/out")"
"$cli" print --printer P-star-line --image 1 --size 1 > "$work/out" 2>&1 ||
  fail "print on star-line: $(cat "$work/out")"
log="$("$cli" vprinter path P-star-line)/log.txt"
grep -q "ESC FS q 1: logo 1 384x160 dots" "$log" || fail "no Star registration: $(tail -5 "$log")"
grep -q "ESC FS p 1 1: printed logo 1, 768x160 dots" "$log" || fail "no Star printout: $(tail -5 "$log")"
"$cli" erase --printer P-star-line > "$work/out" 2>&1 || fail "erase on star-line: $(cat "$work/out")"
grep -q "logo 1 8x8 dots" "$log" || fail "no blank registration: $(tail -5 "$log")"
status=0
"$cli" upload --printer P-star-prnt "$source/samples/logo.bmp" > "$work/out" 2>&1 || status=$?
[ "$status" -ne 0 ] && grep -q "keeps its logos by key" "$work/out" ||
  fail "numbered logos to star-prnt: exit $status: $(cat "$work/out")"
status=0
"$cli" print --printer P-star-line --image 1 --commands esc-pos > "$work/out" 2>&1 || status=$?
[ "$status" -eq 1 ] && grep -q "would mix two languages" "$work/out" ||
  fail "esc-pos to star-line: exit $status: $(cat "$work/out")"
echo "star receipts: 3 drawn, 4 refused as not understood; Star Line Mode logos uploaded, printed, erased"
