#!/usr/bin/env bash
# Sets up what is missing, builds Pelmar with its tests and runs the whole suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DPELMAR_BUILD_TESTS=ON
cd "${PELMAR_BUILD_DIR:-$root/build}"
ctest --output-on-failure --parallel "$(nproc)" --timeout 600
