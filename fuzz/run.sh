#!/usr/bin/env bash
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs each for a bounded time from its seed corpus in fuzz/corpus/<target>.
#   fuzz/run.sh                 every target for 10 s (about a minute in all; what CI runs)
#   fuzz/run.sh 600             every target for ten minutes
#   fuzz/run.sh 3600 fuzz_playlist_ini
# New inputs and any crash land in $FUZZ_BUILD_DIR/fuzz-work/<target>/ (default build-fuzz).
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
FUZZ_DIR="${FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
seconds="${1:-10}"
[[ $# -gt 0 ]] && shift
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  # One target a line, so that branches adding targets merge cleanly.
  targets=(
    fuzz_avatar_image
    fuzz_catalog
    fuzz_cloud_answer
    fuzz_ffmpeg_progress
    fuzz_ffprobe_output
    fuzz_playlist_ini
    fuzz_player_ini
    fuzz_single_instance
    fuzz_state_settings
    fuzz_webui_dispatch
  )
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$ROOT" -B "$FUZZ_DIR" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DTVX_FUZZ=ON -DTVX_BUILD_TESTS=OFF -DTVX_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$FUZZ_DIR" -j"$(nproc)" --target "${targets[@]}"

# A state-file parser that allocates without bound must show up as a failure, not as a slow run.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0:allocator_may_return_null=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
# The state-file targets write a file per input: memory-backed scratch keeps them fast.
if [[ -z "${TMPDIR:-}" && -d /dev/shm && -w /dev/shm ]]; then export TMPDIR=/dev/shm; fi
failed=()
for target in "${targets[@]}"; do
  work="$FUZZ_DIR/fuzz-work/$target"
  mkdir -p "$work/corpus"
  echo "== $target: ${seconds} s"
  if ! "$FUZZ_DIR/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -malloc_limit_mb=512 -max_len=65536 -print_final_stats=1 -artifact_prefix="$work/" \
      "$work/corpus" "$ROOT/fuzz/corpus/$target" >"$work/log.txt" 2>&1; then
    tail -n 60 "$work/log.txt"
    failed+=("$target")
  else
    grep -E "^stat::(number_of_executed_units|peak_rss_mb)" "$work/log.txt" | tr '\n' ' '
    echo
  fi
done
if [[ ${#failed[@]} -gt 0 ]]; then
  echo "fuzz targets failed: ${failed[*]} (crashing inputs in $FUZZ_DIR/fuzz-work/<target>/)" >&2
  exit 1
fi
