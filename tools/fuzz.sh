#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs
# each for a given time. See docs/fuzzing.md.
#
#   tools/fuzz.sh [-t SECONDS] [-j PARALLEL] [--smoke] [--no-build] [TARGET...]
#
# -t        seconds per target (default 600)
# -j        targets run at once (default 2), each under nice -n 10
# --smoke   a short run (5 s unless -t) on the seeds alone, in a fresh corpus:
#           what ./test.sh does
# TARGET    names from fuzz/CMakeLists.txt (default: all)
#
# Long runs keep their corpus in build-fuzz/corpus/<target> (it grows from
# run to run); crashes, leaks, timeouts and out-of-memory inputs land in
# build-fuzz/artifacts/<target>/, logs in build-fuzz/logs/. The exit status
# is 1 when any target found something.
set -euo pipefail
# The whole script is one function, read before it runs: editing this file
# while a campaign runs cannot break the run.
main() {
cd "$(dirname "$0")/.."
root=$PWD
build=$root/build-fuzz
seconds=600
parallel=2
smoke=0
do_build=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) seconds=$2; shift 2 ;;
    -j) parallel=$2; shift 2 ;;
    --smoke) smoke=1; shift ;;
    --no-build) do_build=0; shift ;;
    -h|--help) sed -n '2,19p' "$0"; exit 0 ;;
    -*) echo "unknown option $1" >&2; exit 2 ;;
    *) targets+=("$1"); shift ;;
  esac
done
if [ $smoke -eq 1 ] && [ $seconds -eq 600 ]; then seconds=5; fi

if [ $do_build -eq 1 ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DPEMBERLY_FUZZ=ON >/dev/null
  cmake --build "$build" --target pemberly_fuzz
fi
[ ${#targets[@]} -eq 0 ] && mapfile -t targets < <(grep -v '^$' "$build/fuzz-targets.txt")

export SDL_VIDEODRIVER=offscreen SDL_AUDIODRIVER=dummy
# Each target process copies the game folder and writes files for every
# input: memory is faster, and syncs there cost nothing.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p "$build/logs"
scratch=""
if [ $smoke -eq 1 ]; then
  scratch=$(mktemp -d)
  trap 'rm -rf "$scratch"' EXIT
fi

# Runs one target; its log ends with libFuzzer's final statistics.
run_one() {
  local name=$1
  local exe=$build/fuzz/fuzz_$name seeds=$build/fuzz-seeds/$name
  local corpus=$build/corpus/$name artifacts=$build/artifacts/$name
  local log=$build/logs/$name.log
  if [ $smoke -eq 1 ]; then
    corpus=$scratch/corpus-$name
    artifacts=$scratch/artifacts-$name
    log=$build/logs/$name.smoke.log
  fi
  mkdir -p "$corpus" "$artifacts"
  local dict=()
  [ -f "$root/fuzz/dicts/$name.dict" ] && dict=(-dict="$root/fuzz/dicts/$name.dict")
  local status=0
  nice -n 10 "$exe" "${dict[@]}" -max_total_time="$seconds" -timeout=25 -rss_limit_mb=2560 \
    -malloc_limit_mb=2048 -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" \
    "$corpus" "$seeds" >"$log" 2>&1 || status=$?
  local runs
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  if [ $status -eq 0 ]; then
    echo "fuzz_$name: ok, ${runs:-?} executions in ${seconds} s"
  else
    echo "fuzz_$name: FAILED (status $status, ${runs:-?} executions); see $log and $artifacts"
    grep -E "^==[0-9]+==ERROR|^SUMMARY|invariant broken|ALARM|out-of-memory" "$log" | head -5 || true
  fi
  echo $status >"$status_dir/$name"
}

status_dir=$(mktemp -d)
failed=0
for name in "${targets[@]}"; do
  if [ ! -x "$build/fuzz/fuzz_$name" ]; then
    echo "fuzz_$name: no such target" >&2
    failed=1
    continue
  fi
  run_one "$name" &
  # Keep at most $parallel running.
  while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do wait -n || true; done
done
wait
passed=0
for name in "${targets[@]}"; do
  if [ "$(cat "$status_dir/$name" 2>/dev/null)" = 0 ]; then passed=$((passed + 1)); else failed=1; fi
done
rm -rf "$status_dir"
echo "fuzz: $passed passed, $((${#targets[@]} - passed)) failed"
exit $failed
}
main "$@"
exit
