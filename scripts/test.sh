#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests get their own Xvfb display).
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
# The tree builds without warnings: a new one fails the build (scripts/run.sh builds the same way
# in the same build/, so switching between them recompiles nothing).
CMAKE_ARGS="${CMAKE_ARGS:-} -DTVX_WERROR=ON"
# Deadlines that only catch hangs (the tests' waits, the loopback servers' start, the suites'
# TIMEOUTs, which CMake reads at configure time) stretch by TVX_TEST_TIME_SCALE. Unless it is set,
# the machine's load decides: the suites add about one run queue entry a core themselves, so
# 1 on a quiet machine, 2 at load 6 on 8 cores, 5 at load 25, and never more than 6, so that a
# real hang still ends within half an hour.
if [[ -z "${TVX_TEST_TIME_SCALE:-}" ]]; then
  read -r load _ </proc/loadavg
  TVX_TEST_TIME_SCALE="$(awk -v l="$load" -v n="$(nproc)" \
    'BEGIN { s = 1 + int(l / n); if (l / n > int(l / n)) s++; if (l < 0.5) s = 1; if (s > 6) s = 6; print s }')"
fi
export TVX_TEST_TIME_SCALE
echo "Test time scale: $TVX_TEST_TIME_SCALE (load $(cut -d' ' -f1 /proc/loadavg), $(nproc) cores)"
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
bash "$ROOT/scripts/check-format.sh"

# The threaded suites (engine, video surface, job queue, web client, account bridge and manager) first
# run under AddressSanitizer and UndefinedBehaviorSanitizer in a build of their own, then the web
# client's under ThreadSanitizer. TVX_SKIP_SANITIZE=1 skips both passes.
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
    tst_accountmanager
    tst_cloudservice
  )
  # Suites that come out of a target of the list above under a name of their own.
  extra=(tst_videosurface_basic tst_webview_hidpi)
  pattern="$(IFS='|'; echo "${sanitized[*]}|${extra[*]}")"
  cmake -S "$ROOT" -B "$ASAN_DIR" -G Ninja -DTVX_SANITIZE=ON -DTVX_BUILD_BENCH=OFF
  cmake --build "$ASAN_DIR" -j"$(nproc)" --target "${sanitized[@]}"
  (cd "$ASAN_DIR" && ctest --output-on-failure -j"$(nproc)" -R "^(${pattern})\$")

  # The threaded suites under ThreadSanitizer, in a build of their own: the web client, the render
  # thread (video surface, page scene), the job queue and the video-to-text job and its list.
  # Qt is not instrumented: its QMutex and QWaitCondition are made visible by
  # tests/support/TsanQtSync.cpp, and what Qt, libcurl, mesa, mpv and the C library do inside
  # themselves is not reported (their own locks are invisible to the sanitizer); every access of
  # our code still is. tests/support/tsan.supp names the few reports that remain inside those
  # libraries, each with its reason. A report fails the suite.
  TSAN_DIR="${TSAN_BUILD_DIR:-$ROOT/build-tsan}"
  # One suite a line, so that branches adding suites merge cleanly.
  threaded=(
    tst_webapi
    tst_webapihost
    tst_webapicalls
    tst_webuiapi
    tst_videosurface
    tst_pagescene
    tst_taskqueue
    tst_v2t_job
    tst_v2t_model
  )
  threaded_extra=(tst_videosurface_basic tst_pagescene_basicloop)
  cmake -S "$ROOT" -B "$TSAN_DIR" -G Ninja -DTVX_SANITIZE_THREAD=ON -DTVX_BUILD_BENCH=OFF
  cmake --build "$TSAN_DIR" -j"$(nproc)" --target "${threaded[@]}"
  (cd "$TSAN_DIR" &&
    TSAN_OPTIONS="ignore_noninstrumented_modules=1 second_deadlock_stack=1 suppressions=$ROOT/tests/support/tsan.supp ${TSAN_OPTIONS:-}" \
    ctest --output-on-failure -j"$(nproc)" -R "^($(IFS='|'; echo "${threaded[*]}|${threaded_extra[*]}"))\$")
fi

cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"

# Then every parser's fuzz target for a bounded time (about a minute in all), in a clang build
# of its own; fuzz/run.sh with a longer time fuzzes on demand. TVX_SKIP_FUZZ=1 skips this pass.
if [[ "${TVX_SKIP_FUZZ:-0}" != 1 && $# -eq 0 ]]; then
  FUZZ_BUILD_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}" bash "$ROOT/fuzz/run.sh" 10
fi
