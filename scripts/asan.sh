#!/bin/sh
# The whole test suite under AddressSanitizer, UndefinedBehaviorSanitizer and LeakSanitizer, in its
# own build folder (build-asan; slow, not part of CI). Arguments go to ctest:
#   scripts/asan.sh                    every test
#   scripts/asan.sh -R Jam              the tests whose names hold "Jam"
# Every process the tests start (pelmar, pelmar-tool) inherits the options. Address and leak reports
# go to build-asan/sanitizer-logs/ (the run fails on any, even one a test took for an ordinary failure
# of its child); undefined behaviour ends the process with status 68 and is printed to its stderr, which
# the run looks for in the tests' log. Leaks of other libraries that they keep
# for the process are suppressed in scripts/asan-leaks.supp; our code is never suppressed.
set -eu
cd "$(dirname "$0")/.."
root=$(pwd)
build="$root/build-asan"
flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPELMAR_BUILD_TESTS=ON \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g -DNDEBUG" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined" \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache) \
    >/dev/null
cmake --build "$build" -j"${PELMAR_ASAN_JOBS:-2}"

logs="$build/sanitizer-logs"
rm -rf "$logs"
mkdir -p "$logs"
ASAN_OPTIONS="detect_leaks=1:halt_on_error=1:abort_on_error=0:exitcode=67:check_initialization_order=1:log_path=$logs/asan:${ASAN_OPTIONS:-}"
LSAN_OPTIONS="suppressions=$root/scripts/asan-leaks.supp:print_suppressions=0:${LSAN_OPTIONS:-}"
UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:exitcode=68:${UBSAN_OPTIONS:-}"
export ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS

status=0
ctest --test-dir "$build" -j"${PELMAR_ASAN_JOBS:-2}" --output-on-failure "$@" || status=$?
if grep -q 'runtime error:' "$build/Testing/Temporary/LastTest.log" 2>/dev/null; then
  grep -B2 -A12 'runtime error:' "$build/Testing/Temporary/LastTest.log"
  echo "undefined behaviour reported (build-asan/Testing/Temporary/LastTest.log)" >&2
  [ $status -ne 0 ] || status=1
fi
if [ -n "$(ls -A "$logs")" ]; then
  for f in "$logs"/*; do
    echo "=== $f"
    cat "$f"
  done
  echo "sanitizer reports: $(ls "$logs" | wc -l) (in $logs)" >&2
  [ $status -ne 0 ] || status=1
fi
exit $status
