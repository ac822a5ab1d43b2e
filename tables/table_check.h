// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Checks a climb table or an in-cloud grid for what makes it unusable (errors) and for what a
// person should look at (warnings). A table with errors gets no warnings: they would only echo
// the errors.
//
// Errors: a key missing, a number outside 16 bits, a time below zero, a grid wider than 24
// fields, a table without rows or keys, a grid corner not below every key and cloud base (it
// keeps the key row first).
// Warnings: a key listed twice with different times (the lookups take the last), keys neither
// ascending nor descending, an empty time, a climb time that falls as the height grows, an
// in-cloud time that falls as its column key grows, along a column a time that grows as the base
// rises (column keys are cloud tops) or falls (keys are thicknesses), and a value far out of line
// with its neighbours. A stored 0 means "no value" to the lookups and is not judged.

#include "table_csv.h"

#include <optional>
#include <vector>

namespace meltor {

std::vector<Finding> CheckClimbTable(const SourcedTable& climb);

// `rule` says what the column keys are (nullopt: not known, the column direction is not judged).
// `ceiling` is the highest height of the type's climb table: a layer whose top lies above it ends
// at the ceiling, so its time may fall as the base rises.
std::vector<Finding> CheckGridTable(const SourcedTable& grid, std::optional<HOblRule> rule,
                                    std::optional<double> ceiling);

// The highest height of a climb table, if it has one.
std::optional<double> ClimbCeiling(const Table& climb);

bool HasErrors(const std::vector<Finding>& findings);

}  // namespace meltor
