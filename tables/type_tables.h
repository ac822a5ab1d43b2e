// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The tables of each aircraft type as the table keeper's tools take them: from the CSV files of a
// folder where it holds them, from the views of the tables file for the rest, each checked.
// Nothing here throws: what the tables file says when it cannot be read becomes an error Finding
// of the table it was read for.

#include "profiles.h"
#include "table_csv.h"
#include "tables_file.h"

#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace meltor {

inline constexpr QLatin1StringView kClimbPrefix("Z_Time_Pod_");
inline constexpr QLatin1StringView kGridPrefix("Z_Time_Obl_");

// "Z_Time_Pod_L39" for the climb table of suffix L39, "Z_Time_Obl_L39" for its grid.
QString ViewName(const QString& suffix, TableKind kind);

// The kind of table a view's name says it is; nullopt for a name of neither kind.
std::optional<TableKind> KindOfView(const QString& name);

// The suffixes of the types' tables: "L39, Su24, Su25, Su27, MiG29, MiG31".
QString TypeSuffixes();

// One type's two tables with what the check found in them.
struct TypeTables {
  QString suffix;
  const AircraftProfile* profile = nullptr;  // null for views of a suffix the program lacks
  std::optional<SourcedTable> climb;
  std::optional<SourcedTable> grid;
  std::vector<Finding> climbFindings;
  std::vector<Finding> gridFindings;
  bool fromFolder = false;  // at least one table came from CSV
  // The CSV files read in an encoding the reader guessed: the file's name and the reader's note.
  std::vector<std::pair<QString, QString>> guessed;
};

// The tables file, opened when first needed; why it cannot be opened is told once.
class LazyFile {
 public:
  explicit LazyFile(QString path, QStringList searched = {})
      : path_(std::move(path)), searched_(std::move(searched)) {}

  // The open file, or null with the reason added to `findings` (the first time only).
  TablesFile* Get(std::vector<Finding>& findings);
  const QString& path() const { return path_; }
  void Close() { file_.reset(); }

 private:
  QString path_;
  QStringList searched_;
  std::unique_ptr<TablesFile> file_;
  std::optional<QString> error_;
  bool reported_ = false;
};

// The six types (or the one `only` names) from `folder` (where it holds their CSV files; empty:
// none) and `file` (for the rest), checked. Whatever stands in the folder under a table's name is
// the table's: a folder, a pipe or a link to nothing is an error, never a reason to take the table
// from the file. `keep` false: only the findings are wanted, so each type's cells go once it is
// checked and a file of six tables at their largest is never held whole.
std::vector<TypeTables> LoadTypes(const QString& folder, LazyFile& file, const CsvReading& reading,
                                  const AircraftProfile* only = nullptr, bool keep = true);

// The views of the file named like a type's tables whose suffix names no type of the program,
// checked as far as that goes without knowing the type; their cells are not kept. Why the views
// cannot be listed goes to `findings`.
std::vector<TypeTables> LoadOtherTypes(LazyFile& file, std::vector<Finding>& findings);

// The CSV files in `folder` that belong to no table (a misspelt name would otherwise silently
// leave the old table in place), and a folder that holds none of the tables' files: warnings.
std::vector<Finding> StrayFiles(const QString& folder);

struct CsvFile {
  QString name;  // "L39_pod.csv"
  QByteArray bytes;
};

// Every type's tables (or those of `only`) as the CSV files an export writes. A table that
// cannot be read is an error in `findings` and has no file.
std::vector<CsvFile> ExportFiles(TablesFile& file, const AircraftProfile* only, CsvStyle style,
                                 std::vector<Finding>& findings);

}  // namespace meltor
