#!/bin/sh
# A real fuzzing session of one target:  tests/fuzz/run.sh TARGET SECONDS [libFuzzer options...]
# TARGET is one of: msg squish jam hudson registry dates_addresses uudecode quote rtf.
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
  msg) max_len=16384 ;;
  squish|jam|hudson) max_len=65536 ;;
  registry) max_len=8192 ;;
  dates_addresses) max_len=128 ;;
