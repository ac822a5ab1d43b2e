// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command_support.h"

#include "tables_file.h"

#include <QIODevice>

using namespace Qt::StringLiterals;

namespace meltor::cli {

void Print(QIODevice& device, const QString& text) {
  device.write(text.toUtf8());
}

int ReportUsage(Console& io, const QString& message) {
  Print(io.err, u"meltor-cli: %1\nСправка: meltor-cli --help\n"_s.arg(message));
  return kExitUsage;
}

int ReportFailure(Console& io, const QString& message) {
  Print(io.err, u"meltor-cli: %1\n"_s.arg(message));
  return kExitFailed;
}

OptionInfo TablesOption() {
  return {u"tables"_s, u"FILE"_s,
          u"файл таблиц; без него — %1 в каталоге программы или в ../share/meltor"_s.arg(
              QString::fromLatin1(kTablesFileName))};
}

TablesLocation LocateTables(const ParsedOptions& options) {
  if (options.has(u"tables"_s)) {
    const QString path = options.value(u"tables"_s);
    return {path, {path}};
  }
  TablesLocation location;
  location.path = DefaultTablesPath(&location.searched);
  return location;
}

}  // namespace meltor::cli
