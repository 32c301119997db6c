#!/usr/bin/env bash
# Builds the key-value fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and
# runs it over the kept corpus, adding what it finds: tests/lang/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${QUILLON_FUZZ_BUILD:-$root/build-fuzz}"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQUILLON_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target key_value_fuzzer -j2
"$build/tests/key_value_fuzzer" -max_total_time="${1:-60}" -max_len=4096 -timeout=10 \
  -artifact_prefix="$build/" "$here/corpus"
