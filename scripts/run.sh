#!/usr/bin/env bash
# Sets up what is missing, builds Pelmar and starts it; extra arguments go to pelmar.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh" -DPELMAR_BUILD_TESTS=OFF
exec "${PELMAR_BUILD_DIR:-$root/build}/pelmar" "$@"
