#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Installs every Debian package Meltor needs to build, test and run.
# Idempotent; run as root (or through sudo). Debian 12.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config git python3
  # libraries
  qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-svg-dev libsqlite3-dev sqlite3
  # fonts with Cyrillic glyphs for the window (also headless)
  fonts-dejavu-core fonts-liberation2
  # headless GUI runs, screenshots
  xvfb xauth xdotool imagemagick
  # sanitizers, fuzzing and benchmarks
  clang libclang-rt-14-dev libfuzzer-14-dev libbenchmark-dev
  # compiles the Windows version resource in a test
  llvm-14
  # formatting
  clang-format
  # packaging
  appstream desktop-file-utils dpkg-dev file
  # benchmarks script
  bc time
)

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then exec sudo "$0" "$@"; fi
  echo "install-deps.sh: run as root" >&2
  exit 1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps.sh: all packages present"
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
