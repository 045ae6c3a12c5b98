#!/bin/sh
# The area tests under ThreadSanitizer, in their own build folder (slow; not part of the CTest run):
# the linked-group refresh racing the background scan, and the other scan tests.
#   scripts/tsan.sh [GTEST_FILTER]      (default: RefreshDuringScan.*:ScanTest.*)
set -eu
cd "$(dirname "$0")/.."
filter=${1:-'RefreshDuringScan.*:ScanTest.*'}
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMAR_BUILD_TESTS=ON \
    -DCMAKE_CXX_FLAGS=-fsanitize=thread -DCMAKE_EXE_LINKER_FLAGS=-fsanitize=thread \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache) >/dev/null
cmake --build build-tsan -j2 --target tests_areas
TSAN_OPTIONS="halt_on_error=1 exitcode=66 ${TSAN_OPTIONS:-}" ./build-tsan/tests/tests_areas --gtest_filter="$filter"
