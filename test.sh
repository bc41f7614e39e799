#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test headless, then the unit tests in a Release build.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build-test -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DPEMBERLY_TESTS=ON -DPEMBERLY_BENCH=ON -DPEMBERLY_SANITIZE=ON
cmake --build build-test
export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
ctest --test-dir build-test --output-on-failure -j "$(nproc)" "$@"
# The unit tests again, optimised and without the sanitizers: what only an
# optimised build or the plain allocator shows. The play and the soak ran above.
cmake -S . -B build-release-test -G Ninja -DCMAKE_BUILD_TYPE=Release -DPEMBERLY_TESTS=ON
cmake --build build-release-test
ctest --test-dir build-release-test --output-on-failure -j "$(nproc)" -E '^(EndToEnd\.|soak_)' "$@"
# Every fuzz target briefly on its seeds, in its own clang build (build-fuzz/),
# when the whole suite runs.
if [ $# -eq 0 ]; then
  tools/fuzz.sh --smoke -j "$(nproc)"
fi
