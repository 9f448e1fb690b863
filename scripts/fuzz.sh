#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan+UBSan) in build-fuzz/ and runs
# each for SECONDS (default 60). Every run starts from the seeds and earlier
# finds in fuzz/corpus/<target>/, which are first replayed as regression
# cases; new inputs go to a scratch folder, never into the tree. A crash leaves
# its input in build-fuzz/findings/: add it to the target's corpus folder once
# the fault is mended.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
seconds=${1:-60}
shift || true

build="$root/build-fuzz"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DVORNAK_FUZZ=ON -DVORNAK_BUILD_GUI=OFF >/dev/null
targets=("$@")
if ((${#targets[@]} == 0)); then
  mapfile -t targets < <(sed -n 's/^vornak_fuzz_target(\([a-z_0-9]*\).*/\1/p' fuzz/CMakeLists.txt)
fi
cmake --build "$build" -j "$(nproc)" --target "${targets[@]}"

mkdir -p "$build/findings"
scratch=$(mktemp -d /tmp/vornak-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
for t in "${targets[@]}"; do
  corpus="$root/fuzz/corpus/$t"
  echo "== $t: ${seconds}s"
  mkdir -p "$scratch/$t"
  "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
    -artifact_prefix="$build/findings/$t-" "$scratch/$t" "$corpus" 2>"$scratch/$t.log" || {
    tail -n 60 "$scratch/$t.log"
    echo "fuzz target $t failed; its input is in $build/findings/" >&2
    exit 1
  }
  grep -E '^#[0-9]+.*DONE' "$scratch/$t.log" | tail -n 1 || true
done
echo "fuzzing: ${#targets[@]} targets, no findings"
