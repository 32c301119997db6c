#!/usr/bin/env bash
# Builds every fuzzer with clang (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer) in
# build-fuzz/ and runs each for a bounded time over its kept corpus. Exits non-zero if any input
# crashes, leaks, hangs past the fuzzer's timeout or runs out of memory.
#   tools/fuzz.sh [--seconds N] [--grow] [FUZZER ...]
# --seconds N  time for each fuzzer (default 30)
# --grow       fuzz in the kept corpus itself, so new inputs stay there (review before committing);
#              without it each fuzzer works on a scratch copy and the tree is left as it was
# FUZZER       only these (names as registered with quillon_add_fuzzer; default: all)
# Crashing inputs are written to build-fuzz/artifacts/; copy the ones worth keeping into the corpus
# so the replay tests run them in every build. QUILLON_FUZZ_BUILD names another build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

seconds=30
grow=0
wanted=()
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds="$2"; shift 2 ;;
    --grow) grow=1; shift ;;
    -*) echo "usage: $0 [--seconds N] [--grow] [FUZZER ...]" >&2; exit 2 ;;
    *) wanted+=("$1"); shift ;;
  esac
done

build="${QUILLON_FUZZ_BUILD:-$root/build-fuzz}"
# QUILLON_WERROR=ON (as tools/test.sh sets it) makes a warning an error; unset, the build keeps
# whatever it was configured with.
werror=()
if [ -n "${QUILLON_WERROR:-}" ]; then werror=(-DQUILLON_WERROR="$QUILLON_WERROR"); fi
# Every library gets coverage counters, so the fuzzers see inside the code they drive, not just
# their entry points.
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQUILLON_TESTS=ON -DQUILLON_BENCH=OFF "${werror[@]}" \
  -DCMAKE_C_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" \
  -DCMAKE_CXX_FLAGS="-fsanitize=fuzzer-no-link,address,undefined" >/dev/null
if [ ${#wanted[@]} -eq 0 ]; then
  cmake --build "$build" --target fuzzers -j"$(nproc)"
else
  cmake --build "$build" --target "${wanted[@]}" -j"$(nproc)"
fi

mapfile -t fuzzers < "$build/fuzzers.txt"
if [ ${#fuzzers[@]} -eq 0 ]; then
  echo "$0: no fuzzers registered in $build/fuzzers.txt" >&2
  exit 1
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
artifacts="$build/artifacts"
mkdir -p "$artifacts"
failed=()
ran=0
for line in "${fuzzers[@]}"; do
  IFS='|' read -r name program corpus environment options <<<"$line"
  if [ ${#wanted[@]} -ne 0 ] && ! printf '%s\n' "${wanted[@]}" | grep -qxF "$name"; then continue; fi
  ran=$((ran + 1))
  inputs="$corpus"
  if [ $grow -eq 0 ]; then
    inputs="$work/$name"
    mkdir -p "$inputs"
    cp -r "$corpus"/. "$inputs"/
  fi
  # Whatever the code under test writes lands in a scratch root, never in the user's.
  mkdir -p "$work/root-$name"
  echo "== $name: ${seconds}s over $(find "$corpus" -type f | wc -l) kept inputs"
  started=$SECONDS
  # shellcheck disable=SC2086 # the environment and options are word lists
  if env QUILLON_ROOT="$work/root-$name" LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
       $environment "$program" "$inputs" -max_total_time="$seconds" \
       -print_final_stats=1 -artifact_prefix="$artifacts/$name-" $options > "$work/$name.log" 2>&1; then
    grep -E '^(#[0-9]+\s+DONE|stat::number_of_executed_units)' "$work/$name.log" || true
    echo "== $name: passed in $((SECONDS - started))s"
  else
    tail -n 60 "$work/$name.log"
    echo "== $name: FAILED after $((SECONDS - started))s (inputs in $artifacts/)"
    failed+=("$name")
  fi
done

if [ ${#wanted[@]} -ne 0 ] && [ $ran -ne ${#wanted[@]} ]; then
  echo "$0: some of ${wanted[*]} are not registered fuzzers" >&2
  exit 1
fi
if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzzers that failed: ${failed[*]}" >&2
  exit 1
fi
echo "all $ran fuzzers ran ${seconds}s without a failure"
