// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "table_csv.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

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

std::optional<double> ParseNumber(QString text);

// Quoted: a cell that holds the delimiter, a quote or a line break, and a text (not a number with
// a decimal comma) that holds any character a reader may take for the delimiter — the corner
// cell «Нн \ Нв, м» of a ';' file must not make the reader split on its comma.
bool NeedsQuotes(const QString& c, const CsvStyle& style) {
  if (c.contains(QLatin1Char(style.delimiter)) || c.contains(u'"') || c.contains(u'\n') ||
      c.contains(u'\r')) {
    return true;
  }
  const bool delimiterLike = c.contains(u',') || c.contains(u';') || c.contains(u'\t');
  return delimiterLike && !ParseNumber(c);
}

QByteArray Record(const QStringList& cells, const CsvStyle& style) {
  QByteArray line;
  for (qsizetype i = 0; i < cells.size(); ++i) {
    if (i > 0) line += style.delimiter;
    const QString& c = cells[i];
    if (NeedsQuotes(c, style)) {
      line += '"' + QString(c).replace(u"\""_s, u"\"\""_s).toUtf8() + '"';
    } else {
      line += c.toUtf8();
    }
  }
  return line + '\n';
}

QByteArray Start(const CsvStyle& style) {
  return style.byteOrderMark ? QByteArray("\xEF\xBB\xBF") : QByteArray();
}

// A cell's text as a number: blanks around it, a leading '+' and a comma for the decimal point
// are allowed; nothing else.
std::optional<double> ParseNumber(QString text) {
  text = text.trimmed();
  text.remove(QChar(0x00A0));
  if (text.startsWith(u'+')) text.remove(0, 1);
  if (text.count(u',') == 1 && !text.contains(u'.')) text.replace(u',', u'.');
  const std::string s = text.toStdString();
  if (s.empty()) return std::nullopt;
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(v)) return std::nullopt;
  return v;
}

struct CsvRecord {
  int line = 0;  // where the record starts
  QStringList cells;
};

// Splits decoded text into records: RFC 4180 quoting, LF, CRLF or CR line ends. The delimiter is
// the first comma, semicolon or tab outside quotes in the first record. Records with no text in
// any cell (empty lines, rows of bare delimiters) are left out.
std::vector<CsvRecord> SplitRecords(const QString& text, QString* error, int* errorLine) {
  std::vector<CsvRecord> records;
  QChar delimiter;
  int line = 1;
  CsvRecord current{1, {}};
  QString cell;
  bool quoted = false;
  bool wasQuoted = false;
  int quoteLine = 0;
  const auto endCell = [&] {
    current.cells << cell;
    cell.clear();
    wasQuoted = false;
  };
  const auto endRecord = [&] {
    endCell();
    bool blank = true;
    for (const QString& c : current.cells) blank = blank && c.trimmed().isEmpty();
    if (!blank) records.push_back(std::move(current));
    current = CsvRecord{line, {}};
  };
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i];
    if (quoted) {
      if (c == u'"') {
        if (i + 1 < text.size() && text[i + 1] == u'"') {
          cell += u'"';
          ++i;
        } else {
          quoted = false;
        }
      } else {
        if (c == u'\n' || (c == u'\r' && !(i + 1 < text.size() && text[i + 1] == u'\n'))) ++line;
        cell += c;
      }
      continue;
    }
    if (c == u'"' && cell.trimmed().isEmpty() && !wasQuoted) {
      quoted = wasQuoted = true;
      quoteLine = line;
      cell.clear();
      continue;
    }
    if (delimiter.isNull() && records.empty() && (c == u',' || c == u';' || c == u'\t')) {
      delimiter = c;
    }
    if (c == delimiter) {
      endCell();
    } else if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      ++line;
      endRecord();
    } else {
      cell += c;
    }
  }
  if (quoted) {
    *error = u"кавычка не закрыта до конца файла"_s;
    *errorLine = quoteLine;
    return {};
  }
  endRecord();
  return records;
}

// The line of the first byte that is not UTF-8.
int FirstBadLine(const QByteArray& bytes) {
  int line = 1;
  for (const QByteArray& l : bytes.split('\n')) {
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(l);
    if (decoder.hasError()) return line;
    ++line;
  }
  return line;
}

QString ColumnName(int column) {
  // The spreadsheet letter too, for grids up to Z.
  return column < 26 ? u"столбец %1 (%2)"_s.arg(column + 1).arg(QChar(u'A' + column))
                     : u"столбец %1"_s.arg(column + 1);
}

}  // namespace

QString SourcedTable::Place(int row, int column) const {
  if (fromCsv) {
    const int line = row >= 0 && row < static_cast<int>(lines.size()) ? lines[row] : row + 1;
    return column < 0 ? u"%1, строка %2"_s.arg(source).arg(line)
                      : u"%1, строка %2, %3"_s.arg(source).arg(line).arg(ColumnName(column));
  }
  return column < 0 ? u"«%1», запись %2"_s.arg(source).arg(row + 1)
                    : u"«%1», запись %2, поле %3"_s.arg(source).arg(row + 1).arg(column + 1);
}

QString CsvFileName(const QString& suffix, TableKind kind) {
  return suffix + (kind == TableKind::Climb ? u"_pod.csv"_s : u"_obl.csv"_s);
}

QByteArray ClimbCsv(const Table& table, CsvStyle style) {
  QByteArray out = Start(style) + Record({u"height_m"_s, u"time_s"_s}, style);
  for (const auto& row : table.rows) {
    out += Record({CellText(row.at(0), style.delimiter),
                   CellText(row.size() > 1 ? row[1] : Cell{}, style.delimiter)},
                  style);
  }
  return out;
}

QByteArray GridCsv(const Table& grid, HOblRule rule, CsvStyle style) {
  QByteArray out = Start(style);
  for (std::size_t r = 0; r < grid.rows.size(); ++r) {
    QStringList cells;
    for (const Cell& cell : grid.rows[r]) cells << CellText(cell, style.delimiter);
    if (r == 0 && !cells.isEmpty()) {
      cells[0] = rule == HOblRule::CloudTop ? u"Нн \\ Нв, м"_s : u"Нн \\ толщина слоя, м"_s;
    }
    out += Record(cells, style);
  }
  return out;
}

std::optional<SourcedTable> ParseCsvTable(const QByteArray& input, const QString& name,
                                          TableKind kind, std::vector<Finding>& findings) {
  SourcedTable out;
  out.source = name;
  out.fromCsv = true;
  int errors = 0;
  const auto fail = [&](int line, int column, const QString& text) {
    ++errors;
    if (errors > kMaxErrorsPerFile) return;
    const QString place = line <= 0 ? name
                          : column < 0
                              ? u"%1, строка %2"_s.arg(name).arg(line)
                              : u"%1, строка %2, %3"_s.arg(name).arg(line).arg(ColumnName(column));
    findings.push_back({Finding::Error, place, text});
  };

  QByteArray bytes = input;
  if (bytes.startsWith("\xEF\xBB\xBF")) bytes.remove(0, 3);
  QStringDecoder decoder(QStringDecoder::Utf8);
  const QString text = decoder.decode(bytes);
  if (decoder.hasError()) {
    fail(FirstBadLine(bytes), -1, u"текст не в кодировке UTF-8 (сохраните файл как CSV UTF-8)"_s);
    return std::nullopt;
  }
  QString splitError;
  int splitLine = 0;
  const std::vector<CsvRecord> records = SplitRecords(text, &splitError, &splitLine);
  if (!splitError.isEmpty()) {
    fail(splitLine, -1, splitError);
    return std::nullopt;
  }
  if (records.empty()) {
    fail(0, -1, u"файл пуст — в нём нет ни одной строки таблицы"_s);
    return std::nullopt;
  }

  // The first record: the climb table's header (if it is not numbers) or the grid's key row.
  std::size_t first = 0;
  int width = static_cast<int>(records[0].cells.size());
  while (width > 0 && records[0].cells[width - 1].trimmed().isEmpty()) --width;
  if (kind == TableKind::Climb) {
    bool numbers = true;
    for (int j = 0; j < width; ++j) numbers = numbers && ParseNumber(records[0].cells[j]);
    if (!numbers) first = 1;
    if (width != 2) {
      fail(records[0].line, -1,
           u"в таблице набора высоты два столбца — высота, м и время, с; здесь %1"_s.arg(width));
      return std::nullopt;
    }
  } else if (width > kMaxGridFields) {
    fail(records[0].line, kMaxGridFields,
         u"таблица шире допустимой: %1 столбцов, а расчёт читает не более %2 (нижняя граница и "
         u"%3 ключей)"_s.arg(width)
             .arg(kMaxGridFields)
             .arg(kMaxGridFields - 1));
    return std::nullopt;
  }
  if (records.size() - first > static_cast<std::size_t>(kMaxRecords)) {
    fail(records[first + kMaxRecords].line, -1,
         u"больше %1 строк таблицы — столько расчёт не читает"_s.arg(kMaxRecords));
    return std::nullopt;
  }

  out.table.name = name;
  out.table.fieldCount = width;
  for (std::size_t r = first; r < records.size(); ++r) {
    const CsvRecord& rec = records[r];
    int count = static_cast<int>(rec.cells.size());
    if (count > width) {
      while (count > width && rec.cells[count - 1].trimmed().isEmpty()) --count;
    }
    if (count != width) {
      fail(rec.line, std::min(count, width),
           count > width
               ? u"лишняя ячейка: в строке %1 ячеек, а в первой строке %2"_s.arg(count).arg(width)
               : u"нет ячейки: в строке %1 ячеек, а в первой строке %2"_s.arg(count).arg(width));
      continue;
    }
    std::vector<Cell> row(static_cast<std::size_t>(width));
    for (int j = 0; j < width; ++j) {
      const bool corner = kind == TableKind::Grid && r == 0 && j == 0;
      const QString cell = rec.cells[j].trimmed();
      if (corner || cell.isEmpty()) continue;
      row[j] = ParseNumber(cell);
      if (!row[j]) fail(rec.line, j, u"«%1» — не число"_s.arg(cell.left(40)));
    }
    out.table.rows.push_back(std::move(row));
    out.lines.push_back(rec.line);
  }
  if (errors > kMaxErrorsPerFile) {
    findings.push_back(
        {Finding::Error, name, u"и ещё ошибок: %1"_s.arg(errors - kMaxErrorsPerFile)});
  }
  if (errors > 0) return std::nullopt;
  return out;
}

std::optional<SourcedTable> ReadCsvTable(const QString& path, TableKind kind,
                                         std::vector<Finding>& findings) {
  const QString name = QFileInfo(path).fileName();
  const QString tooLarge =
      u"файл больше %1 МБ — таблица такого размера не бывает"_s.arg(kMaxCsvBytes / (1024 * 1024));
  QFile file(path);
  if (QFileInfo(path).size() > kMaxCsvBytes) {
    findings.push_back({Finding::Error, name, tooLarge});
    return std::nullopt;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    findings.push_back({Finding::Error, name, u"не открывается: %1"_s.arg(file.errorString())});
    return std::nullopt;
  }
  // Bounded even if the file grows while it is read.
  const QByteArray bytes = file.read(kMaxCsvBytes + 1);
  if (bytes.size() > kMaxCsvBytes) {
    findings.push_back({Finding::Error, name, tooLarge});
    return std::nullopt;
  }
  return ParseCsvTable(bytes, name, kind, findings);
}

}  // namespace meltor
