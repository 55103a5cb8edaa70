#!/usr/bin/env bash
# Sets up what is missing, builds the game and starts it in its working folder.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DQUARROW_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
cd build/data
exec ../quarrow
