#!/usr/bin/env bash
# Builds and runs the benchmark programs (GUI ones on a private Xvfb display).
# bench/run.sh [startup|playback|engine|mainroad|mediaproc|convert|convertbatch|capture|webapi|cloud ...]   (default: all)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
run="$ROOT/tests/support/tvx-test-run.sh"
groups=("$@")
[[ ${#groups[@]} -eq 0 ]] && groups=(startup playback engine mainroad mediaproc convert convertbatch capture webapi cloud)
for g in "${groups[@]}"; do
  case "$g" in
    startup) TVX_SOURCE_DIR="$ROOT" "$run" --gui -- "$BUILD_DIR/bench/startup/bench_startup" 10 ;;
    playback)
      # The real program is measured beside the peer Qt Quick player and mpv's own window.
      if ! command -v mpv >/dev/null || ! command -v haruna >/dev/null; then
        SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo"
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends haruna mpv
      fi
      "$run" --gui -- "$BUILD_DIR/bench/playback/bench_playback" 5 ;;
    engine)
      # The engine is measured beside libmpv's own command-line player.
      if ! command -v mpv >/dev/null; then
        SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo"
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends mpv
      fi
      "$run" --gui -- "$BUILD_DIR/bench/engine/engine_bench" ;;
    mainroad)
      command -v mpv >/dev/null || { SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo";
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends mpv; }
      "$run" --gui -- "$BUILD_DIR/bench/mainroad/bench_mainroad" 5 ;;
    mediaproc) "$run" -- "$BUILD_DIR/bench/mediaproc/bench_mediaproc" ;;
    convert) "$run" -- "$BUILD_DIR/bench/convert/bench_convert" ;;
    convertbatch) "$run" --gui -- "$BUILD_DIR/bench/convertbatch/bench_convertbatch" 8 60 ;;
    capture) "$run" -- "$BUILD_DIR/bench/capture/bench_capture" ;;
    webapi)
      # The web client is measured beside the curl program making the same request.
      command -v curl >/dev/null || { SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo";
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends curl; }
      "$run" -- "$BUILD_DIR/bench/webapi/bench_webapi" 15 ;;
    cloud)
      # The cloud client's sliced upload and the job's result download are measured beside the curl program.
      command -v curl >/dev/null || { SUDO=""; [[ $(id -u) -ne 0 ]] && SUDO="sudo";
        DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends curl; }
      TVX_SOURCE_DIR="$ROOT" "$run" -- "$BUILD_DIR/bench/cloud/bench_cloud" 3
      "$run" -- "$BUILD_DIR/bench/cloud/bench_cloud_download" 3
      TVX_SOURCE_DIR="$ROOT" "$run" -- "$BUILD_DIR/bench/cloud/bench_cloud_message" 5 ;;
    *) echo "unknown benchmark group: $g" >&2; exit 2 ;;
  esac
done
