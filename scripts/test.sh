#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Tessaline with the default preset and runs every test.
# Usage: scripts/test.sh [PRESET]   (default or asan)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-default}"
./scripts/install-deps.sh
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
ctest --preset "$preset" -j "$(nproc)"
