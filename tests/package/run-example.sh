#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one of the docs/examples hosts the way its text says: the built control
# registered in a private registry, a virtual printer "THERMAL #1", the sample
# logo. Then checks what the printer stored and printed, and that a printer
# that is not installed gives exit status 2 and an unreadable logo 1, each
# with the control's ErrorText. A host whose usage offers --graphic KEY also
# stores the logo as NV graphic "A1" on a printer vprinter serve serves, each
# step checked against its key list.
#
# Usage: run-example.sh CLI CONTROL LOGO SCRATCH HOST-COMMAND...
set -euo pipefail
cli=$1 control=$2 logo=$3 scratch=$4
shift 4

fail() {
  echo "example: $*" >&2
  exit 1
}

rm -rf "$scratch"
mkdir -p "$scratch/work" "$scratch/home"
export XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data" HOME="$scratch/home"
# No CUPS server answers here, so only the virtual printers are installed.
export CUPS_SERVER="$scratch/no-cups.sock"

"$cli" register "$control" >/dev/null
"$cli" vprinter add "THERMAL #1" >/dev/null

cd "$scratch/work"
"$@" "THERMAL #1" "$logo" >"$scratch/out.txt" 2>"$scratch/err.txt" ||
  { cat "$scratch/out.txt" "$scratch/err.txt"; fail "the host failed"; }
cat "$scratch/out.txt"

grep -q "progress: logo 1 sent" "$scratch/out.txt" || fail "no Progress event reached the host"
grep -Eq "24 bits per pixel, [0-9]+ x [0-9]+ dots" "$scratch/out.txt" ||
  fail "BitmapInfo did not write back the logo's size"

printer=$("$cli" vprinter path "THERMAL #1")
[ -s "$printer/nv/001.png" ] || fail "the printer stores no NV image 1"
[ ! -e "$printer/nv/002.png" ] || fail "the printer stores more than the one logo"
ls "$printer"/paper/*.png >/dev/null 2>&1 || fail "NV image 1 was not printed"
grep -qi "cut" "$printer/log.txt" || fail "the printout did not end with a cut"

status=0
"$@" "THERMAL #9" "$logo" >/dev/null 2>"$scratch/err9.txt" || status=$?
[ "$status" -eq 2 ] || { cat "$scratch/err9.txt"; fail "a missing printer gave $status, not 2"; }
grep -q 'the printer "THERMAL #9" is not installed' "$scratch/err9.txt" ||
  { cat "$scratch/err9.txt"; fail "ErrorText did not name the missing printer"; }

status=0
"$@" "THERMAL #1" "$scratch/no-such.bmp" >/dev/null 2>"$scratch/err1.txt" || status=$?
[ "$status" -eq 1 ] || fail "an unreadable logo gave $status, not 1"
grep -q "no-such.bmp: file not found" "$scratch/err1.txt" ||
  { cat "$scratch/err1.txt"; fail "ErrorText did not name the file and the reason"; }
if { "$@" 2>&1 || true; } | grep -q -- "--graphic KEY"; then
  "$cli" vprinter add NET >/dev/null
  "$cli" vprinter serve NET --listen 127.0.0.1:0 >"$scratch/serve.out" 2>&1 &
  served=$!
  trap 'kill $served 2>/dev/null || true' EXIT
  for _ in $(seq 100); do
    grep -q '^listening on ' "$scratch/serve.out" && break
    sleep 0.1
  done
  address=$(sed -n 's/^listening on //p' "$scratch/serve.out")
  [ -n "$address" ] || fail "vprinter serve did not start"
  "$@" --graphic A1 "$address" "$logo" >"$scratch/graphic.txt" 2>&1 ||
    { cat "$scratch/graphic.txt"; fail "the host did not store the graphic"; }
  cat "$scratch/graphic.txt"
  for said in 'as NV graphic "A1": verified' "keys: ['A1']" "progress: logo 1 sent" \
    'printed NV graphic "A1": verified'; do
    grep -qF "$said" "$scratch/graphic.txt" || fail "the graphics host did not say: $said"
  done
  [ -s "$("$cli" vprinter path NET)/nv/graphics/A1.png" ] || fail "NET holds no graphic A1"
  kill -TERM $served
  wait $served || fail "vprinter serve did not stop cleanly"
  trap - EXIT
fi
echo "example: ok"
