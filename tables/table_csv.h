// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Climb tables as CSV files, in the shape one copies from a flight manual: the climb table as
// "height_m,time_s" rows, the in-cloud grid with the column keys in its first row (the corner cell
// says what the keys are) and one row per cloud base. Written in UTF-8; read as a spreadsheet
// saves them (see CsvReader): a byte order mark, CRLF, ';' or tab as the delimiter, Windows-1251,
// and numbers with a decimal comma and blanks between groups of digits.

#include "csv.h"
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

// A cell's text as a number: blanks around it, a leading '+', a comma for the decimal point and
// an ordinary, no-break or narrow no-break space between groups of three digits («1 000,5») are
// allowed; nothing else.
std::optional<double> ParseTableNumber(const QString& text);

// How the CSV files are read: their encoding and delimiter (nullopt: from the first record).
struct CsvReading {
  CsvEncoding encoding = CsvEncoding::Auto;
  std::optional<char> delimiter;
};

// Reads a table from CSV. Every cell that is not a number, every ragged or unreadable row and a
// file with no rows become errors in `findings`, each naming `name`, the line and the column;
// nullopt when there was any. The grid's corner cell is left empty: it is text for the reader.
// Reading stops past kMaxCsvBytes. `note` receives what the reader says about an encoding it
// guessed (CsvReader::encodingNote), empty when it guessed none.
std::optional<SourcedTable> ReadCsvTable(QIODevice& in, const QString& name, TableKind kind,
                                         const CsvReading& reading, std::vector<Finding>& findings,
                                         QString* note = nullptr);

// The same from a file. Anything but a regular file (a folder, a pipe, a device), a symbolic link
// to nothing and a file larger than kMaxCsvBytes are refused before anything is read.
std::optional<SourcedTable> ReadCsvTable(const QString& path, TableKind kind,
                                         const CsvReading& reading, std::vector<Finding>& findings,
                                         QString* note = nullptr);

}  // namespace meltor
