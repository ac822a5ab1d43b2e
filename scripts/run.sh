#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# SPDX-FileCopyrightText: Meltor contributors
# Sets up, builds and starts Meltor with its shipped tables. Builds only the two programs and the
# tables file; scripts/test.sh builds the tests and benchmarks too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run
cmake --preset default
cmake --build --preset default --target meltor meltor-cli meltor_tables_file
exec build/default/bin/meltor "$@"
