#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests get their own Xvfb display).
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
bash "$ROOT/scripts/check-format.sh"

# The threaded suites (engine, video surface, job queue, web client, account bridge) first run under
# AddressSanitizer and UndefinedBehaviorSanitizer in a build of their own. TVX_SKIP_SANITIZE=1 skips this pass.
if [[ "${TVX_SKIP_SANITIZE:-0}" != 1 && $# -eq 0 ]]; then
  ASAN_DIR="${ASAN_BUILD_DIR:-$ROOT/build-asan}"
  # One suite a line, so that branches adding suites merge cleanly.
  sanitized=(
    tst_enginesettings
    tst_engineplayback
    tst_videosurface
    tst_taskqueue
    tst_capture_real
    tst_capture_pages_qml
    tst_webapi
    tst_webapihost
    tst_webapicalls
    tst_webview
    tst_webuiapi
    tst_cloudservice
  )
  # Suites that come out of a target of the list above under a name of their own.
  extra=(tst_videosurface_basic tst_webview_hidpi)
  pattern="$(IFS='|'; echo "${sanitized[*]}|${extra[*]}")"
  cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja -DTVX_SANITIZE=ON -DTVX_BUILD_BENCH=OFF
  cmake --build "$ASAN_DIR" -j"$(nproc)" --target "${sanitized[@]}"
  (cd "$ASAN_DIR" && ctest --output-on-failure -j"$(nproc)" -R "^(${pattern})\$")
fi

cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"

# Then every parser's fuzz target for a bounded time (about a minute in all), in a clang build
# of its own; fuzz/run.sh with a longer time fuzzes on demand. TVX_SKIP_FUZZ=1 skips this pass.
if [[ "${TVX_SKIP_FUZZ:-0}" != 1 && $# -eq 0 ]]; then
  FUZZ_BUILD_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}" bash "$ROOT/fuzz/run.sh" 10
fi
