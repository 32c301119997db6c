#!/usr/bin/env bash
# Builds the vCard fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and runs it
# over the kept corpus, adding what it finds: tests/telephony/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${QUILLON_FUZZ_BUILD:-$root/build-fuzz}"
# Everything is instrumented for coverage, so the fuzzer sees inside the reader too.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DQUILLON_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target vcard_fuzzer -j2
"$build/tests/vcard_fuzzer" -max_total_time="${1:-60}" -max_len=16384 -timeout=5 -rss_limit_mb=2048 \
  -artifact_prefix="$build/" "$here/corpus"
