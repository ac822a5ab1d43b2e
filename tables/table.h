// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace meltor {

// One view of the tables file as read: its records in the view's own order. A cell is a number
// or empty (NULL).
using Cell = std::optional<double>;

struct Table {
  QString name;
  int fieldCount = 0;
  std::vector<std::vector<Cell>> rows;  // fieldCount cells each; a climb table keeps two

  int recordCount() const { return static_cast<int>(rows.size()); }
};

// What a lookup needs of a view.
enum class TableKind {
  Climb,  // below-cloud: field 1 height, field 2 climb time; further fields unused
  Grid,   // in-cloud: key row (corner, column keys), then one row per cloud base
};

inline constexpr int kMaxRecords = 32765;
inline constexpr int kMaxGridFields = 24;

}  // namespace meltor
