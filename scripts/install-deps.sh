#!/usr/bin/env bash
# Installs the Debian packages that building, testing and benchmarking need.
# Idempotent: it asks apt only when a package is missing, and refreshes the
# package lists once, just before that install.
set -euo pipefail

PACKAGES=(
    qt6-base-dev libqt6opengl6-dev qt6-image-formats-plugins
    libgl-dev libgl1-mesa-dri xvfb xauth cmake g++ ninja-build
    libgtest-dev libgmock-dev libbenchmark-dev libfftw3-dev imagemagick
    libjpeg-dev libpng-dev libtiff-dev libexiv2-dev ffmpeg
    clang libclang-rt-14-dev clang-format
)

missing=()
for pkg in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then
    SUDO="sudo"
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y --no-install-recommends "${missing[@]}"
