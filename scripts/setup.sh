#!/usr/bin/env bash
# Installs, from Debian's archive, everything that building, testing and running
# the updater needs on a fresh Debian 12 machine.
set -euo pipefail

packages=(
    build-essential cmake pkg-config ccache git
    clang libclang-rt-14-dev
    googletest libgtest-dev libgmock-dev
    juce-modules-source
    libfreetype-dev libfontconfig-dev libpng-dev libjpeg-dev zlib1g-dev
    libx11-dev libxext-dev libxrandr-dev libxinerama-dev libxcursor-dev libxrender-dev
    libudev-dev umockdev libumockdev-dev
    libxml2-dev
    xvfb xdotool imagemagick x11-utils
    # Every language of the text tables (Latin, Cyrillic, Chinese, Korean,
    # Japanese). JUCE on Linux reads single .ttf/.otf files only; the program
    # reads the CJK faces that fontconfig lists in place, collections too, and
    # falls back to Droid Sans Fallback without them.
    fonts-dejavu-core fonts-liberation fonts-droid-fallback fonts-nanum fonts-ipafont-gothic fonts-noto-cjk
)

sudo_if_needed() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_if_needed apt-get update -qq
    sudo_if_needed env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
