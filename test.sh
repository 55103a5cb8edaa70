#!/usr/bin/env bash
# Sets up what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer,
# and runs every test headless under one Xvfb display.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/setup.sh --tests
cmake -S . -B build-test -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARROW_SANITIZE=ON -DQUARROW_TESTS=ON >/dev/null
cmake --build build-test -j"$(nproc)"

export SDL_AUDIODRIVER=dummy
export SDL_VIDEODRIVER=x11
# Nothing a test does may touch the real per-user folder.
XDG_DATA_HOME=$(mktemp -d /tmp/quarrow-test-xdg-XXXXXX)
export XDG_DATA_HOME
trap 'rm -rf "$XDG_DATA_HOME"' EXIT
# The compiler's sanitizer runtime can mistake a dynamic TLS block of a shared library for an old
# glibc layout and read a wild range from it; LeakSanitizer's tracer then dies at exit after a
# passing test ("Tracer caught signal 11"). Not watching __tls_get_addr avoids that misreading.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tests/lsan.supp:print_suppressions=0
# The software GL driver renders in the calling thread and keeps no shader cache: no worker
# threads come and go around LeakSanitizer's stop-the-world at exit (its tracer crashed now and
# then), eight tests at once do not each start a thread per core, and nothing is written to the
# real ~/.cache.
export LP_NUM_THREADS=0
export MESA_SHADER_CACHE_DISABLE=true
cd build-test
xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" ctest --output-on-failure -j"$(nproc)" "$@"
