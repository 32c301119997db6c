#!/usr/bin/env bash
# Installs everything, builds, and runs the whole test suite twice: a normal build, then a build
# under AddressSanitizer and UndefinedBehaviorSanitizer; then runs every fuzzer for a bounded time and
# checks the code's layout. Every build treats a compiler warning as an error. Exits non-zero on the
# first failure.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh --with-tests
jobs="$(nproc)"

# Every include of ours points down the folders (os, core, lang, skin, audio, telephony, document,
# screens, app, tools).
python3 tools/check-includes.py

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=ON -DQUILLON_BENCH=ON \
  -DQUILLON_WERROR=ON >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure --no-tests=error -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQUILLON_SANITIZE=ON -DQUILLON_TESTS=ON -DQUILLON_BENCH=OFF \
  -DQUILLON_WERROR=ON >/dev/null
cmake --build build-sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions="$PWD/tests/lsan.supp":print_suppressions=0 \
  ctest --test-dir build-sanitize --output-on-failure --no-tests=error -j"$jobs"

# Each fuzzer (clang, libFuzzer) over a copy of its kept corpus for QUILLON_FUZZ_SECONDS (30) each.
QUILLON_WERROR=ON ./tools/fuzz.sh --seconds "${QUILLON_FUZZ_SECONDS:-30}"

./tools/format.sh --check
