#!/bin/sh
# SPDX-License-Identifier: MIT
# Builds the tessaline.fleet collection (packaging/ansible), installs it into a
# scratch collections folder, and runs docs/examples/ansible against this host
# (connection local) and virtual printers served on loopback:
#   - a fresh host in check mode: the plan says it would store, nothing is
#     written (no printer write, no state, no copied folder);
#   - the first run stores the logo; the second changes nothing; check mode
#     after it plans nothing and leaves the state as it was;
#   - a state file on the controller never replaces the host's;
#   - a printer that nothing answers fails the task, naming it, while the
#     other printer's line is still shown;
#   - the collection's sanity tests that run offline, and its version.
# Usage: ansible-example.sh TESSALINE-CLI SOURCE-FOLDER LOGO.bmp PROJECT-VERSION
set -eu
cli=$1
source=$2
logo=$3
version=$4
for tool in ansible-playbook ansible-galaxy ansible-doc; do
  if ! command -v $tool >/dev/null 2>&1; then
    echo "$tool is not installed (Debian's ansible-core): the Ansible collection is not tested"
    exit 77
  fi
done
work=$(mktemp -d)
serve=""
cleanup() {
  if [ -n "$serve" ]; then
    kill "$serve" 2>/dev/null || true
    wait "$serve" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  exit 1
}
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export ANSIBLE_LOCAL_TEMP="$work/ansible-local" ANSIBLE_REMOTE_TEMP="$work/ansible-remote"
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_COLLECTIONS_PATH="$work/collections"
export TMPDIR="$work/tmp"
mkdir -p "$HOME" "$TMPDIR"

echo "== the collection: version, build, install, documentation"
galaxy_version=$(sed -n 's/^version: *//p' "$source/packaging/ansible/galaxy.yml")
case "$version" in
"$galaxy_version" | "$galaxy_version".*) ;;
*) fail "galaxy.yml says $galaxy_version, the project is $version" ;;
esac
ansible-galaxy collection build "$source/packaging/ansible" --output-path "$work" >/dev/null
tarball="$work/tessaline-fleet-$galaxy_version.tar.gz"
[ -f "$tarball" ] || fail "ansible-galaxy did not build $tarball"
ansible-galaxy collection install "$tarball" -p "$work/collections" >/dev/null
ansible-doc -t module tessaline.fleet.tessaline_apply >"$work/doc.out" 2>&1 ||
  { cat "$work/doc.out"; fail "ansible-doc cannot read the module's documentation"; }
grep -q "check_mode" "$work/doc.out" || fail "the module's documentation lacks its attributes"

echo "== the collection's offline sanity tests"
# The others (pep8, pylint, validate-modules, yamllint, import, ansible-doc,
# runtime-metadata) install their requirements from the network first.
sanity="$work/sanity/ansible_collections/tessaline/fleet"
mkdir -p "$(dirname "$sanity")"
cp -r "$source/packaging/ansible" "$sanity"
(cd "$sanity" && ansible-test sanity --python "$(python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')" \
  --skip-test ansible-doc --skip-test import --skip-test pep8 --skip-test pylint \
  --skip-test runtime-metadata --skip-test validate-modules --skip-test yamllint \
  >"$work/sanity.out" 2>&1) || { cat "$work/sanity.out"; fail "ansible-test sanity"; }

echo "== virtual printers on loopback"
"$cli" vprinter add TILL >/dev/null
"$cli" vprinter serve TILL --listen 127.0.0.1:0 >"$work/serve.out" 2>&1 &
serve=$!
address=""
for _ in $(seq 100); do
  address=$(sed -n 's/^listening on //p' "$work/serve.out")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { cat "$work/serve.out"; fail "the virtual printer did not start"; }
# A loopback port nothing listens on: the socket is bound, then let go.
silent=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

mkdir "$work/fleet"
cp "$logo" "$work/fleet/header.bmp"
cat >"$work/fleet/fleet.toml" <<TOML
[defaults]
dither = "stucki"
fit = 576

[logos.header]
file = "header.bmp"

[[printers]]
name = "Till 1"
address = "$address"
logos = { "A1" = "header" }
TOML
cat >"$work/inventory" <<INI
[tills]
localhost ansible_connection=local ansible_python_interpreter=$(command -v python3)
INI
state="$work/till-state/fleet.state.json"

writes() {
  "$cli" vprinter show TILL | sed -n 's/^NV writes today: *//p'
}
# run EXPECTED-EXIT [ansible-playbook options]
run() {
  expected=$1
  shift
  rc=0
  ansible-playbook -i "$work/inventory" "$source/docs/examples/ansible/playbook.yml" \
    -e "tessaline_cli=$cli" -e "tessaline_fleet_files=$work/fleet" \
    -e "tessaline_fleet_dir=$work/till" -e "tessaline_state_file=$state" "$@" \
    >"$work/run.out" 2>&1 || rc=$?
  cat "$work/run.out"
  [ "$rc" = "$expected" ] || fail "ansible-playbook exited with $rc, not $expected"
}
recap() {
  grep -q "localhost *: ok=[0-9]* *changed=$1 .*failed=$2" "$work/run.out" ||
    fail "the recap is not changed=$1 failed=$2"
}

echo "== a fresh host, in check mode"
run 0 --check --diff
recap 1 0
grep -q "Till 1: would store A1" "$work/run.out" || fail "the plan did not say it would store A1"
[ ! -e "$work/till" ] || fail "check mode copied the folder"
[ ! -e "$state" ] || fail "check mode wrote the state"
if ls "$TMPDIR" | grep -q tessaline-plan; then fail "the plan's scratch folder was left"; fi
sleep 0.3
[ "$(writes)" = 0 ] || fail "check mode wrote to the printer: $(writes) NV writes"

echo "== the first run"
# A state file on the controller, beside the manifest, must not reach the host.
echo "not a state file" >"$work/fleet/fleet.toml.state.json"
run 0
recap 3 0
grep -q "Till 1: stored A1 (1 NV write" "$work/run.out" || fail "the first run did not store A1"
# The job runs once the printer's connection closed.
for _ in $(seq 50); do [ "$(writes)" = 1 ] && break; sleep 0.1; done
[ "$(writes)" = 1 ] || fail "the printer counted $(writes) NV writes, not 1"
[ -s "$state" ] || fail "the host's state was not written"
cp "$state" "$work/state-after-first"

echo "== the second run, and check mode after it"
run 0
recap 0 0
grep -q "Till 1: unchanged" "$work/run.out" || fail "the second run did not say unchanged"
run 0 --check
recap 0 0
sleep 0.3
[ "$(writes)" = 1 ] || fail "a run that should change nothing wrote: $(writes) NV writes today"

echo "== a printer that answers nothing"
cat >>"$work/fleet/fleet.toml" <<TOML

[[printers]]
name = "Till 2"
address = "socket://127.0.0.1:$silent"
logos = { "A1" = "header" }
TOML
run 2
grep -q "Till 1: unchanged" "$work/run.out" || fail "the good printer's line is missing"
grep -q "1 of 2 printers failed or were refused: Till 2" "$work/run.out" ||
  fail "the task did not fail naming Till 2"
echo "the collection planned a fresh host, stored the logo once, changed nothing after, and named the failed printer"
