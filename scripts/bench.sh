#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Measures the calculation, the batch tool, the window's start, the pictures and the journal (the
# library and meltor-cli journal) on this machine and prints a Markdown table (the figures in
# docs/benchmarks.md come from here).
# Usage: scripts/bench.sh   (builds the ci preset first: the benchmarks are test-side programs)
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset ci >/dev/null
cmake --build --preset ci >/dev/null
bin=build/ci/bin
bench=build/ci/bench-bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "Machine: $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo
echo "| measurement | median | notes |"
echo "|---|---|---|"

# 1. One calculation end to end (opening the file, reading the views, interpolating).
"$bench/bench_calculate" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null | grep '_median' | while IFS=, read -r name _ real cpu unit _; do
  name=${name//\"/}; name=${name#Calculate/}; name=${name%_median}
  printf '| calculation, %s | %.0f %s | wall %.0f %s |\n' "$name" "$cpu" "$unit" "$real" "$unit"
done

# 2. meltor-cli batch on 100,000 generated flights.
python3 - "$work/flights.csv" <<'PY'
import random, sys
random.seed(7)
types = ['L-39', 'Su-24', 'Su-25', 'Su-27', 'MiG-29', 'MiG-31']
with open(sys.argv[1], 'w') as f:
    f.write('type,hours,minutes,clouds,base,top,vis_km,vis_hm,day_night,hood_close,hood_open,height\n')
    for _ in range(100000):
        base = random.choice([0, 100, 150, 200, 300, 450, 600, 800, 1000, 1500, 2500])
        top = base + random.choice([100, 300, 500, 1000, 2000, 4000])
        hood = random.random() < 0.3
        f.write(','.join(map(str, [random.choice(types), random.randint(0, 2), random.randint(0, 59),
                                   random.randint(0, 10), base, top, random.randint(1, 10),
                                   random.randint(0, 9), random.choice(['day', 'night', '']),
                                   random.randint(100, 1000) if hood else '',
                                   random.randint(1000, 6000) if hood else '',
                                   random.randint(100, 9000)])) + '\n')
PY
# With the minute columns on; exit status 1 (some rows not calculated) is a finished run too.
batch() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$bin/meltor-cli" batch -M "$@" > "$work/out.csv" ||
    [ $? -eq 1 ]
}
runs=()
for _ in 1 2 3 4 5; do
  batch "$work/flights.csv"
  runs+=("$(cat "$work/time")")
done
median=$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 3p)
read -r secs user sys rss <<< "$median"
rows=$(($(wc -l < "$work/out.csv") - 1))
printf '| meltor-cli batch -M, %d flights | %.2f s | %.0f flights/s (%.0f per CPU second), peak memory %d MB |\n' \
  "$rows" "$secs" "$(echo "$rows / $secs" | bc -l)" "$(echo "$rows / ($user + $sys)" | bc -l)" \
  "$((rss / 1024))"
# Ten times the rows: the peak memory must not grow with them.
head -1 "$work/flights.csv" > "$work/million.csv"
for _ in $(seq 10); do tail -n +2 "$work/flights.csv" >> "$work/million.csv"; done
batch --totals "$work/million.csv"
read -r secs user sys rss < "$work/time"
printf '| meltor-cli batch -M --totals, %d flights | %.2f s | peak memory %d MB |\n' \
  "$(($(wc -l < "$work/million.csv") - 1))" "$secs" "$((rss / 1024))"

# 3. The window's start to its first painted frame (offscreen).
starts=()
for _ in $(seq 1 11); do starts+=("$(QT_QPA_PLATFORM=offscreen "$bench/bench_startup" 2>/dev/null)"); done
line=$(printf '%s\n' "${starts[@]}" | sort -t= -k2 -n | sed -n 6p)
ms=$(echo "$line" | sed 's/startup_ms=\([0-9.]*\).*/\1/'); kb=$(echo "$line" | sed 's/.*peak_rss_kb=//')
printf '| window start to first frame (offscreen) | %s ms | peak memory %d MB |\n' "$ms" "$((kb / 1024))"

# 4. The picture of a flight (drawn into an image, written as SVG, encoded as PNG), and
#    meltor-cli batch --pictures on the first 1,000 of the generated flights (median of 3).
"$bench/bench_picture" --benchmark_repetitions=10 --benchmark_report_aggregates_only=true \
  --benchmark_format=csv 2>/dev/null | grep '_median' | while IFS=, read -r name _ real cpu unit _; do
  name=${name//\"/}; name=${name%_median}
  printf '| picture, %s | %.2f %s | wall %.2f %s |\n' "$name" "$cpu" "$unit" "$real" "$unit"
done
head -1001 "$work/flights.csv" > "$work/flights1000.csv"
runs=()
for _ in 1 2 3; do
  rm -rf "$work/pictures"
  /usr/bin/time -f '%e %U %S' -o "$work/time" "$bin/meltor-cli" batch "$work/flights1000.csv" \
    --pictures "$work/pictures" > /dev/null 2>&1
  runs+=("$(cat "$work/time")")
done
read -r wall user sys <<< "$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p)"
printf '| meltor-cli batch --pictures, 1000 flights | %.2f s | CPU %.2f s, %d SVG files |\n' \
  "$wall" "$(echo "$user + $sys" | bc -l)" "$(ls "$work/pictures" | wc -l)"

# 5. The journal on 100,000 flights: the totals by month (alone, and with opening the file), the
#    list of a year, the opening for writing (its page check) and an import of all of them.
"$bench/bench_journal" --benchmark_format=csv 2>/dev/null | grep -v '^name,' |
  while IFS=, read -r name _ real cpu unit _; do
    name=${name//\"/}; name=${name%/iterations:*}
    printf '| journal, %s | %.1f %s | wall %.1f %s |\n' "$name" "$cpu" "$unit" "$real" "$unit"
  done

# 6. meltor-cli journal on the same 100,000 flights, dated over two years: the import (median of 3,
#    each into a new journal; rows that are not calculated are passed over), totals by month as a
#    whole process (median of 11), and the peak memory of list and export for the first 10,000
#    flights and for all of them.
python3 - "$work/flights.csv" "$work/dated.csv" <<'PY'
import datetime, sys
with open(sys.argv[1]) as src, open(sys.argv[2], 'w') as out:
    out.write('date,' + src.readline())
    for i, line in enumerate(src):
        out.write((datetime.date(2024, 1, 1) + datetime.timedelta(days=i * 730 // 100000)).isoformat()
                  + ',' + line)
PY
head -10001 "$work/dated.csv" > "$work/dated10000.csv"
journal() { "$bin/meltor-cli" journal "$@"; }
runs=()
for _ in 1 2 3; do
  rm -f "$work/journal.sqlite"
  /usr/bin/time -f '%e %M' -o "$work/time" "$bin/meltor-cli" journal import --skip-failed \
    --journal "$work/journal.sqlite" "$work/dated.csv" > /dev/null 2>&1 || true
  runs+=("$(cat "$work/time")")
done
read -r secs rss <<< "$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 2p)"
saved=$(journal totals --journal "$work/journal.sqlite" | tail -1 | cut -d, -f3)
printf '| meltor-cli journal import, %d rows (%d saved) | %.2f s | peak memory %d MB |\n' \
  "$(($(wc -l < "$work/dated.csv") - 1))" "$saved" "$secs" "$((rss / 1024))"
journal import --skip-failed --journal "$work/journal10000.sqlite" "$work/dated10000.csv" \
  > /dev/null 2>&1 || true
runs=()
for _ in $(seq 11); do
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$bin/meltor-cli" journal totals --by month \
    --journal "$work/journal.sqlite" > /dev/null
  runs+=("$(cat "$work/time")")
done
read -r secs user sys rss <<< "$(printf '%s\n' "${runs[@]}" | sort -n | sed -n 6p)"
printf '| meltor-cli journal totals --by month, %d flights | %.3f s | whole process, CPU %.3f s; peak memory %d MB |\n' \
  "$saved" "$secs" "$(echo "$user + $sys" | bc -l)" "$((rss / 1024))"
for command in list export; do
  for size in 10000 ""; do
    rm -f "$work/listed.csv"
    if [ "$command" = list ]; then
      /usr/bin/time -f '%e %M' -o "$work/time" "$bin/meltor-cli" journal list \
        --journal "$work/journal$size.sqlite" > "$work/listed.csv"
    else
      /usr/bin/time -f '%e %M' -o "$work/time" "$bin/meltor-cli" journal export \
        --journal "$work/journal$size.sqlite" -o "$work/listed.csv" 2> /dev/null
    fi
    read -r secs rss < "$work/time"
    printf '| meltor-cli journal %s, %d flights | %.2f s | peak memory %d MB |\n' "$command" \
      "$(($(wc -l < "$work/listed.csv") - 1))" "$secs" "$((rss / 1024))"
  done
done

# 7. The journal window on a year of 100,000 flights (and of 10,000, to see what grows): from
#    making the window to the first painted frame of its list (offscreen), median of 5 fresh
#    processes, with the lines read from the journal and the peak memory.
for flights in 100000 10000; do
  QT_QPA_PLATFORM=offscreen "$bench/bench_journal_window" --make "$work/journal-$flights.sqlite" \
    "$flights" 2>/dev/null
  opens=()
  for _ in 1 2 3 4 5; do
    opens+=("$(QT_QPA_PLATFORM=offscreen "$bench/bench_journal_window" \
      "$work/journal-$flights.sqlite" 2>/dev/null)")
  done
  line=$(printf '%s\n' "${opens[@]}" | sort -t= -k2 -n | sed -n 3p)
  ms=$(echo "$line" | sed 's/journal_window_ms=\([0-9.]*\).*/\1/')
  read_lines=$(echo "$line" | sed 's/.*lines_read=\([0-9]*\).*/\1/')
  kb=$(echo "$line" | sed 's/.*peak_rss_kb=//')
  printf '| journal window, a year of %d flights to first frame (offscreen) | %s ms | %s lines read, peak memory %d MB |\n' \
    "$flights" "$ms" "$read_lines" "$((kb / 1024))"
done
