#!/usr/bin/env bash
# Builds the player and starts it, optionally with a media file: scripts/run.sh [file]
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/setup.sh"
exec "$BUILD_DIR/tavrixo" "$@"
