#!/usr/bin/env bash
# Builds the skin fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and runs it
# over the kept corpus, adding what it finds: tests/skin/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${QUILLON_FUZZ_BUILD:-$root/build-fuzz}"
# Everything is instrumented for coverage, so the fuzzer sees inside the skin library too.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQUILLON_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target skin_fuzzer -j2
# fontconfig keeps its configuration for the whole process, which LeakSanitizer reports as a leak.
ASAN_OPTIONS=detect_leaks=0 "$build/tests/skin_fuzzer" -max_total_time="${1:-60}" -max_len=4096 -timeout=10 -detect_leaks=0 \
  -artifact_prefix="$build/" "$here/corpus"
