#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, checks what it declares and holds, unpacks it
# into a scratch folder with dpkg-deb -x (never dpkg -i: the machine's own
# system is left alone) and runs the tool and the program from there, with a
# private registry and a virtual printer, so the package is known to work
# without the build tree.
#
# Usage: check-package.sh BUILD-DIR CPACK LOGO
#
# The scratch folder lies outside the build tree, as an installed package
# does: a tool run from inside its build tree would take the build's library.
set -euo pipefail
build=$(cd "$1" && pwd) cpack=$2 logo=$3
source=$(cd "$(dirname "$0")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/tessaline-package-XXXXXX")
trap 'rm -rf "$scratch"' EXIT

fail() {
  echo "package: $*" >&2
  exit 1
}
step() { echo "== $*"; }

mkdir -p "$scratch/home" "$scratch/work"

step "building the package"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log"; fail "cpack failed"; }
debs=("$scratch"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
deb=${debs[0]}
echo "$deb"

step "declared dependencies"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
for p in libc6 libstdc++6 libcups2 libpng16-16 libjpeg62-turbo libgif7 libqt6core6 libqt6gui6 \
  libqt6widgets6; do
  grep -qxF "$p" <<<"$names" || fail "Depends lacks $p"
done
if grep -q -- "-dev$" <<<"$names"; then
  fail "Depends names a development package"
fi
[ "$(dpkg-deb -f "$deb" Package)" = tessaline ] || fail "the package is not called tessaline"

step "contents"
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/contents.txt"
for pattern in \
  '^\./usr/bin/tessaline$' \
  '^\./usr/bin/tessaline-cli$' \
  '^\./usr/lib/(.+/)?libtessaline-control\.so$' \
  '^\./usr/share/applications/io\.github\.tessaline\.Tessaline\.desktop$' \
  '^\./usr/share/metainfo/io\.github\.tessaline\.Tessaline\.metainfo\.xml$' \
  '^\./usr/share/icons/hicolor/scalable/apps/io\.github\.tessaline\.Tessaline\.svg$' \
  '^\./usr/share/icons/hicolor/128x128/apps/io\.github\.tessaline\.Tessaline\.png$' \
  '^\./usr/share/man/man1/tessaline\.1\.gz$' \
  '^\./usr/share/man/man1/tessaline-cli\.1\.gz$' \
  '^\./usr/share/bash-completion/completions/tessaline-cli$' \
  '^\./usr/share/zsh/vendor-completions/_tessaline-cli$' \
  '^\./usr/share/fish/vendor_completions\.d/tessaline-cli\.fish$' \
  '^\./usr/share/tessaline/ansible/tessaline-fleet-[0-9.]+\.tar\.gz$' \
  '^\./usr/share/tessaline/ansible/playbook\.yml$' \
  '^\./usr/include/tessaline/tessaline_component\.h$' \
  '^\./usr/include/tessaline/tessaline_control\.h$' \
  '^\./usr/lib/(.+/)?pkgconfig/tessaline\.pc$' \
  '^\./usr/lib/(.+/)?cmake/Tessaline/TessalineConfig\.cmake$'; do
  grep -Eq "$pattern" "$scratch/contents.txt" || fail "the package lacks $pattern"
done
if grep -Ev '^\./usr/' "$scratch/contents.txt" | grep -v '^\./$'; then
  fail "the package puts files outside /usr"
fi

step "unpacking with dpkg-deb -x"
root="$scratch/root"
dpkg-deb -x "$deb" "$root"
cli="$root/usr/bin/tessaline-cli"
program="$root/usr/bin/tessaline"
lib=$(find "$root/usr/lib" -name libtessaline-control.so | head -n 1)
[ -n "$lib" ] || fail "no control library unpacked"
# The package's pkg-config file finds its prefix from where it lies.
pc=$(find "$root/usr/lib" -name tessaline.pc | head -n 1)
[ "$(PKG_CONFIG_PATH=$(dirname "$pc") pkg-config --variable=controllibrary tessaline)" -ef "$lib" ] ||
  fail "the unpacked tessaline.pc does not name the unpacked control"
for binary in "$cli" "$program" "$lib"; do
  if readelf -d "$binary" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
    fail "$binary searches the build tree for libraries"
  fi
  if ldd "$binary" | grep -F "$build"; then
    fail "$binary loads a library from the build tree"
  fi
  if ldd "$binary" | grep -q "not found"; then
    ldd "$binary"
    fail "$binary needs a library the system lacks"
  fi
done
gzip -t "$root"/usr/share/man/man1/*.gz || fail "a manual page is not a valid gzip file"
# The shipped collection installs as the controller would install it.
ANSIBLE_COLLECTIONS_PATH="$scratch/collections" ansible-galaxy collection install \
  "$root"/usr/share/tessaline/ansible/tessaline-fleet-*.tar.gz -p "$scratch/collections" \
  >"$scratch/galaxy.log" 2>&1 || { cat "$scratch/galaxy.log"; fail "the shipped collection does not install"; }
[ -f "$scratch/collections/ansible_collections/tessaline/fleet/plugins/modules/tessaline_apply.py" ] ||
  fail "the shipped collection lacks its module"

# A private user: registry, virtual printers and settings live in the scratch
# folder, and no CUPS server answers.
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/config" XDG_DATA_HOME="$scratch/data"
export CUPS_SERVER="$scratch/no-cups.sock"
registry="$XDG_CONFIG_HOME/tessaline/components.reg"
cd "$scratch/work"

step "first run registers the unpacked control"
"$cli" describe >describe.txt 2>describe.err || { cat describe.err; fail "describe failed"; }
cat describe.err
grep -qF "registered the Tessaline control $lib for this user" describe.err ||
  fail "the first run did not register the unpacked library"
grep -qF "from $lib" describe.txt || fail "describe did not load the unpacked library"
grep -q '\[id 4\] long Upload(long Printer, BSTR PrinterName, BSTR NVImage' describe.txt ||
  { cat describe.txt; fail "describe does not show Upload"; }
grep -q '\[id 1\] void Progress(long Data)' describe.txt || fail "describe does not show Progress"
"$cli" describe 2>again.err >/dev/null
[ ! -s again.err ] || { cat again.err; fail "the second run registered again"; }

step "unregister and register with the unpacked path"
"$cli" unregister "$lib"
[ ! -e "$registry" ] || fail "unregistering left $registry behind"
"$cli" register "$lib" | grep -qF "Registered $lib" || fail "register did not name the library"
grep -qF "InprocServer32=$lib" "$registry" || fail "the registry does not name $lib"

step "uploading to a virtual printer"
"$cli" vprinter add "THERMAL #1"
# No CUPS here: the list says so (exit 3) and still holds the virtual printer.
{ "$cli" printers 2>/dev/null || true; } | grep -qx "THERMAL #1" || fail "the virtual printer is not listed"
"$cli" upload --printer "THERMAL #1" --mode diffusion "$logo" "$logo" 2>upload.err ||
  { cat upload.err; fail "upload failed"; }
grep -q "image 2 of 2 sent" upload.err || fail "upload gave no progress"
"$cli" print --printer "THERMAL #1" --image 2
"$cli" vprinter show "THERMAL #1" | tee show.txt
printer=$("$cli" vprinter path "THERMAL #1")
[ -s "$printer/nv/001.png" ] && [ -s "$printer/nv/002.png" ] || fail "the NV images are not stored"
ls "$printer"/paper/*.png >/dev/null 2>&1 || fail "nothing was printed"
status=0
"$cli" upload --printer "THERMAL #7" "$logo" 2>missing.err || status=$?
# No CUPS here: the printer may be on the server that is not there (3), not missing (2).
[ "$status" -eq 3 ] && grep -q "CUPS is not reachable at" missing.err ||
    { cat missing.err; fail "a printer on an unreachable CUPS server gave $status"; }

step "a registration whose library is gone is replaced"
sed -i "s#=$lib\$#=$scratch/gone/libtessaline-control.so#" "$registry"
"$cli" info "$logo" >info.txt 2>info.err || { cat info.err; fail "info failed"; }
grep -q "is gone" info.err || { cat info.err; fail "the stale registration was not replaced"; }
grep -q "bits=24 height=160 width=384" info.txt || fail "info: $(cat info.txt)"

step "the program runs from the unpacked files, in a work folder of its own"
# The screenshot clicks the listed logo, so the control writes its preview
# into the program's current folder: the work folder, not where it started.
# The list starts with the sample logo, as scripts/run.sh starts it on a first
# run; a list that exists, or a copy of an emptied one, is left alone.
seed="$source/scripts/seed-logo-list.sh"
list="$root/usr/bin/CorvidoFiles.ini"
touch "$list.bak"
"$seed" "$list" "$cli" "$logo" >/dev/null
[ ! -e "$list" ] || fail "a list was started beside the copy of an earlier one"
rm "$list.bak"
"$seed" "$list" "$cli" "$logo" >/dev/null
[ "$(cat "$list")" = "$(printf '[LOGO]\nLogofile1=%s|logo.bmp|7680|160|384' "$logo")" ] ||
  { cat "$list"; fail "the first list is not the sample logo's"; }
echo "the user's own" >>"$list"
"$seed" "$list" "$cli" "$logo" >/dev/null
grep -q "the user's own" "$list" || fail "an existing list was replaced"
sed -i '$d' "$list"
rm -f Temp.bmp
status=0
QT_QPA_PLATFORM=offscreen timeout 60 "$program" --screenshot window.png \
  >program.out 2>program.err || status=$?
[ "$status" -eq 0 ] || { cat program.out program.err; fail "the program exited with $status"; }
[ -s window.png ] || { cat program.err; fail "the program drew no window"; }
[ -s "$XDG_DATA_HOME/tessaline/work/Temp.bmp" ] || fail "no preview in the work folder"
[ ! -e Temp.bmp ] || fail "the preview landed in the folder the program was started in"

step "the program registers the control on its first run"
rm -rf "$XDG_CONFIG_HOME"
QT_QPA_PLATFORM=offscreen timeout 60 "$program" --screenshot "$scratch/w2.png" >p2.out 2>p2.err ||
  { cat p2.err; fail "the program failed on its first run"; }
grep -qF "InprocServer32=$lib" "$registry" || { cat p2.err; fail "the program did not register on first run"; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$root/usr/share/applications/io.github.tessaline.Tessaline.desktop"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net \
    "$root/usr/share/metainfo/io.github.tessaline.Tessaline.metainfo.xml" >/dev/null ||
    fail "the AppStream metadata does not validate"
fi
echo "package: ok"
