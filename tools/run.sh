#!/usr/bin/env bash
# Installs what the program needs, builds it and starts quillon-touch with the given arguments.
set -euo pipefail
cd "$(dirname "$0")/.."
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
exec build/bin/quillon-touch "$@"
