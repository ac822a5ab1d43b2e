#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Renders the program icon packaging/meltor.svg into the PNG sizes the hicolor icon theme uses
# (packaging/icons/meltor-SIZE.png, committed).
# Run after changing the SVG; needs rsvg-convert (librsvg2-bin, installed by the test command).
# The output is the same bytes on every run: no timestamps are written.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v rsvg-convert >/dev/null || { echo "icons.sh: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2; exit 1; }
mkdir -p packaging/icons
for size in 16 22 24 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio \
    --output "packaging/icons/meltor-$size.png" packaging/meltor.svg
done
echo "icons.sh: wrote packaging/icons/meltor-{16,22,24,32,48,64,128,256}.png"
