#!/usr/bin/env bash
# Builds the reader fuzzers with clang (AddressSanitizer and UndefinedBehaviorSanitizer on) and runs
# each for SECONDS (default 60). Inputs that crash, or take longer than 3 s (a reader that hangs,
# often in a seek), are written beside the kept corpus; copy the ones worth keeping into corpus/ so
# the replay test runs them in CI.
set -euo pipefail
seconds="${1:-60}"
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../../.." && pwd)"
build="${FUZZ_BUILD_DIR:-$root/build-fuzz}"
# Every library gets coverage counters so the fuzzers can see inside the readers, not just the entries.
# The same configuration as the other fuzz scripts, so they share one build.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_BENCH=OFF \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
cmake --build "$build" --target fuzz_factory fuzz_id3 -j2
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
for fuzzer in fuzz_factory fuzz_id3; do
  mkdir -p "$work/$fuzzer"
  cp "$here"/corpus/* "$work/$fuzzer/" 2>/dev/null || true
  QUILLON_ROOT="$work" "$build/fuzz/$fuzzer" "$work/$fuzzer" -max_total_time="$seconds" -max_len=65536 \
    -rss_limit_mb=1024 -timeout=3 -artifact_prefix="$here/" -print_final_stats=1
done
