#!/usr/bin/env bash
# Builds the 64-bit Windows twin (build/x64) and starts Quorvane.exe under wine64 with the
# zh_CN.UTF-8 locale (code page 936), in a private Wine prefix under build/x64/run-wine.
#
#   ./run.sh              run build/x64/Quorvane.exe
#   ./run.sh --demo       run a copy in build/demo whose c.ini records "-n 4 127.0.0.1", so the
#                         tool starts monitoring Wine's own ping of the loopback address at once
#   ./run.sh --headless   ignore $DISPLAY (what happens anyway when it is not set)
#
# With $DISPLAY set the window opens there and the script waits until it is closed. Without a
# display the program runs inside Wine's virtual desktop on a private Xvfb; after a few seconds
# a screenshot goes to build/screenshot.png and everything that was started is stopped.
set -euo pipefail

cd "$(dirname "$(readlink -f "$0")")"
root=$PWD

demo=0
headless=0
for arg in "$@"; do
  case $arg in
    --demo) demo=1 ;;
    --headless) headless=1 ;;
    -h | --help)
      sed -n '2,12s/^# \{0,1\}//p' "$0"
      exit 0
      ;;
    *)
      echo "run.sh: unknown argument $arg (see ./run.sh --help)" >&2
      exit 2
      ;;
  esac
done
[ -n "${DISPLAY:-}" ] || headless=1

scripts/install-deps.sh

echo "building build/x64/Quorvane.exe"
mkdir -p build/logs
if ! { cmake -S . -B build/x64 -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release && cmake --build build/x64 --target Quorvane -j "$(nproc)"; } \
  >build/logs/run-build.log 2>&1; then
  tail -n 40 build/logs/run-build.log
  echo "run.sh: the build failed (build/logs/run-build.log)" >&2
  exit 1
fi

exe=$root/build/x64/Quorvane.exe
if [ $demo = 1 ]; then
  rm -rf build/demo
  mkdir -p build/demo
  cp "$exe" build/demo/Quorvane.exe
  # c.ini in GBK: section PING, key 命令, the ping arguments.
  {
    printf '[PING]\r\n'
    printf '命令' | iconv -f UTF-8 -t GBK
    printf '=-n 4 127.0.0.1\r\n'
  } >build/demo/c.ini
  exe=$root/build/demo/Quorvane.exe
fi
# The program's path as Wine sees it.
windows_exe="Z:${exe//\//\\}"

wine_dir=$root/build/x64/run-wine
export QUORVANE_WINE_DIR=$wine_dir
trap 'scripts/wine-harness.sh stop "$wine_dir"' EXIT
trap 'exit 130' INT TERM HUP

if [ $headless = 0 ]; then
  scripts/wine-harness.sh start "$wine_dir" "$DISPLAY"
  echo "starting $exe on DISPLAY=$DISPLAY; close its window to end"
  rc=0
  (cd "$(dirname "$exe")" && "$root/scripts/wine-run.sh" "$windows_exe") || rc=$?
  echo "Quorvane.exe ended with exit code $rc"
  exit 0
fi

QUORVANE_HARNESS_SCREEN=800x600x24 scripts/wine-harness.sh start "$wine_dir"
display=$(. "$wine_dir/harness.env" && echo "$DISPLAY")
wait_seconds=5
[ $demo = 0 ] || wait_seconds=8
echo "starting $exe in Wine's virtual desktop on the private display $display"
(cd "$(dirname "$exe")" &&
  exec "$root/scripts/wine-run.sh" explorer /desktop=shot,800x600 "$windows_exe") \
  >build/logs/run-wine.log 2>&1 &
sleep "$wait_seconds"
rm -f build/screenshot.png
DISPLAY=$display import -window root build/screenshot.png
echo "screenshot after $wait_seconds s: $root/build/screenshot.png"
