// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Climb tables as CSV files, in the shape one copies from a flight manual: the climb table as
// "height_m,time_s" rows, the in-cloud grid with the column keys in its first row (the corner cell
// says what the keys are) and one row per cloud base. UTF-8; on input a byte order mark, CRLF,
// ';' or tab as delimiter and comma decimals are accepted.

#include "profiles.h"
#include "table.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace meltor {

// A table together with where its rows came from, so that a message can name a cell the way a
// person counts: a CSV file's line and column, or a view's record and field.
struct SourcedTable {
  Table table;
  QString source;  // the CSV file's name, or the view's
  bool fromCsv = false;
  std::vector<int> lines;  // CSV only: the file line of each table row, from 1

  // "L39_pod.csv, строка 5, столбец 2" or "«Z_Time_Pod_L39», запись 4, поле 2". `row` and
  // `column` count from 0 in the table; a negative column names the whole row.
  QString Place(int row, int column) const;
};

// One problem found in a table. Errors make a table unusable; warnings ask a person to look.
struct Finding {
  enum Severity { Error, Warning } severity = Error;
  QString place;  // as SourcedTable::Place words it
  QString text;
  int row = -1;  // the cell in the table, from 0; -1 when the problem is not one cell's
  int column = -1;
};

inline constexpr qint64 kMaxCsvBytes = 16 * 1024 * 1024;

// "L39_pod.csv" for the climb table of suffix L39, "L39_obl.csv" for its grid.
QString CsvFileName(const QString& suffix, TableKind kind);

struct CsvStyle {
  char delimiter = ',';  // with ';' numbers get comma decimals, as spreadsheets expect
  bool byteOrderMark = false;
};

// The CSV text of a climb table (height and time of every record, in the table's order) or of
// an in-cloud grid (its records and fields in order; the corner cell names the column keys).
QByteArray ClimbCsv(const Table& table, CsvStyle style);
QByteArray GridCsv(const Table& grid, HOblRule rule, CsvStyle style);

// Reads a table from CSV text. Every cell that is not a number, every ragged row and a file with
// no rows become errors in `findings`, each naming `name`, the line and the column; nullopt when
// there was any. The grid's corner cell is left empty: it is text for the reader.
std::optional<SourcedTable> ParseCsvTable(const QByteArray& bytes, const QString& name,
                                          TableKind kind, std::vector<Finding>& findings);

// The same from a file, refusing one larger than kMaxCsvBytes before reading it.
std::optional<SourcedTable> ReadCsvTable(const QString& path, TableKind kind,
                                         std::vector<Finding>& findings);

}  // namespace meltor
