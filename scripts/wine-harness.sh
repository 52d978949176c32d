#!/usr/bin/env bash
# A private Wine session for the Windows tests and for run.sh.
#
#   wine-harness.sh start <dir> [display]   e.g. build/x64/wine
#   wine-harness.sh stop  <dir>
#
# start makes (once) a Wine prefix <dir>/prefix, a private TMPDIR <dir>/tmp (the wineserver
# socket lives there), starts an Xvfb on a free display (or uses [display] when given), starts one
# persistent wineserver for the prefix, and writes <dir>/harness.env, which scripts/wine-run.sh
# reads. QUORVANE_HARNESS_SCREEN sets the Xvfb screen (default 1280x1024x24).
# stop ends exactly what start started, by process id, and removes harness.env; it is safe to
# call at any time, also after a failed or killed start. A harness.env left by a killed run is
# cleaned up by the next start.
#
# Every Wine process of the session runs with zh_CN.UTF-8 (ANSI and OEM code page 936) on the
# session's display: the prefix's desktop binds to the display of its first GUI process, so every
# process must see the same DISPLAY.
set -euo pipefail

readonly WINE=/usr/lib/wine/wine64
readonly WINESERVER_BIN=/usr/lib/wine/wineserver
# The Xvfb screen; run.sh asks for the size of its virtual desktop.
readonly SCREEN=${QUORVANE_HARNESS_SCREEN:-1280x1024x24}

die() { echo "wine-harness: $*" >&2; exit 1; }
note() { [ -n "${QUORVANE_HARNESS_QUIET:-}" ] || echo "wine-harness: $*" >&2; }

usage() {
  echo "usage: $0 start <dir> [display] | stop <dir>" >&2
  exit 2
}

# Start time of a running process in clock ticks since boot; tells a process from a later one
# that reuses its id. Fails for a process that has ended, also while it is an unreaped zombie.
start_time() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  # shellcheck disable=SC2086
  set -- $stat
  case $1 in Z | X | x) return 1 ;; esac
  echo "${20}"
}

# True when pid $1 still runs and is the process that was started at time $2.
same_process() {
  local now
  [ -n "$1" ] && [ -n "$2" ] || return 1
  now=$(start_time "$1") || return 1
  [ "$now" = "$2" ]
}

# Waits up to $3 tenths of a second for process $1 (started at $2) to end.
wait_gone() {
  local i
  for ((i = 0; i < $3; i++)); do
    same_process "$1" "$2" || return 0
    sleep 0.1
  done
  ! same_process "$1" "$2"
}

set_wine_env() {
  export WINEPREFIX=$dir/prefix
  export WINEDEBUG=-all
  # No Mono or Gecko install prompts, no menu entries or file associations under $HOME.
  export WINEDLLOVERRIDES='mscoree,mshtml,winemenubuilder.exe=d'
  export LANG=zh_CN.UTF-8
  export LC_ALL=zh_CN.UTF-8
  export TMPDIR=$dir/tmp
  export WINESERVER=$WINESERVER_BIN
  unset WINEARCH WINELOADER WINEDLLPATH
}

# Writes harness.env anew with the session's environment and the processes started so far, so
# that stop finds them whenever start fails.
save_env() {
  local tmp=$env_file.new v
  {
    echo "# Wine session of scripts/wine-harness.sh; read by scripts/wine-run.sh."
    for v in WINEPREFIX WINEDEBUG WINEDLLOVERRIDES LANG LC_ALL TMPDIR WINESERVER DISPLAY; do
      printf 'export %s=%q\n' "$v" "${!v-}"
    done
    for v in HARNESS_XVFB_PID HARNESS_XVFB_START HARNESS_SERVER_PID HARNESS_SERVER_START; do
      printf '%s=%q\n' "$v" "${!v-}"
    done
  } >"$tmp"
  mv -f "$tmp" "$env_file"
}

do_stop() {
  local HARNESS_XVFB_PID='' HARNESS_XVFB_START='' HARNESS_SERVER_PID='' HARNESS_SERVER_START=''
  if [ -f "$env_file" ]; then
    # shellcheck disable=SC1090
    . "$env_file" || true
  fi
  set_wine_env

  # The wineserver of this prefix: -k ends every Wine process of the prefix and then the server.
  if same_process "$HARNESS_SERVER_PID" "$HARNESS_SERVER_START" ||
    compgen -G "$TMPDIR/*wine-*/server-*/socket" >/dev/null; then
    timeout 20 "$WINESERVER_BIN" -k </dev/null >/dev/null 2>&1 || true
  fi
  if same_process "$HARNESS_SERVER_PID" "$HARNESS_SERVER_START"; then
    if ! wait_gone "$HARNESS_SERVER_PID" "$HARNESS_SERVER_START" 100; then
      note "wineserver $HARNESS_SERVER_PID did not end; killing it"
      kill -KILL "$HARNESS_SERVER_PID" 2>/dev/null || true
      wait_gone "$HARNESS_SERVER_PID" "$HARNESS_SERVER_START" 50 || true
    fi
  fi

  # A Wine process whose parent ended while it was being created waits forever for its start-up
  # data and is unknown to the server; such leftovers of this prefix are ended by their environment.
  local pid
  for pid in $(pgrep -u "$(id -u)" '.' 2>/dev/null); do
    case $(readlink "/proc/$pid/exe" 2>/dev/null) in
      /usr/lib/wine/*) ;;
      *) continue ;;
    esac
    if grep -qxF "WINEPREFIX=$WINEPREFIX" < <(tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null); then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done

  if same_process "$HARNESS_XVFB_PID" "$HARNESS_XVFB_START"; then
    kill -TERM "$HARNESS_XVFB_PID" 2>/dev/null || true
    if ! wait_gone "$HARNESS_XVFB_PID" "$HARNESS_XVFB_START" 50; then
      kill -KILL "$HARNESS_XVFB_PID" 2>/dev/null || true
      wait_gone "$HARNESS_XVFB_PID" "$HARNESS_XVFB_START" 50 || true
    fi
  fi
  rm -f "$env_file" "$env_file.new"
}

start_xvfb() {
  local display_file=$TMPDIR/xvfb-display i pid
  : >"$display_file"
  setsid Xvfb -displayfd 3 -screen 0 "$SCREEN" -nolisten tcp \
    3>"$display_file" </dev/null >"$TMPDIR/xvfb.log" 2>&1 &
  pid=$!
  HARNESS_XVFB_PID=$pid
  HARNESS_XVFB_START=$(start_time "$pid") || die "Xvfb ended at once: $(tail -n 3 "$TMPDIR/xvfb.log")"
  save_env
  for ((i = 0; i < 100; i++)); do
    if grep -q '^[0-9][0-9]*$' "$display_file" 2>/dev/null; then
      DISPLAY=:$(head -n1 "$display_file")
      export DISPLAY
      return 0
    fi
    same_process "$HARNESS_XVFB_PID" "$HARNESS_XVFB_START" ||
      die "Xvfb ended: $(tail -n 3 "$TMPDIR/xvfb.log")"
    sleep 0.1
  done
  die "Xvfb gave no display within 10 s"
}

start_server() {
  local i pid s sockets
  setsid "$WINESERVER_BIN" -f -p </dev/null >/dev/null 2>&1 &
  pid=$!
  HARNESS_SERVER_PID=$pid
  HARNESS_SERVER_START=$(start_time "$pid") || die "wineserver ended at once"
  save_env
  # A Wine program that finds no socket starts a server of its own: wait for ours to listen.
  for ((i = 0; i < 100; i++)); do
    # Debian's Wine keeps the server directory in $TMPDIR/wine-XXXXXX (named in the prefix's
    # file "wineserver") instead of /tmp/.wine-<uid>.
    sockets=("$TMPDIR"/wine-*/server-*/socket "$TMPDIR"/.wine-*/server-*/socket)
    for s in "${sockets[@]}"; do [ -S "$s" ] && return 0; done
    same_process "$HARNESS_SERVER_PID" "$HARNESS_SERVER_START" || die "wineserver ended"
    sleep 0.1
  done
  die "wineserver did not listen within 10 s"
}

do_start() {
  local use_display=${1:-}
  do_stop
  set_wine_env
  local t0=$SECONDS

  # A prefix whose creation did not finish is made anew.
  if [ ! -f "$WINEPREFIX/.harness-ready" ] && [ -e "$WINEPREFIX" ]; then
    note "removing the unfinished prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
  fi
  rm -rf "$TMPDIR"
  mkdir -p "$TMPDIR"
  chmod 700 "$TMPDIR"

  # Clean up whatever part of the session has started when start fails.
  trap 'rc=$?; trap - EXIT; if [ $rc != 0 ]; then do_stop; fi; exit $rc' EXIT
  HARNESS_XVFB_PID='' HARNESS_XVFB_START='' HARNESS_SERVER_PID='' HARNESS_SERVER_START=''
  unset DISPLAY
  save_env

  if [ -n "$use_display" ]; then
    export DISPLAY=$use_display
  else
    start_xvfb
  fi
  save_env

  mkdir -p "$WINEPREFIX"
  start_server
  if [ ! -f "$WINEPREFIX/.harness-ready" ]; then
    note "creating the Wine prefix $WINEPREFIX"
    timeout 300 "$WINE" wineboot -i </dev/null >"$TMPDIR/wineboot.log" 2>&1 ||
      die "wineboot -i failed: $(tail -n 20 "$TMPDIR/wineboot.log")"
    touch "$WINEPREFIX/.harness-ready"
  fi
  # On a bare Xvfb, with no window manager, Wine waits 2 s in every DestroyWindow of a visible
  # framed window for a window manager that never answers. Unmanaged windows do not wait, and Wine
  # draws their frames itself. A real display keeps its window manager. This first program also
  # starts the session's services now rather than in the first test.
  local managed=N
  [ -z "$use_display" ] || managed=Y
  timeout 120 "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d "$managed" /f \
    </dev/null >/dev/null 2>&1 || die "Wine does not run programs in $WINEPREFIX"
  # Drive R: is an empty folder of the session's own, for tests of a program at a drive root.
  rm -rf "$dir/drive-r"
  mkdir -p "$dir/drive-r"
  ln -sfn "$dir/drive-r" "$WINEPREFIX/dosdevices/r:"
  trap - EXIT
  note "Wine session ready on DISPLAY=$DISPLAY in $((SECONDS - t0)) s ($dir)"
}

[ $# -ge 2 ] || usage
action=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
env_file=$dir/harness.env
[ -x "$WINE" ] || die "$WINE is missing (scripts/install-deps.sh installs wine64)"
[ -x "$WINESERVER_BIN" ] || die "$WINESERVER_BIN is missing"

case $action in
  start)
    [ $# -le 3 ] || usage
    command -v Xvfb >/dev/null || [ $# -eq 3 ] || die "Xvfb is missing"
    do_start "${3:-}"
    ;;
  stop)
    [ $# -eq 2 ] || usage
    do_stop
    ;;
  *) usage ;;
esac
