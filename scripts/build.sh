#!/usr/bin/env bash
# Configures and builds Pelmar (Release) into build/ (or $PELMAR_BUILD_DIR).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PELMAR_BUILD_DIR:-$root/build}"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@"
cmake --build "$build" --parallel "$(nproc)"
