#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the test-time clients from npm into DIR (default build/npm): the
# POS library whose Star encoders make the receipts the Star virtual printers
# are tested with. Nothing of it ships; only the tests run it.
# Safe to run again: an installed client is left as it is.
set -euo pipefail
dir="${1:-$(dirname "$0")/../build/npm}"
package="@point-of-sale/receipt-printer-encoder"
version="4.0.1"
if [ -f "$dir/node_modules/$package/package.json" ] &&
   grep -q "\"version\": \"$version\"" "$dir/node_modules/$package/package.json"; then
  exit 0
fi
if ! command -v npm >/dev/null; then
  run=""
  [ "$(id -u)" -eq 0 ] || run="sudo"
  $run apt-get install -y npm >&2
fi
mkdir -p "$dir"
npm install --prefix "$dir" --no-save --no-audit --no-fund "$package@$version" >&2
