#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Times the README's two commands from a fresh clone of this repository's HEAD, with the Debian
# packages already installed: scripts/run.sh until its window is on screen (a private X server),
# then scripts/test.sh. Run it as the user the commands are meant for; it prints the two times
# and any file in the clone that the user does not own.
#
#   scripts/time-quickstart.sh [WORK_DIR]     (default: a new temporary folder, removed after)
#
# Needs Xvfb and xdotool (scripts/install-deps.sh test installs them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=${1:-$(mktemp -d)}
keep=${1:+yes}
xvfb_pid=""
run_pid=""
cleanup() {
  [ -n "$run_pid" ] && kill "$run_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  [ -n "$keep" ] || rm -rf "$work"
}
trap cleanup EXIT

git clone -q "$root" "$work/meltor"
cd "$work/meltor"

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=":$(head -n1 "$work/display")"

start=$(date +%s.%N)
scripts/run.sh >"$work/run.log" 2>&1 &
run_pid=$!
if ! window=$(timeout 900 xdotool search --sync --onlyvisible --name '^Meltor$' | head -n1) ||
  [ -z "$window" ]; then
  cat "$work/run.log" >&2
  echo "time-quickstart.sh: the window did not appear" >&2
  exit 1
fi
end=$(date +%s.%N)
kill "$run_pid"
wait "$run_pid" 2>/dev/null || true
run_pid=""
steps=$(grep -c '^\[[0-9]*/[0-9]*\]' "$work/run.log" || true)
printf 'scripts/run.sh to the first window: %.0f s (%s build steps)\n' "$(echo "$end - $start" | bc -l)" "$steps"

start=$(date +%s.%N)
scripts/test.sh >"$work/test.log" 2>&1 || { tail -n 30 "$work/test.log" >&2; exit 1; }
end=$(date +%s.%N)
printf 'scripts/test.sh: %.0f s (%s)\n' "$(echo "$end - $start" | bc -l)" "$(grep 'tests passed' "$work/test.log")"

others=$(find "$work/meltor" ! -user "$(id -un)" | head -n 5)
[ -z "$others" ] || { echo "time-quickstart.sh: files not owned by $(id -un):" >&2; echo "$others" >&2; exit 1; }
echo "every file in the clone belongs to $(id -un)"
