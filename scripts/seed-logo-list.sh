#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Starts the program's logo list with one logo, for a first run: writes the
# list file SETTINGS naming LOGO, measured by the control through the
# command-line tool CLI, unless SETTINGS exists or a copy of an earlier list
# (SETTINGS.bak) lies beside it: a list the user emptied stays empty.
#
# Usage: scripts/seed-logo-list.sh SETTINGS CLI LOGO
set -euo pipefail
if [ $# -ne 3 ]; then
  echo "Usage: $0 SETTINGS CLI LOGO" >&2
  exit 2
fi
settings=$1 cli=$2 logo=$3

if [ -e "$settings" ] || [ -e "$settings.bak" ]; then
  exit 0
fi
if [ ! -f "$logo" ]; then
  echo "seed-logo-list: no logo at $logo" >&2
  exit 1
fi
logo="$(cd "$(dirname "$logo")" && pwd)/$(basename "$logo")"
case "$logo" in
*'|'* | *$'\n'* | *$'\r'*)
  echo "seed-logo-list: $logo cannot be listed: its name holds \"|\" or a line break" >&2
  exit 1
  ;;
esac

info=$("$cli" info "$logo") || exit 1
height=$(sed -n 's/.*height=\([0-9][0-9]*\).*/\1/p' <<<"$info")
width=$(sed -n 's/.*width=\([0-9][0-9]*\).*/\1/p' <<<"$info")
if [ -z "$height" ] || [ -z "$width" ]; then
  echo "seed-logo-list: cannot measure $logo: $info" >&2
  exit 1
fi
# The size in the printer's NV memory: whole 8-dot rows of the width rounded
# up to 8 dots, as the program's add command computes it.
rows=$(((height + 7) / 8))
columns=$(((width + 7) / 8 * 8))
size=$((rows * columns))

# Written beside and renamed, as the program replaces the file.
mkdir -p "$(dirname "$settings")"
tmp=$(mktemp "$settings.XXXXXX")
printf '[LOGO]\nLogofile1=%s|%s|%d|%d|%d\n' "$logo" "$(basename "$logo")" "$size" "$height" \
  "$width" >"$tmp"
chmod 644 "$tmp"
mv -f "$tmp" "$settings"
echo "listed $logo in $settings"
