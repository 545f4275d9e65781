#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs docs/examples/ansible against this host (connection local) and a
# virtual printer served on loopback, twice: the first run stores the logo,
# the second reports nothing changed and writes nothing.
# Usage: ansible-example.sh TESSALINE-CLI EXAMPLE-FOLDER LOGO.bmp
set -eu
cli=$1
example=$2
logo=$3
if ! command -v ansible-playbook >/dev/null 2>&1; then
  echo "ansible-playbook is not installed (Debian's ansible-core): the Ansible example is not run"
  exit 77
fi
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
export HOME="$work/home" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export ANSIBLE_LOCAL_TEMP="$work/ansible-local" ANSIBLE_REMOTE_TEMP="$work/ansible-remote"
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0
mkdir -p "$HOME"

"$cli" vprinter add TILL >/dev/null
"$cli" vprinter serve TILL --listen 127.0.0.1:0 >"$work/serve.out" 2>&1 &
serve=$!
address=""
for _ in $(seq 100); do
  address=$(sed -n 's/^listening on //p' "$work/serve.out")
  [ -n "$address" ] && break
  sleep 0.1
done
[ -n "$address" ] || { echo "the virtual printer did not start"; cat "$work/serve.out"; exit 1; }

mkdir "$work/fleet"
cp "$logo" "$work/fleet/header.bmp"
cat >"$work/fleet/fleet.toml" <<TOML
[defaults]
image-mode = "error-diffusion"
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

writes() {
  "$cli" vprinter show TILL | sed -n 's/^NV writes today: *//p'
}
run() {
  ansible-playbook -i "$work/inventory" "$example/playbook.yml" \
    -e "tessaline_cli=$cli" -e "tessaline_fleet_files=$work/fleet" \
    -e "tessaline_fleet_dir=$work/till" >"$work/run.out" 2>&1 || {
    cat "$work/run.out"
    echo "ansible-playbook failed"
    exit 1
  }
  cat "$work/run.out"
}

run
grep -q "localhost *: ok=[0-9]* *changed=2 .*failed=0" "$work/run.out" ||
  { echo "the first run did not report the copy and the store as changed"; exit 1; }
grep -q "Till 1: stored A1 (1 NV write" "$work/run.out" ||
  { echo "the first run did not store A1"; exit 1; }
# The job runs once the printer's connection closed.
for _ in $(seq 50); do [ "$(writes)" = 1 ] && break; sleep 0.1; done
[ "$(writes)" = 1 ] || { echo "the printer counted $(writes) NV writes, not 1"; exit 1; }

run
grep -q "localhost *: ok=[0-9]* *changed=0 .*failed=0" "$work/run.out" ||
  { echo "the second run reported a change"; exit 1; }
grep -q "Till 1: unchanged" "$work/run.out" || { echo "the second run did not say unchanged"; exit 1; }
sleep 0.3
[ "$(writes)" = 1 ] || { echo "the second run wrote: $(writes) NV writes today"; exit 1; }
echo "the Ansible example stored the logo once, then changed nothing"
