#!/usr/bin/env bash
# Builds and runs the benchmark programs (GUI ones on a private Xvfb display).
# bench/run.sh [startup|mediaproc|convert ...]   (default: all)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
run="$ROOT/tests/support/tvx-test-run.sh"
groups=("$@")
[[ ${#groups[@]} -eq 0 ]] && groups=(startup mediaproc convert)
for g in "${groups[@]}"; do
  case "$g" in
    startup) "$run" --gui -- "$BUILD_DIR/bench/startup/bench_startup" 10 ;;
    mediaproc) "$run" -- "$BUILD_DIR/bench/mediaproc/bench_mediaproc" ;;
    convert) "$run" -- "$BUILD_DIR/bench/convert/bench_convert" ;;
    *) echo "unknown benchmark group: $g" >&2; exit 2 ;;
  esac
done
