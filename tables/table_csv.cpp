// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_csv.h"

#include "file_kind.h"
#include "tables_file.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

#include <charconv>
#include <cmath>
#include <string>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

// Beyond this many errors in one file the rest are only counted.
constexpr int kMaxErrorsPerFile = 20;

QString NumberText(double v, char delimiter) {
  QString text = v == std::trunc(v) && std::fabs(v) < 1e15
                     ? QString::number(static_cast<qint64>(v))
                     : QString::number(v, 'g', QLocale::FloatingPointShortest);
  if (delimiter == ';') text.replace(u'.', u',');
  return text;
}

QString CellText(const Cell& cell, char delimiter) {
  return cell ? NumberText(*cell, delimiter) : QString();
}

// The records as a file holds them, after the byte order mark if the style asks for one.
QByteArray CsvText(const QList<QStringList>& records, const CsvStyle& style) {
  QBuffer buffer;
  buffer.open(QIODevice::WriteOnly);
  if (style.byteOrderMark) buffer.write("\xEF\xBB\xBF");
  CsvWriter writer(buffer, style.delimiter);
  for (const QStringList& record : records) writer.Write(record);
  return buffer.data();
}

// A blank a spreadsheet puts between groups of three digits.
bool IsGroupSeparator(QChar c) {
  return c == u' ' || c == QChar(0x00A0) || c == QChar(0x202F);
}

bool IsAsciiDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

QString ColumnName(int column) {
  // The spreadsheet letter too, for grids up to Z.
  return column < 26
             ? u"столбец %1 (%2)"_s.arg(QString::number(column + 1), QString(QChar(u'A' + column)))
             : u"столбец %1"_s.arg(column + 1);
}

}  // namespace

std::optional<double> ParseTableNumber(const QString& cell) {
  const QString text = cell.trimmed();
  std::string s;  // the number as from_chars reads it
  qsizetype i = 0;
  const auto digits = [&] {
    const qsizetype from = i;
    for (; i < text.size() && IsAsciiDigit(text[i]); ++i) s += static_cast<char>(text[i].unicode());
    return i - from;
  };
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    if (text[i] == u'-') s += '-';
    ++i;
  }
  // The whole part: digits, or one to three digits and groups of three after a separator.
  qsizetype group = digits();
  const qsizetype whole = group;
  bool grouped = false;
  while (group > 0 && i + 1 < text.size() && IsGroupSeparator(text[i]) &&
         IsAsciiDigit(text[i + 1])) {
    if (grouped ? group != 3 : group > 3) return std::nullopt;
    grouped = true;
    ++i;
    group = digits();
  }
  if (grouped && group != 3) return std::nullopt;
  qsizetype fraction = 0;
  if (i < text.size() && (text[i] == u'.' || text[i] == u',')) {
    s += '.';
    ++i;
    fraction = digits();
  }
  if (whole + fraction == 0) return std::nullopt;
  if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
    s += 'e';
    ++i;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
      s += static_cast<char>(text[i].unicode());
      ++i;
    }
    if (digits() == 0) return std::nullopt;
  }
  if (i != text.size()) return std::nullopt;
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

QString SourcedTable::Place(int row, int column) const {
  if (fromCsv) {
    const int line = row >= 0 && row < static_cast<int>(lines.size()) ? lines[row] : row + 1;
    const QString at = QString::number(line);
    return column < 0 ? u"%1, строка %2"_s.arg(source, at)
                      : u"%1, строка %2, %3"_s.arg(source, at, ColumnName(column));
  }
  const QString record = QString::number(row + 1);
  return column < 0
             ? u"«%1», запись %2"_s.arg(source, record)
             : u"«%1», запись %2, поле %3"_s.arg(source, record, QString::number(column + 1));
}

QString CsvFileName(const QString& suffix, TableKind kind) {
  return suffix + (kind == TableKind::Climb ? u"_pod.csv"_s : u"_obl.csv"_s);
}

QByteArray ClimbCsv(const Table& table, CsvStyle style) {
  QList<QStringList> records{{u"height_m"_s, u"time_s"_s}};
  for (const auto& row : table.rows) {
    records.append({CellText(row.at(0), style.delimiter),
                    CellText(row.size() > 1 ? row[1] : Cell{}, style.delimiter)});
  }
  return CsvText(records, style);
}

QByteArray GridCsv(const Table& grid, HOblRule rule, CsvStyle style) {
  QList<QStringList> records;
  for (std::size_t r = 0; r < grid.rows.size(); ++r) {
    QStringList cells;
    for (const Cell& cell : grid.rows[r]) cells << CellText(cell, style.delimiter);
    if (r == 0 && !cells.isEmpty()) {
      cells[0] = rule == HOblRule::CloudTop ? u"Нн \\ Нв, м"_s : u"Нн \\ толщина слоя, м"_s;
    }
    records.append(cells);
  }
  return CsvText(records, style);
}

std::optional<SourcedTable> ReadCsvTable(QIODevice& in, const QString& name, TableKind kind,
                                         const CsvReading& reading, std::vector<Finding>& findings,
                                         QString* note) {
  SourcedTable out;
  out.source = name;
  out.fromCsv = true;
  int errors = 0;
  const auto fail = [&](qint64 line, int column, const QString& text) {
    ++errors;
    if (errors > kMaxErrorsPerFile) return;
    const QString place =
        line <= 0    ? name
        : column < 0 ? u"%1, строка %2"_s.arg(name, QString::number(line))
                     : u"%1, строка %2, %3"_s.arg(name, QString::number(line), ColumnName(column));
    findings.push_back({Finding::Error, place, text});
  };

  CsvReader reader(in, reading.delimiter);
  reader.SetEncoding(reading.encoding);
  // One field more than the widest grid is enough to tell a row too wide; the rest are counted.
  reader.SetMaxFields(kMaxGridFields + 1);
  reader.SetMaxInputBytes(kMaxCsvBytes);
  // Where the cells of a row do not fit the first row, a delimiter misread is the likely cause.
  const auto delimiterHint = [&] {
    return reader.delimiterFound()
               ? u" (разделитель %1 определён по первой строке; другой задаёт --delimiter)"_s.arg(
                     CsvDelimiterShown(reader.delimiter()))
               : QString();
  };

  bool first = true;  // the next record is the file's first
  int width = 0;
  while (const std::optional<QStringList> record = reader.Next()) {
    const qint64 line = reader.recordLine();
    if (first && note) *note = reader.encodingNote();
    if (reader.problem()) {
      fail(reader.problem()->line, -1, reader.problem()->message);
      if (!first) continue;
      first = false;
      break;  // without its first row the table has no shape
    }
    const QStringList& cells = *record;
    if (first) {
      // The climb table's header (if it is not numbers) or the grid's key row.
      first = false;
      width = static_cast<int>(reader.filledCount());
      if (kind == TableKind::Climb) {
        if (width != 2) {
          fail(line, -1,
               u"в таблице набора высоты два столбца — высота, м и время, с; здесь %1%2"_s.arg(
                   QString::number(width), delimiterHint()));
          break;
        }
        if (!ParseTableNumber(cells[0]) || !ParseTableNumber(cells[1])) continue;
      } else if (width > kMaxGridFields) {
        fail(line, kMaxGridFields,
             u"таблица шире допустимой: %1 столбцов, а расчёт читает не более %2 (нижняя граница "
             u"и %3 ключей)"_s.arg(QString::number(width), QString::number(kMaxGridFields),
                                   QString::number(kMaxGridFields - 1)));
        break;
      }
    }
    if (out.table.rows.size() >= static_cast<std::size_t>(kMaxRecords)) {
      fail(line, -1, u"больше %1 строк таблицы — столько расчёт не читает"_s.arg(kMaxRecords));
      break;
    }
    // Empty cells after the last filled one do not count against the first row's width.
    const qsizetype fields = reader.fieldCount();
    const int count = static_cast<int>(
        fields > width ? std::max<qsizetype>(reader.filledCount(), width) : fields);
    if (count != width) {
      fail(line, std::min(count, width),
           (count > width ? u"лишняя ячейка: в строке %1 ячеек, а в первой строке %2"_s.arg(
                                QString::number(count), QString::number(width))
                          : u"нет ячейки: в строке %1 ячеек, а в первой строке %2"_s.arg(
                                QString::number(count), QString::number(width))) +
               delimiterHint());
      continue;
    }
    std::vector<Cell> row(static_cast<std::size_t>(width));
    for (int j = 0; j < width; ++j) {
      const bool corner = kind == TableKind::Grid && out.table.rows.empty() && j == 0;
      const QString cell = cells[j].trimmed();
      if (corner || cell.isEmpty()) continue;
      row[j] = ParseTableNumber(cell);
      if (!row[j]) {
        const bool delimiterLike =
            cell.contains(u',') || cell.contains(u';') || cell.contains(u'\t');
        fail(
            line, j,
            u"«%1» — не число%2"_s.arg(cell.left(40), delimiterLike ? delimiterHint() : QString()));
      }
    }
    out.table.rows.push_back(std::move(row));
    out.lines.push_back(static_cast<int>(line));
  }
  if (reader.error()) {
    fail(reader.error()->line, -1, reader.error()->message);
  } else if (first) {
    fail(0, -1, u"файл пуст — в нём нет ни одной строки таблицы"_s);
  }
  out.table.name = name;
  out.table.fieldCount = width;
  if (errors > kMaxErrorsPerFile) {
    findings.push_back(
        {Finding::Error, name, u"и ещё ошибок: %1"_s.arg(errors - kMaxErrorsPerFile)});
  }
  if (errors > 0) return std::nullopt;
  return out;
}

std::optional<SourcedTable> ReadCsvTable(const QString& path, TableKind kind,
                                         const CsvReading& reading, std::vector<Finding>& findings,
                                         QString* note) {
  const QFileInfo info(path);
  const QString name = info.fileName();
  const auto refuse = [&](const QString& text) -> std::optional<SourcedTable> {
    findings.push_back({Finding::Error, name, text});
    return std::nullopt;
  };
  // A pipe or a device would block or never end.
  if (const QString what = files::NotARegularFile(path); !what.isEmpty()) {
    return refuse(u"это %1, а не обычный файл; таблица читается только из файла"_s.arg(what));
  }
  if (info.isSymLink() && !info.exists()) {
    return refuse(u"ссылка на файл %1, которого нет"_s.arg(info.symLinkTarget()));
  }
  if (info.size() > kMaxCsvBytes) {
    return refuse(u"файл больше %1 МБ — таблица такого размера не бывает"_s.arg(kMaxCsvBytes /
                                                                                (1024 * 1024)));
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return refuse(u"не открывается: %1"_s.arg(file.errorString()));
  }
  return ReadCsvTable(file, name, kind, reading, findings, note);
}

}  // namespace meltor
