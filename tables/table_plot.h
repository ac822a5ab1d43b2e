// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// A picture of one type's tables as SVG: the climb curve (time against height, the records
// marked) and the in-cloud grid (one line per cloud base), every warning of the check numbered on
// the picture and listed under it. Captions in Russian. Needs a QGuiApplication (for fonts).

#include "table_csv.h"

#include <optional>
#include <vector>

namespace meltor {

struct PlotInput {
  QString title;  // "Л-39 (L39)"
  std::optional<HOblRule> rule;
  const SourcedTable* climb = nullptr;
  const SourcedTable* grid = nullptr;
  std::vector<Finding> climbFindings;
  std::vector<Finding> gridFindings;
};

// Writes the picture to `path`; false, with why in `failure`, when the file was not written.
[[nodiscard]] bool PlotTables(const QString& path, const PlotInput& input, QString* failure);

}  // namespace meltor
