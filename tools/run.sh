#!/usr/bin/env bash
# Installs what the program needs, builds it and starts quillon-touch with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
# Only the programs and their data: a first start need not wait for the tests and benchmarks.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_TESTS=OFF -DQUILLON_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/quillon-touch "$@"
