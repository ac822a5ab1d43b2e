// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Reads arbitrary bytes as a tables file: every view it may hold, as a climb table and as a grid;
// `meltor-cli tables list`, `check` and `show`; and the lookups of two flights, one per
// file-reading mode. Each must end in tables or a clear message, and the file must be left as it
// was, with nothing created beside it.
#include "calculation.h"
#include "climb_tables.h"
#include "commands.h"
#include "tables_file.h"
#include "test_flights.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

using namespace meltor;
using namespace Qt::StringLiterals;

namespace {

// An L-39 flight that meets cloud, climbs above its top and uses the hood: all three lookups.
FlightInput CloudFlightWithHood() {
  return test::Changed(test::L39Flight(), u"Hn=750 Hv=1500 ShtorkaZ=1000 ShtorkaO=2000"_s);
}

void RunTablesCommand(const QStringList& args) {
  QBuffer in;
  in.open(QIODevice::ReadOnly);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QBuffer err;
  err.open(QIODevice::WriteOnly);
  cli::Console console{in, out, err, false, QLocale::c()};
  const int code = cli::Run(args, console);
  if (code != cli::kExitOk && code != cli::kExitFailed) std::abort();
  if (code == cli::kExitFailed && err.data().isEmpty()) std::abort();  // every failure says why
}

}  // namespace

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

  for (const char* sub : {"list", "check"}) {
    RunTablesCommand(
        {QStringLiteral("tables"), QString::fromLatin1(sub), QStringLiteral("--tables"), path});
  }
  RunTablesCommand({QStringLiteral("tables"), QStringLiteral("show"),
                    QStringLiteral("Z_Time_Obl_L39"), QStringLiteral("--tables"), path});

  for (const auto mode : {FileClimbTables::Mode::Fresh, FileClimbTables::Mode::Snapshot}) {
    FileClimbTables tables(path, {}, mode);
    const CalcOutcome out = CalculateFlight(CloudFlightWithHood(), tables, QLocale::c());
    if (!out.ok() && out.error->message().isEmpty()) std::abort();
  }

  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || f.readAll() != bytes) std::abort();  // never written
  if (QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size() != 1) {
    std::abort();  // no journal or other file made beside it
  }
  return 0;
}
