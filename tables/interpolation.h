// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Linear interpolation in the climb tables, to exactly the numbers of the worksheet procedure
// the tables were made for: exact scans where the last match wins, a stored time of 0 counting as
// missing, the neighbours directly below and above the key, the formula evaluated in double in
// the order (K - k0) / (k1 - k0) * (t1 - t0) + t0, and an empty neighbour counting as key 0 and
// time 0.

#include "table.h"

#include "errors.h"
#include "numbers.h"

namespace meltor {

struct OneKeyResult {
  Int16 value = 0;
  enum How { Exact, Between, AboveTop, BelowBottom, NeighbourRow } how = Exact;
  double k0 = 0, t0 = 0, k1 = 0, t1 = 0;  // the two points of the formula
  double raw = 0;                         // the formula's value before truncation
};

// The time for `key` in a climb table (field 1 height, field 2 time). `keyField` is the input
// field the key came from, for the error message.
OneKeyResult InterpolateOneKey(const Table& table, Int16 key, Field keyField);

struct GridResult {
  Int16 value = 0;
  bool columnFound = true;  // HObl is one of the column keys
  bool rowFound = true;     // the time was read in a cloud-base row equal to Hn
  double h0 = 0, h1 = 0;    // the column keys around HObl (when interpolated)
  double a0 = 0, a1 = 0;    // the cloud bases around Hn (when interpolated)
  double v0 = 0, v1 = 0;    // the values in those rows, in HObl's column
  double raw = 0;           // the value before truncation: stored, or from the formulas
};

// The in-cloud time for cloud base `hn` and key `hObl` in an in-cloud grid.
GridResult InterpolateGrid(const Table& grid, Int16 hn, Int16 hObl);

}  // namespace meltor
