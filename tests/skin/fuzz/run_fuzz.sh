#!/usr/bin/env bash
# Builds the skin fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and runs it
# over the kept corpus, adding what it finds: tests/skin/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${QUILLON_FUZZ_BUILD:-$root/build-fuzz}"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQUILLON_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target skin_fuzzer -j2
"$build/tests/skin_fuzzer" -max_total_time="${1:-60}" -max_len=4096 -timeout=10 "$here/corpus"
