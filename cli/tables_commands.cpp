// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "command_support.h"
#include "tables_file.h"
#include "tables_tool_commands.h"
#include "type_tables.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

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

int ListViews(TablesFile& file, Console& io) {
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
int ShowView(TablesFile& file, const QString& name, Console& io) {
  const std::optional<TableKind> kind = KindOfView(name);
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
          u"остальные расчёт не читает\n"_s.arg(name, QString::number(table.fieldCount)));
  }
  return kExitOk;
}

// Whatever the file holds, every failure ends in its message, never in an abort.
template <typename Action>
int OnTablesFile(const ParsedOptions& options, Console& io, Action action) {
  try {
    const TablesLocation location = LocateTables(options);
    TablesFile file(location.path, location.searched);
    return action(file);
  } catch (const CalcError& e) {
    return ReportFailure(io, e.message());
  }
}

int RunList(const Call& call, Console& io) {
  return OnTablesFile(call.options, io, [&](TablesFile& file) { return ListViews(file, io); });
}

int RunShow(const Call& call, Console& io) {
  return OnTablesFile(call.options, io, [&](TablesFile& file) {
    return ShowView(file, call.options.positionals.front(), io);
  });
}

}  // namespace

Command TablesCommand() {
  Command list{
      .name = u"list"_s,
      .summary = u"представления файла таблиц с числом полей и записей"_s,
      .description = {u"Представления (VIEW) файла таблиц с числом полей и записей; "
                      u"представление, которое не читается, — с причиной."_s},
      .options = TablesOption(),
      .run = RunList,
  };
  Command show{
      .name = u"show"_s,
      .arguments = u"ИМЯ"_s,
      .minArguments = 1,
      .maxArguments = 1,
      .missingArguments = u"нужно имя таблицы"_s,
      .summary = u"одна таблица в виде сетки"_s,
      .description = {u"Одна таблица (представление ИМЯ) в виде сетки: таблица набора высоты — "
                      u"высота и время, таблица времени в облаках — строка ключей столбцов, затем "
                      u"по строке на нижнюю границу облачности."_s},
      .options = TablesOption(),
      .run = RunShow,
  };
  std::vector<Command> subcommands{std::move(list), std::move(show), CheckCommand(),
                                   ExportCommand(), BuildCommand(),  PlotCommand()};
  QStringList names;
  for (const Command& c : subcommands) names << c.name;
  return {
      .name = u"tables"_s,
      .summary = u"таблицы набора высоты: "_s + names.join(u", "_s),
      .description = {u"Таблицы набора высоты: посмотреть, проверить, выгрузить в файлы CSV для "
                      u"электронной таблицы, собрать из них новый файл таблиц, нарисовать."_s},
      .options = TablesOption(),
      .subcommands = std::move(subcommands),
  };
}

}  // namespace meltor::cli
