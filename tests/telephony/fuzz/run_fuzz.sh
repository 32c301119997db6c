#!/usr/bin/env bash
# Builds the vCard fuzzer with clang (libFuzzer, AddressSanitizer, UBSan) in build-fuzz/ and runs it
# over the kept corpus, adding what it finds: tests/telephony/fuzz/run_fuzz.sh [SECONDS]
set -euo pipefail
exec "$(dirname "$0")/../../../tools/fuzz.sh" --grow --seconds "${1:-60}" vcard_fuzzer
