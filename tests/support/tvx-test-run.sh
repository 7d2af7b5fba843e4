#!/usr/bin/env bash
# Runs one test in a scratch folder of its own: HOME, the XDG folders and TMPDIR point inside
# it, so no test touches the real home, desktop or /tmp. With --gui the test gets a private
# Xvfb display (started with -displayfd, so parallel tests never race for a display number).
set -u
gui=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --gui) gui=1; shift ;;
    --) shift; break ;;
    *) break ;;
  esac
done

base="${TVX_SCRATCH_BASE:-${TMPDIR:-/tmp}/tvx-test-scratch}"
mkdir -p "$base"
name="$(basename "$1")"
scratch="$(mktemp -d "$base/${name}.XXXXXX")"
export TVX_TEST_SCRATCH="$scratch"
export HOME="$scratch/home"
export XDG_CONFIG_HOME="$scratch/config"
export XDG_DATA_HOME="$scratch/data"
export XDG_CACHE_HOME="$scratch/cache"
export XDG_RUNTIME_DIR="$scratch/runtime"
export TMPDIR="$scratch/tmp"
mkdir -p "$HOME/Desktop" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$TMPDIR"
mkdir -m 0700 -p "$XDG_RUNTIME_DIR"
# Tests never reach a user's desktop configuration or a sound card.
unset XDG_DATA_DIRS XDG_CONFIG_DIRS DBUS_SESSION_BUS_ADDRESS
export QT_QPA_PLATFORMTHEME=""
export LIBGL_ALWAYS_SOFTWARE=1
export QT_LOGGING_RULES="${QT_LOGGING_RULES:-qt.qpa.xcb.warning=false}"

xvfb_pid=""
cleanup() {
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
  if [[ "${TVX_KEEP_SCRATCH:-0}" != 1 ]]; then rm -rf "$scratch"; fi
}
trap cleanup EXIT

if [[ $gui == 1 ]]; then
  fifo="$scratch/xvfb.display"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset 3>"$fifo" >"$scratch/xvfb.log" 2>&1 &
  xvfb_pid=$!
  display=""
  read -r -t 30 display <"$fifo" || true
  if [[ -z "$display" ]]; then
    echo "tvx-test-run: Xvfb did not start" >&2
    cat "$scratch/xvfb.log" >&2
    exit 1
  fi
  export DISPLAY=":$display"
  export QT_QPA_PLATFORM=xcb
else
  export QT_QPA_PLATFORM="${TVX_HEADLESS_PLATFORM:-offscreen}"
fi

cd "$scratch"
"$@"
rc=$?
exit $rc
