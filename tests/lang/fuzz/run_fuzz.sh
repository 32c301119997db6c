#!/usr/bin/env bash
# Builds the key-value fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and
# runs it over the kept corpus, adding what it finds: tests/lang/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
exec "$(dirname "$0")/../../../tools/fuzz.sh" --grow --seconds "${1:-60}" key_value_fuzzer
