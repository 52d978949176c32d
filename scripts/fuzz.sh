#!/usr/bin/env bash
# Builds the libFuzzer targets of the portable core (fuzz/, clang with ASan and UBSan) in build/fuzz
# and runs each of them in turn:
#
#   scripts/fuzz.sh [seconds-per-target]   every target for that many seconds (default 60)
#   scripts/fuzz.sh --smoke                every target for 3 seconds, about 5 with start-up (./test.sh)
#
# Each target starts from its seed corpus, fuzz/corpus/<target>/, copied into
# build/fuzz/corpus-work/<target>/, where what a run finds is kept for the next one (remove that
# folder to start afresh); the seeds themselves are never changed. Crash inputs and logs go to
# build/fuzz/findings/<target>/. Prints per target the executions and whether it found anything;
# the exit code is 0 only when the build succeeded and no target failed.
set -uo pipefail

cd "$(dirname "$(readlink -f "$0")")/.." || exit 1
root=$PWD
exec </dev/null

usage() {
  sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'
  exit "${1:-2}"
}

seconds=60
case $# in
  0) ;;
  1)
    case $1 in
      --smoke) seconds=3 ;;
      -h | --help) usage 0 ;;
      *[!0-9]* | '') usage ;;
      *) seconds=$1 ;;
    esac
    ;;
  *) usage ;;
esac
[ "$seconds" -ge 1 ] || usage

build=$root/build/fuzz
work=$build/corpus-work
findings=$build/findings
started=$SECONDS

command -v clang++ >/dev/null || {
  echo "fuzz.sh: clang++ is not installed (Debian: clang libclang-rt-14-dev)" >&2
  exit 1
}

mkdir -p "$build"
echo "== building $build"
if ! cmake -S "$root/fuzz" -B "$build" -DCMAKE_CXX_COMPILER=clang++ >"$build/configure.log" 2>&1; then
  tail -n 40 "$build/configure.log"
  echo "fuzz.sh: configure failed ($build/configure.log)" >&2
  exit 1
fi
if ! cmake --build "$build" -j 2 >"$build/build.log" 2>&1; then
  tail -n 60 "$build/build.log"
  echo "fuzz.sh: build failed ($build/build.log)" >&2
  exit 1
fi
echo "built in $((SECONDS - started)) s; $seconds s per target"

# The sanitizers report and stop; libFuzzer turns that into a crash input.
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

mapfile -t targets <"$build/fuzz-targets.txt"
failed=0
ran=0
for target in "${targets[@]}"; do
  [ -n "$target" ] || continue
  corpus=$work/$target
  out=$findings/$target
  mkdir -p "$corpus" "$out"
  cp -n "$root/fuzz/corpus/$target"/* "$corpus"/ 2>/dev/null || true
  log=$out/run.log
  printf '%-26s ' "$target"
  rc=0
  # One job, one worker: the machines that run this have two cores and other work to do.
  "$build/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
    -use_value_profile=1 -print_final_stats=1 -artifact_prefix="$out/" "$corpus" >"$log" 2>&1 || rc=$?
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  [ -n "$execs" ] || execs=$(grep -oE '^#[0-9]+' "$log" | tail -n 1 | tr -d '#')
  if [ $rc -eq 0 ]; then
    line=$(printf '%12s executions, nothing found' "${execs:-?}")
  else
    failed=$((failed + 1))
    artifact=$(grep -oE 'Test unit written to [^ ]+' "$log" | tail -n 1 | sed 's/Test unit written to //')
    line=$(printf '%12s executions, FAILED (exit %d): %s' "${execs:-?}" "$rc" "${artifact:-see $log}")
  fi
  echo "$line"
  ran=$((ran + 1))
  if [ $rc -ne 0 ]; then
    grep -m 1 -A 4 -E 'property violated|runtime error|ERROR: (AddressSanitizer|libFuzzer)' "$log" | sed 's/^/    /'
    [ -n "${artifact:-}" ] && echo "    reproduce: $build/$target $artifact"
  fi
done

echo "== fuzzing done in $((SECONDS - started)) s: $ran targets, $failed failed"
[ $failed -eq 0 ]
