#!/usr/bin/env bash
# Soak: Quorvane monitors the fake ping streaming small chunks (default 25 a second) for a long time
# (default 30 minutes) under Wine; CPU time, private bytes, working set and handle count are sampled
# every minute. Not part of ./test.sh.
#
#   scripts/soak.sh [minutes] [chunks-per-second]
#
# The report goes to standard output and to build/soak/report.txt. Exit code 0 when the handle
# count did not grow and the program closed cleanly at the end.
set -euo pipefail
cd "$(dirname "$(readlink -f "$0")")/.."
root=$PWD
minutes=${1:-30}
rate=${2:-25}

scripts/install-deps.sh
mkdir -p build/logs build/soak
cmake -S . -B build/x64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
  >build/logs/soak-configure.log 2>&1
cmake --build build/x64 --target soak_probe -j "$(nproc)" >build/logs/soak-build.log 2>&1 ||
  { tail -n 40 build/logs/soak-build.log; exit 1; }

wine_dir=$root/build/x64/soak-wine
trap 'scripts/wine-harness.sh stop "$wine_dir"' EXIT
scripts/wine-harness.sh start "$wine_dir"
echo "soak: $minutes minutes at $rate chunks a second ($(date -u '+%Y-%m-%d %H:%M UTC'))" | tee build/soak/report.txt

# What Linux sees of the program: CPU time (user + system) and resident memory, once a minute.
sample_linux() {
  local pid='' ticks
  ticks=$(getconf CLK_TCK)
  for _ in $(seq 1 60); do
    pid=$(pgrep -f 'soak.Quorvane\.exe' | head -n 1) && break
    sleep 1
  done
  [ -n "$pid" ] || return 0
  while kill -0 "$pid" 2>/dev/null; do
    awk -v t="$ticks" '{ printf "linux    cpu %8.2f s", ($14 + $15) / t }' "/proc/$pid/stat" 2>/dev/null || break
    awk '/^VmRSS/ { printf "  resident %8.1f MB\n", $2 / 1024 }' "/proc/$pid/status" 2>/dev/null || break
    sleep 60
  done
}
sample_linux | tee build/soak/linux.txt &
sampler=$!
rc=0
QUORVANE_WINE_DIR=$wine_dir scripts/wine-run.sh build/x64/tests/soak/soak_probe.exe "$minutes" "$rate" |
  tee -a build/soak/report.txt || rc=$?
wait "$sampler" || true
{ echo; echo "as Linux sees the program:"; cat build/soak/linux.txt; } >>build/soak/report.txt
exit "$rc"
