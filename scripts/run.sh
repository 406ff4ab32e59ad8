#!/usr/bin/env bash
# Main job: builds the library and prints its version.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLMAR_BUILD_TESTS=OFF >/dev/null
cmake --build build/release -j "$(nproc)" >/dev/null
echo "built build/release/QuillmarPST.so"
