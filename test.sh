#!/usr/bin/env bash
# Builds and tests everything, on a fresh Debian 12 as root:
#   1. scripts/install-deps.sh
#   2. build/native: the portable core and its unit tests (host g++, AddressSanitizer and UBSan),
#      then a short smoke of every fuzz target (scripts/fuzz.sh --smoke)
#   3. build/x64:    the 64-bit Windows twin; its tests run under wine64 in a private Wine session
#                    (scripts/wine-harness.sh), which is stopped again whatever happens
#   4. build/i686:   the shipped 32-bit Quorvane.exe (Release) and the checks of its PE file
#
# Every stage runs even when an earlier one failed; the exit code is 0 only when all passed.
# QUORVANE_TEST_FILTER, when set, is passed to every ctest as -R (a regular expression).
# Build logs go to build/logs/; a failed step prints the end of its log.
set -uo pipefail

cd "$(dirname "$(readlink -f "$0")")" || exit 1
root=$PWD
exec </dev/null
export DEBIAN_FRONTEND=noninteractive
jobs=$(nproc 2>/dev/null || echo 2)
logs=$root/build/logs
mkdir -p "$logs"

ctest_args=(--output-on-failure --timeout 600)
if [ -n "${QUORVANE_TEST_FILTER:-}" ]; then
  ctest_args+=(-R "$QUORVANE_TEST_FILTER" --no-tests=ignore)
else
  ctest_args+=(--no-tests=error)
fi

declare -a summary=()
failed_stages=0
tests_passed=0
tests_failed=0
started=$SECONDS

say() { printf '\n== %s\n' "$*"; }

# Runs a command with its output in a log file; prints the log's end when it fails.
logged() {
  local log=$1 rc=0
  shift
  "$@" >"$log" 2>&1 || rc=$?
  [ $rc -ne 0 ] || return 0
  echo "failed ($rc): $*"
  echo "--- last lines of $log:"
  tail -n 60 "$log"
  echo "---"
  return $rc
}

# Runs ctest in build folder $1 and adds its counts to the totals.
run_ctest() {
  local dir=$1 log=$logs/$2-ctest.log rc line total failed
  (cd "$dir" && ctest "${ctest_args[@]}") 2>&1 | tee "$log"
  rc=${PIPESTATUS[0]}
  line=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
    failed=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    tests_passed=$((tests_passed + total - failed))
    tests_failed=$((tests_failed + failed))
    last_counts="$((total - failed)) passed, $failed failed"
  else
    last_counts="no test results"
  fi
  return "$rc"
}

stage_done() {
  local name=$1 result=$2 t0=$3
  summary+=("$(printf '%-8s %s (%d s)' "$name" "$result" $((SECONDS - t0)))")
  case $result in
    passed*) ;;
    *) failed_stages=$((failed_stages + 1)) ;;
  esac
}

configure() {
  local dir=$1 name=$2
  shift 2
  logged "$logs/$name-configure.log" cmake -S "$root" -B "$dir" "$@"
}

build() {
  local dir=$1 name=$2
  logged "$logs/$name-build.log" cmake --build "$dir" -j "$jobs"
}

# --- 1. packages ----------------------------------------------------------------------------------
say "dependencies"
t0=$SECONDS
if ! scripts/install-deps.sh; then
  echo "scripts/install-deps.sh failed; nothing was built"
  exit 1
fi

# --- 2. native ------------------------------------------------------------------------------------
say "native build (g++, AddressSanitizer + UBSan)"
t0=$SECONDS
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
if ! configure build/native native -DCMAKE_BUILD_TYPE=Debug -DQUORVANE_SANITIZE=ON; then
  stage_done native "FAILED: configure" "$t0"
elif ! build build/native native; then
  stage_done native "FAILED: build" "$t0"
elif ! run_ctest build/native native; then
  stage_done native "FAILED: tests ($last_counts)" "$t0"
else
  stage_done native "passed ($last_counts)" "$t0"
fi

# --- 2b. fuzzing smoke -----------------------------------------------------------------------------
say "fuzzing smoke (libFuzzer, clang, AddressSanitizer + UBSan, a few seconds a target)"
t0=$SECONDS
if logged "$logs/fuzz-smoke.log" scripts/fuzz.sh --smoke; then
  grep -E '^ *fuzz_' "$logs/fuzz-smoke.log" || true
  stage_done fuzz "passed" "$t0"
else
  stage_done fuzz "FAILED" "$t0"
fi

# --- 3. x64 under Wine ----------------------------------------------------------------------------
say "x64 build (MinGW-w64), tests under wine64"
t0=$SECONDS
wine_dir=$root/build/x64/wine
stop_harness() { QUORVANE_HARNESS_QUIET=1 scripts/wine-harness.sh stop "$wine_dir" || true; }
trap stop_harness EXIT
trap 'exit 130' INT TERM HUP
if ! configure build/x64 x64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release; then
  stage_done x64 "FAILED: configure" "$t0"
elif ! build build/x64 x64; then
  stage_done x64 "FAILED: build" "$t0"
elif ! scripts/wine-harness.sh start "$wine_dir"; then
  stage_done x64 "FAILED: Wine session" "$t0"
else
  if run_ctest build/x64 x64; then
    stage_done x64 "passed ($last_counts)" "$t0"
  else
    stage_done x64 "FAILED: tests ($last_counts)" "$t0"
  fi
fi
stop_harness
trap - EXIT

# --- 4. i686 (the shipped exe) --------------------------------------------------------------------
say "i686 Release build (the shipped Quorvane.exe) and its PE checks"
t0=$SECONDS
if ! configure build/i686 i686 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release; then
  stage_done i686 "FAILED: configure" "$t0"
elif ! build build/i686 i686; then
  stage_done i686 "FAILED: build" "$t0"
elif ! run_ctest build/i686 i686; then
  stage_done i686 "FAILED: tests ($last_counts)" "$t0"
else
  stage_done i686 "passed ($last_counts)" "$t0"
fi

# --- summary --------------------------------------------------------------------------------------
say "summary ($((SECONDS - started)) s)"
printf '%s\n' "${summary[@]}"
[ $failed_stages -eq 0 ] || echo "$failed_stages stage(s) failed; logs in build/logs/"
echo "Total: $tests_passed passed, $tests_failed failed"
[ $failed_stages -eq 0 ]
