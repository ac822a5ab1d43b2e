#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Installs the Debian 12 packages Meltor needs, and only those that are missing.
#
#   scripts/install-deps.sh run    what building and running the two programs needs
#   scripts/install-deps.sh test   that and everything else: tests, sanitizers, fuzzing,
#                                  benchmarks, packaging and screenshot tools (the default)
#
# Run it as yourself: when something is missing it calls apt-get through sudo (directly when
# you are root), and nothing else runs with root rights. Idempotent.
set -euo pipefail

# Building and running.
run_packages=(
  build-essential cmake ninja-build     # compiler, build system
  qt6-base-dev qt6-base-dev-tools       # Qt Core, Gui, Widgets, PrintSupport (and Test); moc, rcc
  qt6-svg-dev                           # pictures of flights and tables as SVG
  libsqlite3-dev                        # the tables file
  fonts-dejavu-core                     # Cyrillic glyphs for the window, also headless
  fonts-liberation2                     # the window's face, metric-compatible with its layout
  qt6-translations-l10n                 # Qt's own texts (menus, buttons) in Russian
)

# The rest, for the test command.
test_packages=(
  python3                                         # tables check test, bench.sh
  clang libclang-rt-14-dev libfuzzer-14-dev       # asan preset and fuzz targets
  libbenchmark-dev bc time                        # bench_calculate, bench.sh
  llvm-14                                         # llvm-rc for the version-resource test
  appstream desktop-file-utils                    # metainfo and desktop entry validators
  dpkg-dev file lintian                           # cpack -G DEB, scripts/check-deb.sh
  librsvg2-bin                                    # scripts/icons.sh
  xvfb xdotool imagemagick openbox                # scripts/screenshot.sh
  poppler-utils                                   # pdftoppm: looking at the journal's PDF
  clang-format                                    # the code's formatting (.clang-format)
  reuse                                           # every file under its licence (a test)
  debootstrap                                     # scripts/fresh-system-check.sh
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${run_packages[@]}" "${test_packages[@]}") ;;
  *)
    echo "usage: $0 [run|test]" >&2
    exit 2
    ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps.sh: all packages present"
  exit 0
fi
echo "install-deps.sh: installing ${missing[*]}"

if [ "$(id -u)" -eq 0 ]; then
  apt_get=(apt-get)
  export DEBIAN_FRONTEND=noninteractive
elif command -v sudo >/dev/null 2>&1; then
  apt_get=(sudo apt-get)
else
  echo "install-deps.sh: these packages are missing and installing them needs root rights:" >&2
  echo "  ${missing[*]}" >&2
  echo "install sudo, or run this script once as root" >&2
  exit 1
fi
"${apt_get[@]}" update -qq
"${apt_get[@]}" install -y -qq --no-install-recommends "${missing[@]}"
