// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_csv.h"

#include "csv.h"
#include "flight_columns.h"

#include <QBuffer>

using namespace Qt::StringLiterals;

namespace meltor::journal {

QStringList CsvHeader() {
  QStringList header{u"number"_s, u"date"_s, u"board"_s, u"remark"_s};
  for (const InputColumnInfo& c : InputColumns()) header << c.name;
  for (const QString& r : ResultColumns()) header << r;
  for (const QString& m : MinuteColumns()) header << m;
  header << u"case"_s << u"warnings"_s;
  return header;
}

QStringList CsvRow(const Entry& entry, bool defuse) {
  const auto typed = [defuse](const QString& text) { return defuse ? DefusedCell(text) : text; };
  QStringList row;
  row.reserve(4 + kInputColumnCount + 2 * kResultCount + 2);
  row << QString::number(entry.number) << DateText(entry.date) << typed(entry.board)
      << typed(entry.remark);
  for (const InputColumnInfo& c : InputColumns()) row << typed(InputColumnText(entry.input, c));
  for (const QString& r : entry.results.text) row << r;
  for (const qint64 m : entry.minutes) row << QString::number(m);
  row << entry.caseText << entry.warnings.join(u"; "_s);
  return row;
}

Result<qint64> WriteCsv(Journal& journal, const Filter& filter, QIODevice& out,
                        const CsvOptions& options) {
  // The rows gather in a small buffer that goes out whole, so a device that refuses a write is
  // seen at once and the rest is not read for nothing.
  constexpr qsizetype kChunk = 16 * 1024;
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  CsvWriter writer(buffer, options.delimiter);
  bool refused = false;
  const auto send = [&] {
    if (!refused && !bytes.isEmpty()) refused = out.write(bytes) != bytes.size();
    buffer.seek(0);
    bytes.clear();
    return !refused;
  };
  if (options.byteOrderMark) buffer.write("\xEF\xBB\xBF");
  writer.Write(CsvHeader());
  qint64 written = 0;
  const Result<qint64> visited = journal.ForEach(filter, [&](const Entry& entry) {
    writer.Write(CsvRow(entry, options.defuse));
    ++written;
    return bytes.size() < kChunk || send();
  });
  if (!visited) return visited.error();
  send();
  return written;
}

}  // namespace meltor::journal
