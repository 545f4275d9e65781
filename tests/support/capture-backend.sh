#!/bin/sh
# SPDX-License-Identifier: MIT
# CUPS backend for the test server: keeps the bytes of every job in a file
# of its own, so tests can compare what a printer would have received.
#
# Device URI: capture:<folder>. Job <id> of queue <queue> becomes
# <folder>/<queue>-<id>.bin, renamed into place only once complete, with
# <queue>-<id>.meta beside it (title and document format).

if [ $# -eq 0 ]; then
    echo 'direct capture "Unknown" "Tessaline byte capture"'
    exit 0
fi
if [ $# -lt 5 ]; then
    echo "Usage: capture job-id user title copies options [file]" >&2
    exit 1
fi

folder=${DEVICE_URI#capture:}
# A printer that takes its time, for the tests that follow a job.
[ "${PRINTER:-}" = THERMAL_SLOW ] && sleep 4
name="${PRINTER:-unknown}-$1"
part="$folder/.$name.part"

if [ -n "$6" ]; then
    cat -- "$6" >"$part" || exit 1
else
    cat >"$part" || exit 1
fi
printf 'title=%s\nformat=%s\n' "$3" "${CONTENT_TYPE:-}" >"$folder/$name.meta" || exit 1
mv -f "$part" "$folder/$name.bin" || exit 1
exit 0
