// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command_support.h"
#include "profiles.h"
#include "tables_file.h"
#include "tables_tool_commands.h"

#include <algorithm>
#include <cmath>
#include <utility>
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

using Widths = std::vector<qsizetype>;

void Widen(Widths& widths, const QStringList& line) {
  widths.resize(std::max(widths.size(), static_cast<std::size_t>(line.size())), 0);
  for (qsizetype i = 0; i < line.size(); ++i) {
    widths[static_cast<std::size_t>(i)] =
        std::max(widths[static_cast<std::size_t>(i)], line[i].size());
  }
}

// One line of right-aligned columns two blanks apart.
QString AlignedLine(const Widths& widths, const QStringList& line) {
  QString text;
  for (std::size_t i = 0; i < widths.size(); ++i) {
    if (i > 0) text += u"  "_s;
    text += line.value(static_cast<qsizetype>(i)).rightJustified(widths[i]);
  }
  return text + u'\n';
}

QString Rule(const Widths& widths) {
  qsizetype total = 0;
  for (const qsizetype w : widths) total += w;
  total += 2 * std::max<qsizetype>(0, static_cast<qsizetype>(widths.size()) - 1);
  return QString(total, u'-') + u'\n';
}

QStringList CellTexts(const std::vector<Cell>& row) {
  QStringList line;
  for (const Cell& cell : row) line << CellText(cell);
  return line;
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
  Widths widths;
  for (const QStringList& l : lines) Widen(widths, l);
  QString text;
  for (const QStringList& l : lines) text += AlignedLine(widths, l);
  Print(io.out, text);
  for (const QString& p : problems) Print(io.out, p + u'\n');
  return kExitOk;
}

// Written line by line: a table of 32765 records is not turned into one text in memory.
int Show(TablesFile& file, const QString& name, Console& io) {
  const std::optional<TableKind> kind = KindOf(name);
  const Table table = file.ReadView(name, kind.value_or(TableKind::Climb));
  QStringList head;
  if (kind != TableKind::Grid) head = QStringList{u"высота, м"_s, u"время, с"_s};
  Widths widths;
  Widen(widths, head);
  for (const auto& row : table.rows) Widen(widths, CellTexts(row));
  // The rule comes under the first line: a climb table's heading, a grid's key row.
  bool ruled = false;
  const auto write = [&](const QStringList& cells) {
    Print(io.out, AlignedLine(widths, cells));
    if (!std::exchange(ruled, true)) Print(io.out, Rule(widths));
  };
  if (!head.isEmpty()) write(head);
  for (const auto& row : table.rows) write(CellTexts(row));
  if (kind != TableKind::Grid && table.fieldCount > 2) {
    Print(io.err,
          u"meltor-cli: «%1»: полей %2; показаны первые два — высота и время, "
          u"остальные расчёт не читает\n"_s.arg(name)
              .arg(table.fieldCount));
  }
  return kExitOk;
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
  for (const QString& name : file.ViewNames()) {
    const std::optional<TableKind> kind = KindOf(name);
    if (!kind) continue;
    present << name;
    ++checked;
    try {
      const Table table = file.ReadView(name, *kind);
      if (*kind == TableKind::Grid) problems << CornerProblems(table);
    } catch (const CalcError& e) {
      problems << (e.message().contains(name) ? e.message() : u"%1: %2"_s.arg(name, e.message()));
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

  // Whatever the file holds, every failure ends in its message, never in an abort.
  try {
    const TablesLocation location = LocateTables(options);
    TablesFile file(location.path, location.searched);
    if (sub == u"list"_s) return List(file, io);
    if (sub == u"show"_s) return Show(file, words[1], io);
    return Check(file, io);
  } catch (const CalcError& e) {
    return ReportFailure(io, e.message());
  }
}

}  // namespace meltor::cli
