#!/bin/sh
# Window soak (not part of CTest): Pelmar on a virtual display (Xvfb, openbox when installed) over copies
# of the fixture areas, driven by seeded random commands from its keys and menus, while pelmar-tool posts,
# marks read and deletes in the same areas; then everything is checked (see gui.py).
#   tests/soak/gui.sh [SECONDS] [--keep DIR] [--seed N]      (default 1800 seconds)
set -eu
cd "$(dirname "$0")/../.."
seconds=${1:-1800}
[ $# -gt 0 ] && shift
build=${PELMAR_BUILD_DIR:-build}
if [ ! -d "$build" ]; then
    cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPELMAR_BUILD_TESTS=ON >/dev/null
fi
cmake --build "$build" -j2 --target pelmar pelmar-tool soak_check
exec python3 tests/soak/gui.py --pelmar "$build/pelmar" --tool "$build/pelmar-tool" \
    --checker "$build/tests/soak/soak_check" --shared "${PELMAR_SHARED_DIR:-$(pwd)/../shared}" \
    --seconds "$seconds" "$@"
