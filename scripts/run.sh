#!/usr/bin/env bash
# Builds Tessaline and runs its main job. Extra arguments go to the program.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default --target tessaline-sample
exec ./build/default/samples/tessaline-sample "$@"
