#!/usr/bin/env bash
# Runs one Windows program under wine64 inside the Wine session that scripts/wine-harness.sh
# started for $QUORVANE_WINE_DIR (CTest's emulator for the x64 build):
#
#   QUORVANE_WINE_DIR=build/x64/wine scripts/wine-run.sh build/x64/core_tests.exe --gtest_brief=1
#
# The program's exit code is this script's exit code. Refuses to run (exit code 125) without a
# live session, rather than letting Wine start a server of its own or fall back to ~/.wine.
set -u

fail() {
  echo "wine-run.sh: $*" >&2
  exit 125
}

dir=${QUORVANE_WINE_DIR:-}
[ -n "$dir" ] || fail "QUORVANE_WINE_DIR is not set"
env_file=$dir/harness.env
[ -r "$env_file" ] ||
  fail "no Wine session in $dir: start one with scripts/wine-harness.sh start $dir"

HARNESS_SERVER_PID=''
# shellcheck disable=SC1090
. "$env_file" || fail "cannot read $env_file"
[ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] || fail "$env_file names no Wine prefix"
[ -n "$HARNESS_SERVER_PID" ] && kill -0 "$HARNESS_SERVER_PID" 2>/dev/null ||
  fail "the wineserver of $dir has ended: restart the session with scripts/wine-harness.sh start $dir"

# Under CTest the program's output goes through a file: a Wine process that the program started and
# that outlives it (the desktop process, a child caught half-created) inherits the standard error of
# its creator and would otherwise hold CTest's output pipe open, so that the test never ends.
if [ -n "${QUORVANE_WINE_DETACH_OUTPUT:-}" ]; then
  output=$(mktemp "$TMPDIR/run-XXXXXX.log") || fail "cannot make a file in $TMPDIR"
  /usr/lib/wine/wine64 "$@" >"$output" 2>&1
  rc=$?
  cat "$output"
  rm -f "$output"
  exit "$rc"
fi
exec /usr/lib/wine/wine64 "$@"
