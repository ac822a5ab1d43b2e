// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Read-only access to the SQLite tables file. The named tables are views; each view yields its
// records in its own order. Reading never creates, changes or removes a file: not the tables
// file, nor a journal beside it.
//
// How failures travel in tables/:
// - Reading the tables file for a calculation (TablesFile, the interpolation, FileClimbTables)
//   throws CalcError (ErrorKind::Table) naming the file, view, record and field: the calculation's
//   own failure, which CalculateFlight turns into its outcome (results "-" and the message).
// - The table keeper's tools (table_csv.h, table_check.h, type_tables.h) throw nothing: a problem
//   in the data is a Finding (an error or a warning, with its place) in a list, and what the
//   tables file throws is caught where a tool reads it and becomes such a Finding.
// - Writing a file (BuildTablesFile, PlotTables) returns a bool, with why it failed in a QString*,
//   as files::FileWriter does.

#include "errors.h"
#include "table.h"

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace meltor {

inline constexpr char kTablesFileName[] = "FlightTables1.mdb";

// The most one query of a view may take.
inline constexpr int kQueryMilliseconds = 3000;
// The most one open of the file may take for all its queries together. A command opens the file
// once (a calculation: at most twice, the cloud lookups and then the hood lookup).
inline constexpr int kFileMilliseconds = 10'000;
// The largest value a view may yield in one cell.
inline constexpr int kMaxValueBytes = 1'000'000;
// The most heap SQLite may hold in the program, whatever the file's schema or views ask for.
inline constexpr qint64 kSqliteHeapBytes = 64 * 1024 * 1024;

struct ViewInfo {
  QString name;
  int fieldCount = 0;
  int recordCount = 0;  // -1 when the view's query fails
  QString problem;      // why the view could not be read, if it could not
};

class TablesFile {
 public:
  // Opens `path` read-only and reads its schema. `searched` lists every place looked at, for the
  // message when the file is missing. Anything but a regular file (after symlinks) is refused
  // at once. Throws CalcError (ErrorKind::Table) with a message that says what is wrong.
  explicit TablesFile(const QString& path, const QStringList& searched = {});
  ~TablesFile();
  TablesFile(const TablesFile&) = delete;
  TablesFile& operator=(const TablesFile&) = delete;

  const QString& path() const { return path_; }

  // Throws when the file has no view of that name.
  void RequireView(const QString& name);

  // Runs the view as far as its first record, without reading it: throws, with the message
  // ReadView would give, when the view is missing or its query fails (a table or column it
  // selects from is gone).
  void RunView(const QString& name);

  // Reads the whole view and checks it for `kind`: at least one record (a grid: a key row with at
  // least one column key and at least one cloud-base row), at most 32765 records, a grid at most
  // 24 fields, every cell a lookup reads a number within 16 bits (empty allowed for times),
  // heights and keys present. Throws CalcError naming the view, record and field. Only the cells
  // a lookup reads are kept: a climb table's rows hold its first two fields, whatever
  // `fieldCount` says.
  Table ReadView(const QString& name, TableKind kind);

  // The names of the file's views, sorted.
  QStringList ViewNames();

  // Every view in the file, sorted by name, with its shape (counting stops past 32765 records).
  // Once the time for the whole open is spent, the views not yet counted say so.
  QList<ViewInfo> Views();

 private:
  struct Failure {
    QString text;
    bool wholeFile = true;  // false when only the view's query is at fault
  };

  void Open(const QByteArray& header);
  [[noreturn]] void FailRead(const QString& view = {}) const;
  Failure Problem() const;
  bool TimeIsUp() const;

  QString path_;
  sqlite3* db_ = nullptr;
  QElapsedTimer opened_;  // bounds the whole open
  QElapsedTimer query_;   // restarted before every query
};

// Checks a table made elsewhere (not by ReadView, which checks as it reads) for the rules of
// `kind` (see ReadView). Throws CalcError.
void CheckTable(const Table& table, TableKind kind);

// The tables file the program uses: FlightTables1.mdb in the program's directory, or, for an
// installed program, in its data directory (share/meltor next to bin). `searched` receives every
// path looked at. Needs a QCoreApplication.
QString DefaultTablesPath(QStringList* searched = nullptr);

}  // namespace meltor
