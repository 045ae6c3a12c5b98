#!/bin/sh
# A real fuzzing session of one target:  tests/fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is one of: msg squish jam hudson registry dates_addresses uudecode quote rtf addrbook
# nodelist templates render charset drafts plugins import_config fastecho.
# Builds the target with clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer in
# $PELMAR_FUZZ_DIR (default /tmp/pelmar-fuzz), fuzzes a working copy of the committed corpus at the
# lowest priority, and saves every crashing input to tests/fuzz/corpus/TARGET/ as crash-<sha1>
# (timeouts and out-of-memory inputs likewise as timeout-/oom-<sha1>). The log of the session, with
# the executions done, goes to $PELMAR_FUZZ_DIR/logs/.
# With PELMAR_FUZZ_MERGE=1 the inputs that found new coverage are merged into the committed corpus.
set -eu

if [ $# -lt 2 ]; then
  echo "usage: $0 TARGET SECONDS [libFuzzer options...]" >&2
  exit 1
fi
target=$1
seconds=$2
shift 2

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${PELMAR_FUZZ_DIR:-/tmp/pelmar-fuzz}
corpus="$here/corpus/$target"

case "$target" in
  import_config) max_len=16384 ;;
  fastecho) max_len=65536 ;;
  msg) max_len=16384 ;;
  squish|jam|hudson) max_len=65536 ;;
  registry) max_len=8192 ;;
  dates_addresses) max_len=128 ;;
  uudecode|quote) max_len=65536 ;;
  rtf) max_len=16384 ;;
  addrbook) max_len=4096 ;;
  nodelist) max_len=16384 ;;
  templates|render|charset|drafts|plugins) max_len=16384 ;;
  *) echo "unknown target: $target" >&2; exit 1 ;;
esac

sanitize="-fsanitize=address,undefined -fno-sanitize-recover=undefined -fsanitize=fuzzer-no-link"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="$sanitize -O1 -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DPELMAR_FUZZ=ON -DPELMAR_BUILD_TESTS=ON \
    $(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
nice -n 19 cmake --build "$build" --target "fuzz_$target" -j1

mkdir -p "$corpus" "$build/work/$target" "$build/logs"
cp -n "$corpus"/* "$build/work/$target/" 2>/dev/null || true
log="$build/logs/$target-$(date -u +%Y%m%dT%H%M%S).log"
echo "fuzzing $target for $seconds s; log: $log"

status=0
nice -n 19 "$build/tests/fuzz/fuzz_$target" "$build/work/$target" \
  -max_total_time="$seconds" -max_len="$max_len" -timeout=20 -rss_limit_mb=2048 -malloc_limit_mb=1024 \
  -artifact_prefix="$corpus/" -print_final_stats=1 "$@" >"$log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::new_units_added|stat::peak_rss_mb)|^#[0-9]+ *DONE|ERROR|SUMMARY' "$log" || true

if [ "${PELMAR_FUZZ_MERGE:-0}" = 1 ]; then
  nice -n 19 "$build/tests/fuzz/fuzz_$target" -merge=1 -max_len="$max_len" -timeout=20 "$corpus" "$build/work/$target" \
    >>"$log" 2>&1 || true
fi
exit $status
