// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "type_tables.h"

#include "table_check.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

std::optional<SourcedTable> FromView(TablesFile& file, const QString& name, TableKind kind,
                                     std::vector<Finding>& findings) {
  try {
    SourcedTable t;
    t.table = file.ReadView(name, kind);
    t.source = name;
    return t;
  } catch (const CalcError& e) {
    findings.push_back({Finding::Error, {}, e.message()});
    return std::nullopt;
  }
}

// Reads one table: the CSV in `folder` if there is one, else the view of `file`.
void Load(TypeTables& t, TableKind kind, const QString& folder, LazyFile& file,
          const CsvReading& reading) {
  auto& table = kind == TableKind::Climb ? t.climb : t.grid;
  auto& findings = kind == TableKind::Climb ? t.climbFindings : t.gridFindings;
  const QString csv =
      folder.isEmpty() ? QString() : QDir(folder).filePath(CsvFileName(t.suffix, kind));
  const QFileInfo info(csv);
  if (!csv.isEmpty() && (info.exists() || info.isSymLink())) {
    t.fromFolder = true;
    QString note;
    table = ReadCsvTable(csv, kind, reading, findings, &note);
    if (!note.isEmpty()) t.guessed.emplace_back(info.fileName(), note);
  } else if (TablesFile* f = file.Get(findings)) {
    table = FromView(*f, ViewName(t.suffix, kind), kind, findings);
  }
}

void CheckType(TypeTables& t) {
  const std::optional<HOblRule> rule =
      t.profile ? std::optional<HOblRule>(t.profile->rule) : std::nullopt;
  if (t.climb) {
    const auto more = CheckClimbTable(*t.climb);
    t.climbFindings.insert(t.climbFindings.end(), more.begin(), more.end());
  }
  if (t.grid) {
    const auto more =
        CheckGridTable(*t.grid, rule, t.climb ? ClimbCeiling(t.climb->table) : std::nullopt);
    t.gridFindings.insert(t.gridFindings.end(), more.begin(), more.end());
  }
}

void ReleaseCells(TypeTables& t) {
  for (std::optional<SourcedTable>* table : {&t.climb, &t.grid}) {
    if (*table) std::vector<std::vector<Cell>>().swap((*table)->table.rows);
  }
}

// The suffix of a view named like a type's table.
std::optional<QString> SuffixOf(const QString& view) {
  for (const QLatin1StringView prefix : {kClimbPrefix, kGridPrefix}) {
    if (view.startsWith(prefix)) return view.mid(prefix.size());
  }
  return std::nullopt;
}

}  // namespace

QString ViewName(const QString& suffix, TableKind kind) {
  return QString(kind == TableKind::Climb ? kClimbPrefix : kGridPrefix) + suffix;
}

std::optional<TableKind> KindOfView(const QString& name) {
  if (name.startsWith(kClimbPrefix)) return TableKind::Climb;
  if (name.startsWith(kGridPrefix)) return TableKind::Grid;
  return std::nullopt;
}

QString TypeSuffixes() {
  QStringList names;
  for (const AircraftProfile& p : AircraftProfiles()) names << QString::fromLatin1(p.suffix);
  return names.join(u", "_s);
}

TablesFile* LazyFile::Get(std::vector<Finding>& findings) {
  if (!file_ && !error_) {
    try {
      file_ = std::make_unique<TablesFile>(path_, searched_);
    } catch (const CalcError& e) {
      error_ = e.message();
    }
  }
  if (error_ && !reported_) findings.push_back({Finding::Error, {}, *error_});
  reported_ = reported_ || error_;
  return file_.get();
}

std::vector<TypeTables> LoadTypes(const QString& folder, LazyFile& file, const CsvReading& reading,
                                  const AircraftProfile* only, bool keep) {
  std::vector<TypeTables> types;
  for (const AircraftProfile& p : AircraftProfiles()) {
    if (only && only != &p) continue;
    TypeTables t;
    t.suffix = QString::fromLatin1(p.suffix);
    t.profile = &p;
    Load(t, TableKind::Climb, folder, file, reading);
    Load(t, TableKind::Grid, folder, file, reading);
    CheckType(t);
    if (!keep) ReleaseCells(t);
    types.push_back(std::move(t));
  }
  return types;
}

std::vector<TypeTables> LoadOtherTypes(LazyFile& file, std::vector<Finding>& findings) {
  TablesFile* f = file.Get(findings);
  if (!f) return {};
  QStringList views;
  try {
    views = f->ViewNames();
  } catch (const CalcError& e) {
    findings.push_back({Finding::Error, {}, e.message()});
    return {};
  }
  QStringList suffixes;
  for (const QString& view : views) {
    const std::optional<QString> suffix = SuffixOf(view);
    const auto& all = AircraftProfiles();
    const bool known =
        suffix && std::any_of(all.begin(), all.end(), [&](const AircraftProfile& p) {
          return suffix->compare(QLatin1StringView(p.suffix), Qt::CaseInsensitive) == 0;
        });
    if (suffix && !known && !suffixes.contains(*suffix)) suffixes << *suffix;
  }
  std::vector<TypeTables> types;
  for (const QString& suffix : suffixes) {
    TypeTables t;
    t.suffix = suffix;
    for (const TableKind kind : {TableKind::Climb, TableKind::Grid}) {
      if (views.contains(ViewName(suffix, kind))) Load(t, kind, {}, file, CsvReading{});
    }
    CheckType(t);
    ReleaseCells(t);
    types.push_back(std::move(t));
  }
  return types;
}

std::vector<Finding> StrayFiles(const QString& folder) {
  QStringList known;
  for (const AircraftProfile& p : AircraftProfiles()) {
    for (const TableKind kind : {TableKind::Climb, TableKind::Grid}) {
      known << CsvFileName(QString::fromLatin1(p.suffix), kind);
    }
  }
  std::vector<Finding> out;
  const QStringList present = QDir(folder).entryList({u"*.csv"_s, u"*.CSV"_s}, QDir::Files);
  if (std::none_of(known.begin(), known.end(),
                   [&](const QString& name) { return present.contains(name); })) {
    out.push_back({Finding::Warning, folder,
                   u"в папке нет ни одного файла таблиц — все таблицы берутся из файла"_s});
  }
  for (const QString& name : present) {
    if (!known.contains(name)) {
      out.push_back({Finding::Warning, name,
                     u"файл не относится ни к одной таблице и не читается; имена файлов: "
                     u"L39_pod.csv, L39_obl.csv и так далее для %1"_s.arg(TypeSuffixes())});
    }
  }
  return out;
}

std::vector<CsvFile> ExportFiles(TablesFile& file, const AircraftProfile* only, CsvStyle style,
                                 std::vector<Finding>& findings) {
  std::vector<CsvFile> files;
  for (const AircraftProfile& profile : AircraftProfiles()) {
    if (only && only != &profile) continue;
    const QString suffix = QString::fromLatin1(profile.suffix);
    const auto climb =
        FromView(file, ViewName(suffix, TableKind::Climb), TableKind::Climb, findings);
    const auto grid = FromView(file, ViewName(suffix, TableKind::Grid), TableKind::Grid, findings);
    if (climb)
      files.push_back({CsvFileName(suffix, TableKind::Climb), ClimbCsv(climb->table, style)});
    if (grid) {
      files.push_back(
          {CsvFileName(suffix, TableKind::Grid), GridCsv(grid->table, profile.rule, style)});
    }
  }
  return files;
}

}  // namespace meltor
