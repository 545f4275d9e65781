#!/usr/bin/env bash
# `cmake --install` into a scratch prefix: the files land in the usual places
# and the installing user's registry names the installed control, which the
# installed tool then loads. A staged install (DESTDIR) registers nothing.
#
# Usage: check-install.sh BUILD-DIR CMAKE
set -euo pipefail
build=$(cd "$1" && pwd) cmake=$2
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-install-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "install: $*" >&2
  exit 1
}

prefix="$scratch/prefix"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export CUPS_SERVER="$scratch/no-cups.sock"
unset DESTDIR SUDO_USER
"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
  { cat "$scratch/install.log"; fail "cmake --install failed"; }

for file in bin/tessaline bin/tessaline-cli \
  share/applications/io.github.tessaline.Tessaline.desktop \
  share/metainfo/io.github.tessaline.Tessaline.metainfo.xml \
  share/icons/hicolor/scalable/apps/io.github.tessaline.Tessaline.svg \
  share/icons/hicolor/128x128/apps/io.github.tessaline.Tessaline.png \
  share/man/man1/tessaline.1.gz share/man/man1/tessaline-cli.1.gz \
  include/tessaline/tessaline_component.h share/doc/tessaline/component-abi.md; do
  [ -f "$prefix/$file" ] || fail "nothing installed at $file"
done
lib=$(find "$prefix/lib" -name libtessaline-control.so | head -n 1)
[ -n "$lib" ] || fail "no control library installed"

registry="$XDG_CONFIG_HOME/tessaline/components.reg"
grep -qxF "InprocServer32=$lib" "$registry" || fail "installing did not register $lib"
"$prefix/bin/tessaline-cli" describe 2>"$scratch/describe.err" | grep -qF "from $lib" ||
  { cat "$scratch/describe.err"; fail "the installed tool does not load the installed control"; }
[ ! -s "$scratch/describe.err" ] || { cat "$scratch/describe.err"; fail "describe complained"; }

rm -rf "$XDG_CONFIG_HOME"
DESTDIR="$scratch/stage" "$cmake" --install "$build" --prefix /usr >"$scratch/stage.log" 2>&1 ||
  { cat "$scratch/stage.log"; fail "a staged install failed"; }
[ -f "$scratch/stage/usr/bin/tessaline-cli" ] || fail "the staged install put nothing under DESTDIR"
[ ! -e "$registry" ] || fail "a staged install registered the control"
echo "install: ok"
