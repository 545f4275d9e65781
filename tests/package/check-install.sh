#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# `cmake --install` into a scratch prefix: the files land in the usual places
# and the installing user's registry names the installed control, which the
# installed tool then loads. A staged install (DESTDIR) registers nothing.
#
# With LOGO, the C host example is then built from the installed prefix alone,
# once through pkg-config and once through find_package(Tessaline), and each
# build runs against the installed tool and control (run-example.sh).
#
# Usage: check-install.sh BUILD-DIR CMAKE [LOGO]
set -euo pipefail
build=$(cd "$1" && pwd) cmake=$2 logo=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
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
  include/tessaline/tessaline_component.h include/tessaline/tessaline_control.h \
  share/doc/tessaline/component-abi.md share/doc/tessaline/examples/CMakeLists.txt \
  share/doc/tessaline/copyright share/doc/tessaline/LICENSE; do
  [ -f "$prefix/$file" ] || fail "nothing installed at $file"
done
lib=$(find "$prefix/lib" -name libtessaline-control.so | head -n 1)
[ -n "$lib" ] || fail "no control library installed"
pc=$(find "$prefix/lib" -name tessaline.pc | head -n 1)
config=$(find "$prefix/lib" -name TessalineConfig.cmake | head -n 1)
[ -n "$pc" ] || fail "no pkg-config file installed"
[ -n "$config" ] || fail "no CMake package installed"
export PKG_CONFIG_PATH=$(dirname "$pc")
[ "$(cd "$(pkg-config --variable=prefix tessaline)" && pwd)" = "$prefix" ] ||
  fail "tessaline.pc names another prefix: $(pkg-config --variable=prefix tessaline)"
[ "$(pkg-config --variable=controllibrary tessaline)" -ef "$lib" ] ||
  fail "tessaline.pc names another control library"

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

if [ -n "$logo" ]; then
  example="$prefix/share/doc/tessaline/examples"
  # Nothing of the source or build tree: the installed example, headers and package.
  # shellcheck disable=SC2046 # pkg-config's words are meant to split
  cc -std=c11 -Wall -Wextra -Wpedantic -Werror "$example/pos_host.c" -o "$scratch/pos_host-pc" \
    $(pkg-config --cflags --libs tessaline) || fail "the example does not build with pkg-config"
  "$cmake" -S "$example" -B "$scratch/pos_host-cmake" -DCMAKE_PREFIX_PATH="$prefix" \
    -DCMAKE_C_FLAGS="-Wall -Wextra -Wpedantic -Werror" >"$scratch/example.log" 2>&1 &&
    "$cmake" --build "$scratch/pos_host-cmake" >>"$scratch/example.log" 2>&1 ||
    { cat "$scratch/example.log"; fail "the example does not build with find_package(Tessaline)"; }
  grep -qxF -- "-- Tessaline control: $lib" "$scratch/example.log" ||
    { cat "$scratch/example.log"; fail "find_package(Tessaline) names another control library"; }
  for build in pc:"$scratch/pos_host-pc" cmake:"$scratch/pos_host-cmake/pos_host"; do
    bash "$here/run-example.sh" "$prefix/bin/tessaline-cli" "$lib" "$logo" \
      "$scratch/example-${build%%:*}" "${build#*:}"
  done
fi
echo "install: ok"
