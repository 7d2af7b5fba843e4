#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need (only those missing), then
# configures and builds. Sourced by run.sh and test.sh; BUILD_DIR and CMAKE_ARGS may be set.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(
  cmake g++ pkg-config ninja-build clang libclang-rt-14-dev
  qtbase5-dev qtdeclarative5-dev qtquickcontrols2-5-dev qtdeclarative5-dev-tools libqt5svg5-dev
  qml-module-qtquick2 qml-module-qtquick-controls2 qml-module-qtquick-window2
  qml-module-qtquick-layouts qml-module-qtgraphicaleffects qml-module-qt-labs-settings
  qml-module-qt-labs-platform qml-module-qttest qt5-image-formats-plugins
  libmpv-dev libcurl4-openssl-dev libssl-dev ffmpeg
  xvfb xauth libgl1-mesa-dri fonts-dejavu-core fonts-noto-cjk openssl python3
  xdg-utils shared-mime-info clang-format
  qtwebengine5-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [[ ${#missing[@]} -gt 0 ]]; then
  SUDO=""
  [[ $(id -u) -ne 0 ]] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja ${CMAKE_ARGS:-}
cmake --build "$BUILD_DIR" -j"$(nproc)"
