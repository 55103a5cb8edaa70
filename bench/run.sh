#!/usr/bin/env bash
# Builds the benchmarks (Release, no sanitizers) and runs them under Xvfb with Mesa's software
# renderer. Extra arguments go to both programs, e.g. --benchmark_filter=LevelUpdate.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh --tests
./scripts/setup.sh --bench
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DQUARROW_BENCH=ON -DQUARROW_TESTS=ON >/dev/null
cmake --build build-bench -j"$(nproc)" --target quarrow quarrow_data bench_game bench_startup
export SDL_AUDIODRIVER=dummy SDL_VIDEODRIVER=x11 LIBGL_ALWAYS_SOFTWARE=1
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build-bench/bench/bench_game "$@"
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" build-bench/bench/bench_startup "$@"
