#!/bin/sh
# Soak run (not part of CTest): crashmail tosses packets into a JAM and a *.MSG area in a loop while
# pelmar-tool posts, marks read and deletes in the same areas; then everything is checked.
#   tests/soak/run.sh [SECONDS] [--keep DIR] [--seed N]      (default 180 seconds)
set -eu
cd "$(dirname "$0")/../.."
seconds=${1:-180}
[ $# -gt 0 ] && shift
build=${PELMAR_BUILD_DIR:-build}
if [ ! -d "$build" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMAR_BUILD_TESTS=ON >/dev/null
fi
cmake --build "$build" -j2 --target pelmar-tool soak_check
exec python3 tests/soak/soak.py --tool "$build/pelmar-tool" --checker "$build/tests/soak/soak_check" \
    --shared "${PELMAR_SHARED_DIR:-$(pwd)/../shared}" --seconds "$seconds" "$@"
