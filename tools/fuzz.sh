#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, ASan + UBSan) into build-fuzz/ and runs
# each for a given time. See docs/fuzzing.md.
#
#   tools/fuzz.sh [-t SECONDS] [-j PARALLEL] [-B DIR] [--fresh] [--smoke] [--no-build] [TARGET...]
#
# -t        seconds per target (default 600)
# -j        targets run at once (default 2), each on one core under nice -n 10
# -B        the build folder (default build-fuzz), so that a campaign can run
#           on binaries that later builds leave alone
# --fresh   start from the seeds alone: the corpus of earlier runs is moved to
#           <build>/corpus.old/
# --smoke   a short run (5 s unless -t) on the seeds alone, in a scratch
#           corpus: what ./test.sh does
# TARGET    names from fuzz/CMakeLists.txt (default: all)
#
# Long runs keep their corpus in <build>/corpus/<target> (it grows from run
# to run); crashes, leaks, timeouts and out-of-memory inputs land in
# <build>/artifacts/<target>/, logs in <build>/logs/. One line per target
# tells its executions, speed, coverage, corpus and findings; the same lines
# go to <build>/logs/summary.txt. The exit status is 1 when any target found
# something.
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
fresh=0
do_build=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -t) seconds=$2; shift 2 ;;
    -j) parallel=$2; shift 2 ;;
    -B) build=$(realpath -m "$2"); shift 2 ;;
    --fresh) fresh=1; shift ;;
    --smoke) smoke=1; shift ;;
    --no-build) do_build=0; shift ;;
    -h|--help) sed -n '2,22p' "$0"; exit 0 ;;
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

# The largest input libFuzzer makes. Layouts are long: the sample one is
# 100 KB, and nesting dialogs deep enough to matter takes more.
max_len_of() {
  case "$1" in
    ui) echo 1048576 ;;
    *) echo 65536 ;;
  esac
}

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
  elif [ $fresh -eq 1 ] && [ -d "$corpus" ]; then
    mkdir -p "$build/corpus.old"
    rm -rf "$build/corpus.old/$name"
    mv "$corpus" "$build/corpus.old/$name"
  fi
  mkdir -p "$corpus" "$artifacts"
  local dict=()
  [ -f "$root/fuzz/dicts/$name.dict" ] && dict=(-dict="$root/fuzz/dicts/$name.dict")
  local status=0 started times
  started=$(mktemp "$artifacts/.started.XXXXXX")
  times=$(mktemp)
  # One process per corpus: nothing to reload from other workers.
  { TIMEFORMAT='%U %S'; time nice -n 10 "$exe" "${dict[@]}" -max_total_time="$seconds" -timeout=25 \
      -rss_limit_mb=2560 -malloc_limit_mb=2048 -max_len="$(max_len_of "$name")" -reload=0 \
      -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" "$seeds" >"$log" 2>&1 || status=$?; } 2>"$times"
  local runs rate cpu cov ft files size found
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
  cpu=$(awk '{ print $1 + $2 }' "$times")
  cov=$(grep -Eo 'cov: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  ft=$(grep -Eo 'ft: [0-9]+' "$log" | tail -1 | cut -d' ' -f2)
  files=$(find "$corpus" -type f | wc -l)
  size=$(du -sh "$corpus" | cut -f1)
  found=$(find "$artifacts" -type f -newer "$started" ! -name '.started.*' | wc -l)
  rm -f "$started" "$times"
  # The machine may be shared: executions per second of the target's own
  # CPU time tell its speed on one core.
  local per_cpu
  per_cpu=$(awk -v r="${runs:-0}" -v c="${cpu:-0}" 'BEGIN { if (c > 0 && r > 0) printf "%d", r / c; else print "?" }')
  local line="fuzz_$name: ${runs:-?} runs in ${seconds} s, ${rate:-?} exec/s (${per_cpu} per CPU second)"
  line+=", cov ${cov:-?} ft ${ft:-?}, corpus $files files ($size), findings $found"
  if [ $status -eq 0 ]; then
    echo "$line: ok"
  else
    echo "$line: FAILED (status $status); see $log and $artifacts"
    grep -E "^==[0-9]+==ERROR|^SUMMARY|invariant broken|ALARM|out-of-memory" "$log" | head -5 || true
  fi
  [ $smoke -eq 1 ] || echo "$line" >>"$summary"
  echo $status >"$status_dir/$name"
}

status_dir=$(mktemp -d)
summary=$build/logs/summary.txt
[ $smoke -eq 1 ] || echo "# $(date -u '+%Y-%m-%d %H:%M UTC'), $seconds s per target, $parallel at once" >>"$summary"
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
