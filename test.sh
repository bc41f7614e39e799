#!/usr/bin/env bash
# Builds the test configuration (AddressSanitizer + UndefinedBehaviorSanitizer)
# and runs every test headless, then the unit tests in a Release build and the
# threaded ones under ThreadSanitizer.
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
# The suites that run a second thread or tear down the display's objects, in a
# ThreadSanitizer build of their own (build-tsan/): a data race, or a lock
# used after its object went, fails the run at its first report.
cmake -S . -B build-tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DPEMBERLY_TESTS=ON -DPEMBERLY_TSAN=ON
cmake --build build-tsan --target test_programs
# gcc 12's ThreadSanitizer cannot place its shadow memory where the kernel
# randomises more than 28 bits of addresses ("unexpected memory mapping"): the
# step then runs without address randomisation, and is skipped, saying so,
# where even that is refused.
tsan=()
probe=build-tsan/tests/platform/directx/test_directx
if ! "$probe" --gtest_list_tests >/dev/null 2>build-tsan/probe.log &&
   grep -q "unexpected memory mapping" build-tsan/probe.log; then
  tsan=(setarch "$(uname -m)" -R)
  "${tsan[@]}" "$probe" --gtest_list_tests >/dev/null 2>&1 || tsan=(skip)
fi
if [ "${tsan[0]:-}" = skip ]; then
  echo "test.sh: ThreadSanitizer cannot map its memory on this kernel (vm.mmap_rnd_bits above 28," \
       "address randomisation not to be turned off): its step is skipped" >&2
else
  TSAN_OPTIONS=halt_on_error=1:exitcode=66:second_deadlock_stack=1 \
    "${tsan[@]}" ctest --test-dir build-tsan --output-on-failure -j "$(nproc)" "$@"
fi
# Every fuzz target briefly on its seeds, in its own clang build (build-fuzz/),
# when the whole suite runs.
if [ $# -eq 0 ]; then
  tools/fuzz.sh --smoke -j "$(nproc)"
fi
