#!/usr/bin/env bash
# Builds the player and starts it, optionally with a media file: scripts/run.sh [file]
set -euo pipefail
# The same flags as scripts/test.sh in the same build/: switching between the two commands
# rebuilds only what changed (a flag that differed would recompile every file each time).
CMAKE_ARGS="${CMAKE_ARGS:-} -DTVX_WERROR=ON"
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
exec "$BUILD_DIR/tavrixo" "$@"
