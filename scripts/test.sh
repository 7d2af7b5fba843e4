#!/usr/bin/env bash
# Builds everything and runs every test (GUI tests get their own Xvfb display).
# Extra arguments go to ctest, e.g. scripts/test.sh -L unit
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
cd "$BUILD_DIR"
ctest --output-on-failure -j"$(nproc)" "$@"
