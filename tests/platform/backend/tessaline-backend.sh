#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The CUPS backend `tessaline` against the test run's private CUPS server: a
# POS library's receipt sent with `lp -o raw` to a queue tessaline:socket://
# arrives at a loopback printer with the driver record's logo command A after
# its ESC @ and B before its cut once an upload switched them on, unchanged
# after an erase; Tessaline's own jobs arrive unchanged; a printer that
# refuses the connection gives the retry exit code.
# Usage: tessaline-backend.sh CLI CONTROL BACKEND SOURCE_DIR WORK_DIR
set -euo pipefail
cli="$1"
control="$2"
backend="$3"
source="$4"
work="$5"
cups="${TESSALINE_CUPS_DIR:?the folder of the private CUPS server}"
if [ -f "$cups/unavailable" ]; then
  echo "SKIP: no private CUPS server: $(cat "$cups/unavailable")"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work/home"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
export CUPS_SERVER="$cups/cups.sock" CUPS_SERVERROOT="$cups/conf"
fail() { echo "FAIL: $*" >&2; exit 1; }
queue=TESSALINE_LOGOS
server=""
cleanup() {
  "$cli" queue remove "$queue" >/dev/null 2>&1 || true
  [ -z "$server" ] || kill "$server" 2>/dev/null || true
}
trap cleanup EXIT

# A loopback printer: each connection's bytes become capture-N.bin, for at most 60 s.
port_file="$work/port"
python3 - "$work" "$port_file" <<'PY' &
import socket, sys, time
work, port_file = sys.argv[1], sys.argv[2]
s = socket.socket()
s.bind(("127.0.0.1", 0))
s.listen(4)
s.settimeout(1.0)
open(port_file, "w").write(str(s.getsockname()[1]))
end, n = time.time() + 60, 0
while time.time() < end:
    try:
        c, _ = s.accept()
    except socket.timeout:
        continue
    n += 1
    data = b""
    c.settimeout(5.0)
    while True:
        try:
            part = c.recv(65536)
        except socket.timeout:
            break
        if not part:
            break
        data += part
    c.close()
    open(f"{work}/.capture-{n}", "wb").write(data)
    import os
    os.rename(f"{work}/.capture-{n}", f"{work}/capture-{n}.bin")
PY
server=$!
for _ in $(seq 50); do [ -s "$port_file" ] && break; sleep 0.1; done
port=$(cat "$port_file")

install -m 0755 "$backend" "$cups/bin/backend/tessaline"
"$cli" queue add "$queue" "socket://127.0.0.1:$port" --description "Receipts with logos" >"$work/add.out" 2>&1 ||
  fail "queue add: $(cat "$work/add.out")"
"$cli" queue list | grep -q "^$queue	socket://127.0.0.1:$port	Receipts with logos$" ||
  fail "queue list: $("$cli" queue list 2>&1)"
"$cli" register "$control" >/dev/null || fail "the control did not register"

# The POS library's receipt (a test-time client from npm).
"$source/scripts/install-test-clients.sh" "$work/../npm"
export NODE_PATH="$work/../npm/node_modules"
cp "$source/tests/tools/star/receipt.mjs" "$work/../npm/receipt.mjs"
node "$work/../npm/receipt.mjs" esc-pos > "$work/receipt.bin"

wait_capture() {
  for _ in $(seq 300); do [ -s "$work/capture-$1.bin" ] && return 0; sleep 0.1; done
  fail "nothing reached the printer for capture $1 ($(tail -n 5 "$cups/log/error_log"))"
}
hex() { od -An -tx1 -v "$1" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'; }

# 1. An upload through the queue: Tessaline's own job, unchanged; the record switched on.
"$cli" upload --printer "Receipts with logos" "$source/samples/logo.bmp" >"$work/upload.out" 2>&1 ||
  fail "upload: $(cat "$work/upload.out")"
wait_capture 1
[ "$(head -c 2 "$work/capture-1.bin" | od -An -tx1 | tr -d ' \n')" = "1b40" ] ||
  fail "the upload did not arrive as sent"
grep -q "1c 70 01 30" <(hex "$work/capture-1.bin") && fail "the upload got a logo command"
[ -f "$cups/conf/tessaline/$queue/TTY DeviceConfig" ] ||
  fail "no driver record beside the scheduler's configuration"

# 2. A receipt: A after ESC @, B before the cut.
lp -d "$queue" -o raw "$work/receipt.bin" >/dev/null || fail "lp refused the receipt"
wait_capture 2
got=$(hex "$work/capture-2.bin")
sent=$(hex "$work/receipt.bin")
case "$got" in
  "1b 40 1c 70 01 30 "*) ;;
  *) fail "logo command A is not after ESC @: ${got:0:60}" ;;
esac
# Without the two commands the receipt is what the POS library sent.
stripped=$(echo "$got" | sed 's/1c 70 01 30 //; s/1c 70 02 30 //')
[ "$stripped" = "$sent" ] || fail "the receipt changed beyond the logo commands"
last_cut="${sent%1d 56*}"
case "$got" in
  *"1c 70 02 30 1d 56"*) ;;
  *) fail "logo command B is not before the cut" ;;
esac
[ "${got%1c 70 02 30 1d 56*}" = "1b 40 1c 70 01 30 ${last_cut#1b 40 }" ] ||
  fail "B is not before the last cut"

# 3. After an erase the record is off: the receipt arrives as sent.
"$cli" erase --printer "Receipts with logos" >"$work/erase.out" 2>&1 || fail "erase: $(cat "$work/erase.out")"
wait_capture 3
lp -d "$queue" -o raw "$work/receipt.bin" >/dev/null
wait_capture 4
[ "$(hex "$work/capture-4.bin")" = "$sent" ] || fail "after the erase the receipt changed"

# 3b. Without the right to change the record (its folder cannot be written):
# the bytes go, the record stays as it was, the user is told, exit 3.
record="$cups/conf/tessaline/$queue"
cp "$record/TTY DeviceConfig" "$work/record.before"
mv "$record" "$work/record.aside"
: >"$record"
status=0
"$cli" erase --printer "Receipts with logos" >"$work/denied.out" 2>&1 || status=$?
rm -f "$record"
mv "$work/record.aside" "$record"
[ "$status" -eq 3 ] || fail "an erase without the right to the record gave exit $status, not 3"
grep -q "warning: the driver record was left unchanged, so every receipt keeps the logo it had: only those who may administer the queue \"$queue\" may change its driver record in $record" "$work/denied.out" ||
  fail "no warning of the record left unchanged: $(cat "$work/denied.out")"
cmp -s "$record/TTY DeviceConfig" "$work/record.before" || fail "the record changed"
wait_capture 5

# 4. A printer that refuses the connection: the retry exit code (6).
status=0
DEVICE_URI="tessaline:socket://127.0.0.1:1?connect-timeout=500" PRINTER="$queue" \
  "$backend" 1 user receipt 1 "" "$work/receipt.bin" 2>"$work/refused.err" || status=$?
[ "$status" -eq 6 ] || fail "a refused connection gave exit $status, not 6: $(cat "$work/refused.err")"
grep -q "STATE: +connecting-to-device" "$work/refused.err" || fail "no STATE line"
# 5. A device URI that is not one: stop the queue (4).
status=0
DEVICE_URI="tessaline:nowhere" "$backend" 1 user receipt 1 "" "$work/receipt.bin" 2>/dev/null ||
  status=$?
[ "$status" -eq 4 ] || fail "a bad address gave exit $status, not 4"
# 6. Without arguments it names its scheme, as CUPS asks backends.
"$backend" | grep -q '^network tessaline ' || fail "no device line"
# 7. Removed through the same API; an unknown queue is refused in CUPS's words.
"$cli" queue remove "$queue" >/dev/null || fail "queue remove"
[ -z "$("$cli" queue list)" ] || fail "the queue is still listed"
"$cli" queue remove "$queue" 2>"$work/again.err" && fail "removing it again succeeded"
grep -q "cannot remove the queue \"$queue\": " "$work/again.err" || fail "$(cat "$work/again.err")"
echo "tessaline backend: 8 passed, 0 failed"
