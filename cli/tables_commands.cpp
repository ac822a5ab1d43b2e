// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command_support.h"
#include "profiles.h"
#include "tables_file.h"
#include "tables_tool_commands.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

constexpr QLatin1StringView kClimbPrefix("Z_Time_Pod_");
constexpr QLatin1StringView kGridPrefix("Z_Time_Obl_");

std::optional<TableKind> KindOf(const QString& view) {
  if (view.startsWith(kClimbPrefix)) return TableKind::Climb;
  if (view.startsWith(kGridPrefix)) return TableKind::Grid;
  return std::nullopt;
}

const std::vector<OptionInfo>& TablesOptions() {
  static const std::vector<OptionInfo> options{TablesOption()};
  return options;
}

QString CellText(const Cell& cell) {
  if (!cell) return {};
  const double v = *cell;
  if (v == std::trunc(v) && std::fabs(v) < 1e15) return QString::number(static_cast<qint64>(v));
  return QString::number(v, 'g', 15);
}

// Right-aligned columns two blanks apart; a rule of dashes after the lines listed in `ruleAfter`.
QString AlignedText(const std::vector<QStringList>& lines,
                    const std::vector<std::size_t>& ruleAfter) {
  std::vector<qsizetype> widths;
  for (const QStringList& line : lines) {
    widths.resize(std::max(widths.size(), static_cast<std::size_t>(line.size())), 0);
    for (qsizetype i = 0; i < line.size(); ++i) {
      widths[static_cast<std::size_t>(i)] =
          std::max(widths[static_cast<std::size_t>(i)], line[i].size());
    }
  }
  qsizetype total = 0;
  for (const qsizetype w : widths) total += w;
  total += 2 * std::max<qsizetype>(0, static_cast<qsizetype>(widths.size()) - 1);

  QString text;
  for (std::size_t l = 0; l < lines.size(); ++l) {
    for (std::size_t i = 0; i < widths.size(); ++i) {
      if (i > 0) text += u"  "_s;
      const QString cell = lines[l].value(static_cast<qsizetype>(i));
      text += cell.rightJustified(widths[i]);
    }
    text += u'\n';
    if (std::find(ruleAfter.begin(), ruleAfter.end(), l) != ruleAfter.end()) {
      text += QString(total, u'-') + u'\n';
    }
  }
  return text;
}

// Opens the tables file; on failure reports it and returns null.
std::unique_ptr<TablesFile> Open(const ParsedOptions& options, Console& io) {
  const TablesLocation location = LocateTables(options);
  try {
    return std::make_unique<TablesFile>(location.path, location.searched);
  } catch (const CalcError& e) {
    ReportFailure(io, e.message());
    return nullptr;
  }
}

int List(TablesFile& file, Console& io) {
  std::vector<QStringList> lines{{u"Представление"_s, u"Полей"_s, u"Записей"_s}};
  QStringList problems;
  for (const ViewInfo& v : file.Views()) {
    lines.push_back({v.name, QString::number(v.fieldCount),
                     v.recordCount < 0 ? u"—"_s : QString::number(v.recordCount)});
    if (!v.problem.isEmpty()) problems << u"%1: %2"_s.arg(v.name, v.problem);
  }
  // The names are left-aligned, the counts right-aligned.
  qsizetype nameWidth = 0;
  for (const QStringList& l : lines) nameWidth = std::max(nameWidth, l[0].size());
  for (QStringList& l : lines) l[0] = l[0].leftJustified(nameWidth);
  Print(io.out, AlignedText(lines, {}));
  for (const QString& p : problems) Print(io.out, p + u'\n');
  return kExitOk;
}

int Show(TablesFile& file, const QString& name, Console& io) {
  try {
    const Table table = file.ReadView(name, KindOf(name).value_or(TableKind::Climb));
    std::vector<QStringList> lines;
    std::vector<std::size_t> ruleAfter;
    if (KindOf(name) == TableKind::Grid) {
      // The key row above the rule; the cloud bases down the first column.
      ruleAfter.push_back(0);
    } else {
      QStringList head{u"высота, м"_s, u"время, с"_s};
      for (int f = 3; f <= table.fieldCount; ++f) head << u"поле %1"_s.arg(f);
      lines.push_back(head);
      ruleAfter.push_back(0);
    }
    for (const auto& row : table.rows) {
      QStringList line;
      for (const Cell& cell : row) line << CellText(cell);
      lines.push_back(line);
    }
    Print(io.out, AlignedText(lines, ruleAfter));
    return kExitOk;
  } catch (const CalcError& e) {
    return ReportFailure(io, e.message());
  }
}

// The corner of a grid is a sort sentinel: it must lie below every column key and every cloud
// base, or the rows would sort wrongly around it.
QStringList CornerProblems(const Table& grid) {
  QStringList problems;
  if (grid.rows.empty() || grid.rows.front().empty()) return problems;
  const Cell corner = grid.rows.front().front();
  if (!corner) return {u"%1: в первой записи нет углового числа (поле 1)"_s.arg(grid.name)};

  QStringList keys;
  const auto& keyRow = grid.rows.front();
  for (std::size_t f = 1; f < keyRow.size(); ++f) {
    if (keyRow[f] && *keyRow[f] <= *corner) keys << CellText(keyRow[f]);
  }
  if (!keys.isEmpty()) {
    problems << u"%1: угловое число %2 не меньше ключей столбцов: %3"_s.arg(
        grid.name, CellText(corner), keys.join(u", "_s));
  }
  QStringList bases;
  for (std::size_t r = 1; r < grid.rows.size(); ++r) {
    const Cell& base = grid.rows[r].empty() ? Cell{} : grid.rows[r].front();
    if (base && *base <= *corner) bases << CellText(base);
  }
  if (!bases.isEmpty()) {
    problems << u"%1: угловое число %2 не меньше высот нижней границы: %3"_s.arg(
        grid.name, CellText(corner), bases.join(u", "_s));
  }
  return problems;
}

int Check(TablesFile& file, Console& io) {
  QStringList problems;
  QStringList present;
  int checked = 0;
  for (const ViewInfo& v : file.Views()) {
    const std::optional<TableKind> kind = KindOf(v.name);
    if (!kind) continue;
    present << v.name;
    ++checked;
    try {
      const Table table = file.ReadView(v.name, *kind);
      CheckTable(table, *kind);
      if (*kind == TableKind::Grid) problems << CornerProblems(table);
    } catch (const CalcError& e) {
      problems << (e.message().contains(v.name) ? e.message()
                                                : u"%1: %2"_s.arg(v.name, e.message()));
    }
  }
  for (const AircraftProfile& p : AircraftProfiles()) {
    for (const QLatin1StringView prefix : {kClimbPrefix, kGridPrefix}) {
      const QString name = QString(prefix) + QString::fromLatin1(p.suffix);
      if (!present.contains(name)) {
        problems << u"%1: представления нет (тип %2)"_s.arg(name, QString::fromUtf16(p.entry));
      }
    }
  }

  for (const QString& p : problems) Print(io.out, p + u'\n');
  Print(io.err,
        problems.isEmpty()
            ? u"meltor-cli: %1: таблиц проверено: %2, проблем нет\n"_s.arg(file.path()).arg(checked)
            : u"meltor-cli: %1: таблиц проверено: %2, проблем: %3\n"_s.arg(file.path())
                  .arg(checked)
                  .arg(problems.size()));
  return problems.isEmpty() ? kExitOk : kExitFailed;
}

}  // namespace

QString TablesOptionsHelp() {
  return OptionsHelp(TablesOptions());
}

int RunTables(const QStringList& args, Console& io) {
  if (const std::optional<int> code = RunTableTools(args, io)) return *code;
  const auto parsed = ParseOptions(args, TablesOptions());
  if (const auto* usage = std::get_if<UsageError>(&parsed)) {
    return ReportUsage(io, u"tables: "_s + usage->message);
  }
  const ParsedOptions& options = std::get<ParsedOptions>(parsed);
  const QStringList& words = options.positionals;
  if (words.isEmpty()) return ReportUsage(io, u"tables: нужна подкоманда list, show или check"_s);

  const QString& sub = words.front();
  const qsizetype expected = sub == u"show"_s ? 2 : 1;
  if (sub != u"list"_s && sub != u"show"_s && sub != u"check"_s) {
    return ReportUsage(io, u"tables: неизвестная подкоманда «%1»"_s.arg(sub));
  }
  if (words.size() < expected) return ReportUsage(io, u"tables show: нужно имя таблицы"_s);
  if (words.size() > expected) {
    return ReportUsage(io, u"tables %1: лишний аргумент «%2»"_s.arg(sub, words[expected]));
  }

  const std::unique_ptr<TablesFile> file = Open(options, io);
  if (!file) return kExitFailed;
  if (sub == u"list"_s) return List(*file, io);
  if (sub == u"show"_s) return Show(*file, words[1], io);
  return Check(*file, io);
}

}  // namespace meltor::cli
