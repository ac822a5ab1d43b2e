#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Takes the README's screenshot: the main window after a calculation, on a private X server with
# a window manager, as a pilot's desktop would have.
#
#   scripts/screenshot.sh [MELTOR_BINARY] [OUTPUT_PNG]
#
# Defaults: build/default/bin/meltor and docs/screenshot.png. Builds nothing: build first. The
# tables file must lie next to the binary, as the build puts it. Needs Xvfb, openbox, xdotool and
# ImageMagick's import (scripts/install-deps.sh installs them).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
binary=${1:-$root/build/default/bin/meltor}
output=${2:-$root/docs/screenshot.png}

for tool in Xvfb openbox xdotool import; do
  command -v "$tool" >/dev/null || { echo "screenshot.sh: $tool is missing" >&2; exit 1; }
done
[ -x "$binary" ] || { echo "screenshot.sh: no program at $binary; build it first" >&2; exit 1; }
mkdir -p "$(dirname "$output")"

work=$(mktemp -d)
xvfb_pid=""
wm_pid=""
meltor_pid=""
cleanup() {
  [ -n "$meltor_pid" ] && kill "$meltor_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to the pipe.
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { echo "screenshot.sh: Xvfb did not start" >&2; cat "$work/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

# The window manager gives the window its focus and frame as on a desktop.
HOME="$work" openbox --sm-disable >"$work/openbox.log" 2>&1 &
wm_pid=$!
sleep 1

# A fixed environment, so the picture does not depend on the caller's desktop settings.
env -u QT_QPA_PLATFORM -u QT_STYLE_OVERRIDE -u QT_SCALE_FACTOR LC_ALL=C.UTF-8 \
  QT_QPA_PLATFORMTHEME= XDG_RUNTIME_DIR="$work" "$binary" >"$work/meltor.log" 2>&1 &
meltor_pid=$!

window=$(timeout 20 xdotool search --sync --onlyvisible --name '^Meltor$' | head -n1) || true
if [ -z "$window" ]; then
  echo "screenshot.sh: the window did not appear" >&2
  cat "$work/meltor.log" >&2
  exit 1
fi
xdotool windowfocus --sync "$window"
sleep 0.5

keys() { xdotool key --window "$window" --delay 40 "$@"; }
type_text() { xdotool type --window "$window" --delay 40 "$1"; }

# A flight with five-digit heights: Су-27 by day, 1 h 30 min, 10 tenths from 1200 to 11000 m,
# visibility 3 km, flight height 12000 m, no hood. The focus starts in the type field; each Down
# moves one entry down the list, the fourth to Су-27. Tab into a text box selects its text, so
# typing replaces it.
keys Down Down Down Down
keys Tab && type_text 1       # hours
keys Tab && type_text 30      # minutes
keys Tab && type_text 10      # cloud amount, tenths
keys Tab && type_text 1200    # cloud base
keys Tab && type_text 11000   # cloud top
keys Tab && type_text 3       # visibility, km
keys Tab                      # hundreds of metres: empty
keys Tab space                # днём
keys Tab Tab Tab              # ночью, hood closed, hood opened: empty; Считать is still off
keys Tab                      # Выход
keys Tab && type_text 12000   # flight height; now Считать is on
keys shift+Tab shift+Tab      # back over Выход to Считать
keys Return
sleep 1

import -window "$window" "$output"
echo "screenshot.sh: wrote $output"
