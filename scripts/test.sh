#!/usr/bin/env bash
# Installs what is missing, checks that includes go down the README's layer
# table (scripts/check-layers.sh), builds everything and runs every test; then builds
# the core (no Qt) under AddressSanitizer+UBSan and under ThreadSanitizer, each
# in a build folder of its own, and runs its tests there; runs every fuzz
# target for a short while (scripts/fuzz.sh, clang); last, builds the Debian
# package from the full build, installs it and checks it
# (scripts/package-test.sh). Tests that need PostgreSQL start a throwaway
# server of their own (scripts/with-postgres.sh, run by ctest).
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh

echo "== includes go down the layer table"
./scripts/check-layers.sh

jobs=$(nproc)

build_and_test() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 600
}

echo "== full build and tests"
build_and_test build

echo "== core under AddressSanitizer + UBSan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  build_and_test build-asan -DVORNAK_BUILD_GUI=OFF -DVORNAK_SANITIZE=address

echo "== core under ThreadSanitizer"
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  build_and_test build-tsan -DVORNAK_BUILD_GUI=OFF -DVORNAK_SANITIZE=thread

echo "== fuzz targets, ${VORNAK_FUZZ_SECONDS:-20} s each"
./scripts/fuzz.sh "${VORNAK_FUZZ_SECONDS:-20}"

echo "== Debian package"
./scripts/package-test.sh build
