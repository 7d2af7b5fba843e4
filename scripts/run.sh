#!/usr/bin/env bash
# Builds the player and starts it, optionally with a media file: scripts/run.sh [file]
set -euo pipefail
# A warning never stops an everyday build, even after scripts/test.sh made them errors here.
CMAKE_ARGS="${CMAKE_ARGS:-} -DTVX_WERROR=OFF"
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
exec "$BUILD_DIR/tavrixo" "$@"
