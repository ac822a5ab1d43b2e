#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Runs every fuzz target for a while (default 600 s each) on a scratch copy of its corpus.
# Needs the asan preset built: cmake --preset asan && cmake --build --preset asan
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(calculate interpolation tablefile csv)
for t in "${targets[@]}"; do
  work=build/asan/fuzz-work/$t
  mkdir -p "$work/corpus" "$work/crashes"
  echo "== fuzz_$t for ${seconds}s"
  build/asan/fuzz-bin/fuzz_$t -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$work/crashes/" "$work/corpus" "fuzz/corpus/$t"
done
