#!/usr/bin/env bash
# Sets up, builds and starts Meltor with its shipped tables.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset default
cmake --build --preset default
exec build/default/bin/meltor "$@"
