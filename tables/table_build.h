// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Writes a complete tables file: the two base tables and, for every type, the climb view
// "Z_Time_Pod_S" and the grid view "Z_Time_Obl_S", in the layout of the shipped file. Records
// keep their order and their cells exactly: fractions, and empty cells as NULL.

#include "table.h"

#include <QString>

#include <vector>

namespace meltor {

struct BuildType {
  QString suffix;  // the table names' suffix, "L39"
  const Table* climb = nullptr;
  const Table* grid = nullptr;
};

// The file is written under a temporary name beside `path` and renamed into place only when
// complete, so a failure leaves no file and an existing one as it was. An existing file is
// replaced only when `replace` is set; a link is followed to its file, a link to nothing refused,
// a device or FIFO written straight through (files::FileWriter). False, with what failed in
// `failure`, when the file was not written.
[[nodiscard]] bool BuildTablesFile(const QString& path, const std::vector<BuildType>& types,
                                   bool replace, QString* failure);

}  // namespace meltor
