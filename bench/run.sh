#!/usr/bin/env bash
# Benchmarks of Quorvane under Wine, in one command:
#
#   bench/run.sh [--reps N] [--burst-kb K]
#
# Installs what is missing (scripts/install-deps.sh), builds the x64 Release build with the
# benchmark programs into build/bench-x64, starts a private Wine session on a private Xvfb
# (scripts/wine-harness.sh, in build/bench-x64/wine), runs bench_driver.exe and prints one table,
# which also goes to build/bench/results.md. Everything it started is stopped at the end. N (default
# 5) is the number of samples per program for streaming; start-up, trigger and log growth take 3 N.
# K (default 512) is the size of the streamed burst in KB. 4-5 minutes on 2 cores with the
# defaults, the first time included (Wine prefix and build).
set -euo pipefail

self=$(readlink -f "$0")
cd "$(dirname "$self")/.."
root=$PWD

driver_args=()
while [ $# -gt 0 ]; do
  case $1 in
    --reps | --burst-kb)
      [ $# -ge 2 ] && [[ $2 =~ ^[1-9][0-9]*$ ]] || { echo "bench/run.sh: $1 needs a number" >&2; exit 2; }
      driver_args+=("$1" "$2")
      shift 2
      ;;
    -h | --help)
      sed -n '2,12s/^# \{0,1\}//p' "$self"
      exit 0
      ;;
    *)
      echo "bench/run.sh: unknown argument $1 (see bench/run.sh --help)" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh

build_dir=build/bench-x64
mkdir -p build/logs build/bench
echo "building $build_dir (log: build/logs/bench-build.log)"
if ! { cmake -S . -B "$build_dir" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVANE_BENCH=ON -DBUILD_TESTING=OFF &&
  cmake --build "$build_dir" --target bench_driver -j 2; } >build/logs/bench-build.log 2>&1; then
  tail -n 40 build/logs/bench-build.log
  echo "bench/run.sh: the build failed (build/logs/bench-build.log)" >&2
  exit 1
fi

wine_dir=$root/$build_dir/wine
trap 'scripts/wine-harness.sh stop "$wine_dir"' EXIT
trap 'exit 130' INT TERM HUP
scripts/wine-harness.sh start "$wine_dir"

results=$root/build/bench/results.md
rm -f "$results"
echo "measuring; progress below, the table at the end"
# Bounded, so that a program that hangs cannot keep the session alive.
QUORVANE_WINE_DIR=$wine_dir timeout 1200 scripts/wine-run.sh "$build_dir/bench/bench_driver.exe" \
  "${driver_args[@]}" --out "Z:${results//\//\\}" >"$build_dir/bench-table.md"
echo
cat "$build_dir/bench-table.md"
echo
echo "written to build/bench/results.md"
