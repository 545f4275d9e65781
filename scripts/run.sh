#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Tessaline, registers its control and opens the logo utility.
# Extra arguments go to the program.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"

# Everything the build and the program need, xvfb-run included.
./scripts/install-deps.sh

# The program is a desktop window; say so before spending minutes on a build.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'EOF'
run.sh: Tessaline is a desktop program and needs a display, but neither DISPLAY
nor WAYLAND_DISPLAY is set (no X11 or Wayland session is reachable from here).

Run it from a terminal inside your desktop session, or over SSH with X11
forwarding (ssh -X). On a machine without a screen, give it a virtual one:

    xvfb-run -a ./scripts/run.sh
EOF
  exit 2
fi

cmake --preset default >/dev/null
cmake --build --preset default --target tessaline tessaline-cli tessaline-control

build="$root/build/default"
cli="$build/tools/tessaline-cli"

# The program finds its control through the component registry, never by path.
"$cli" register "$build/control/libtessaline-control.so" >/dev/null

# Without a thermal printer queue the program has nothing to work on: give it
# a virtual one, which draws what it prints as pictures.
printers="$("$cli" printers || true)"
if ! grep -Eqx 'THERMAL #([1-9]|1[0-5])' <<<"$printers"; then
  "$cli" vprinter add "THERMAL #1" >/dev/null
  echo "run.sh: no \"THERMAL #\" printer queue is installed; added the virtual printer \"THERMAL #1\"."
  echo "run.sh: what it prints goes to $("$cli" vprinter path "THERMAL #1")/paper/"
fi

# The program keeps its list of logos beside itself, or in the user's
# configuration where that folder is a system folder or cannot be written.
settings_dir="$build/app"
case "$settings_dir/" in
/usr/* | /bin/* | /sbin/* | /lib/* | /etc/*) settings_dir="" ;;
esac
if [ -z "$settings_dir" ] || [ ! -w "$settings_dir" ]; then
  case "${XDG_CONFIG_HOME:-}" in
  /*) settings_dir="$XDG_CONFIG_HOME/tessaline" ;;
  *) settings_dir="$HOME/.config/tessaline" ;;
  esac
fi
# On the first run the list starts with the sample logo: the window opens
# with a logo and its printed preview, ready to upload.
if note="$(./scripts/seed-logo-list.sh "$settings_dir/CorvidoFiles.ini" "$cli" samples/logo.bmp)"; then
  [ -z "$note" ] || echo "run.sh: first run: $note"
else
  echo "run.sh: the logo list starts empty" >&2
fi

# The control writes its preview pictures into the current folder.
work="${XDG_DATA_HOME:-$HOME/.local/share}/tessaline/work"
mkdir -p "$work"
cd "$work"
exec "$build/app/tessaline" "$@"
