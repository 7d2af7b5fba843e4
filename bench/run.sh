#!/usr/bin/env bash
# Builds and runs the benchmark programs on a private Xvfb display: bench/run.sh [runs]
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
"$ROOT/tests/support/tvx-test-run.sh" --gui -- "$BUILD_DIR/bench/startup/bench_startup" "${1:-10}"
