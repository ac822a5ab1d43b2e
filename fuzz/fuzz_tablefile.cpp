// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Reads arbitrary bytes as a tables file: every view it may hold, as a climb table and as a
// grid. Must end in tables or a clear error, and never write to the file.
#include "tables_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace meltor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("FlightTables1.mdb"));
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) std::abort();
    f.write(bytes);
  }
  try {
    TablesFile file(path);
    for (const ViewInfo& v : file.Views()) {
      for (TableKind kind : {TableKind::Climb, TableKind::Grid}) {
        try {
          file.ReadView(v.name, kind);
        } catch (const CalcError& e) {
          if (e.message().isEmpty()) std::abort();
        }
      }
    }
    file.RequireView(QStringLiteral("Z_Time_Pod_L39"));
  } catch (const CalcError& e) {
    if (e.message().isEmpty()) std::abort();
  }
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.readAll() != bytes) std::abort();  // never written
  return 0;
}
