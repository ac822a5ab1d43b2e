// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Feeds arbitrary bytes to the CSV reader, with each delimiter and with the delimiter taken from
// the header, through the whole batch command on the shipped tables, and to the table tools'
// reading of a climb table and a grid, all in memory. The reader must give the same records
// however its input is split, never a record longer than its maximum nor a NUL character, and
// whatever batch writes with exit code 0 or 1 must read back: CSV with one record per input
// record and the totals, JSON that parses. A table read without errors has rows of one width and
// a file line for each. The reader is checked with a record maximum of 4 KB, the same logic as the
// batch's 1 MB at a size a fuzzer reaches quickly; one run in sixteen stretches the input with a
// run of NUL or ordinary bytes around it.
#include "commands.h"
#include "csv.h"
#include "table_csv.h"

#include <QBuffer>
#include <QJsonDocument>
#include <QLocale>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>

using namespace meltor::cli;
using meltor::CsvError;
using meltor::CsvReader;

namespace {

struct ReadAll {
  QList<QStringList> records;
  std::optional<CsvError> error;
  char delimiter = 0;
};

ReadAll Read(const QByteArray& bytes, std::optional<char> delimiter, qsizetype chunkSize,
             qsizetype maxRecordBytes = CsvReader::kMaxRecordBytes) {
  QBuffer buffer;
  buffer.setData(bytes);
  buffer.open(QIODevice::ReadOnly);
  CsvReader reader(buffer, delimiter, chunkSize, maxRecordBytes);
  ReadAll all;
  while (std::optional<QStringList> record = reader.Next()) {
    if (record->isEmpty()) std::abort();  // a record has at least one field
    qsizetype size = 0;
    for (const QString& field : *record) {
      if (field.contains(QChar(u'\0'))) std::abort();
      size += field.size();  // a UTF-16 unit per byte read at most
    }
    if (size > maxRecordBytes) std::abort();
    if (reader.problem() && (reader.problem()->line < 1 || reader.problem()->message.isEmpty())) {
      std::abort();
    }
    all.records << *record;
  }
  all.error = reader.error();
  if (all.error && (all.error->line < 1 || all.error->message.isEmpty())) std::abort();
  all.delimiter = reader.delimiter();
  return all;
}

bool SameReading(const ReadAll& a, const ReadAll& b) {
  if (a.records != b.records || a.delimiter != b.delimiter) return false;
  if (a.error.has_value() != b.error.has_value()) return false;
  return !a.error || (a.error->line == b.error->line && a.error->message == b.error->message);
}

// The batch command on `input`, with the options byte `choice` picks.
void RunBatch(const QByteArray& input, std::uint8_t choice) {
  const bool json = (choice & 1) != 0;
  QStringList args{QStringLiteral("batch"), QStringLiteral("--tables"),
                   QStringLiteral(MELTOR_SHIPPED_TABLES), QStringLiteral("--totals")};
  char delimiter = ',';
  if (json) {
    args << QStringLiteral("--format") << QStringLiteral("json");
  } else {
    static constexpr char kDelimiters[] = {',', ';', '\t'};
    delimiter = kDelimiters[(choice >> 1) % 3];
    args << QStringLiteral("--delimiter") << QString(QLatin1Char(delimiter));
    if ((choice & 8) != 0) args << QStringLiteral("--bom");
  }

  QBuffer in;
  in.setData(input);
  in.open(QIODevice::ReadOnly);
  QBuffer out;
  out.open(QIODevice::WriteOnly);
  QBuffer err;
  err.open(QIODevice::WriteOnly);
  Console console{in, out, err, false,
                  (choice & 16) != 0 ? QLocale(QLocale::Russian, QLocale::Russia) : QLocale::c()};
  const int code = Run(args, console);
  if (code != kExitOk && code != kExitFailed && code != kExitUsage) std::abort();
  if (code != kExitOk && err.data().isEmpty()) std::abort();  // every failure says why
  if (err.data().contains('\0')) std::abort();
  if (code == kExitUsage) return;  // unreadable input: the output stops where the reading did
  const QByteArray& written = out.data();

  if (json) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(written, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) std::abort();
    const bool rawControl = std::any_of(written.begin(), written.end(), [](char c) {
      return c != '\n' && static_cast<unsigned char>(c) < 0x20;
    });
    if (rawControl) std::abort();
    return;
  }

  // One output record per input record (the header for the header), then the totals.
  const ReadAll source = Read(input, std::nullopt, 64 * 1024);
  // An echoed record near the maximum grows by the results and the message, a NUL byte into a
  // three-byte replacement character.
  const ReadAll result = Read(written, delimiter, 64 * 1024, 4 * CsvReader::kMaxRecordBytes);
  if (result.error) std::abort();
  if (result.records.size() != std::max<qsizetype>(source.records.size(), 1) + 1) std::abort();
  for (const QStringList& record : result.records) {
    if (record.size() != result.records.front().size()) std::abort();
  }
}

// The table tools' reading of `input` as either kind of table.
void ReadTables(const QByteArray& input) {
  for (const meltor::TableKind kind : {meltor::TableKind::Climb, meltor::TableKind::Grid}) {
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    std::vector<meltor::Finding> findings;
    const auto table = meltor::ReadCsvTable(buffer, QStringLiteral("T_pod.csv"), kind,
                                            meltor::CsvReading{}, findings);
    for (const meltor::Finding& f : findings) {
      if (f.text.isEmpty() || f.severity != meltor::Finding::Error) std::abort();
    }
    if (table.has_value() == !findings.empty()) std::abort();  // a table, or why not
    if (!table) continue;
    if (table->lines.size() != table->table.rows.size()) std::abort();
    for (const auto& row : table->table.rows) {
      if (static_cast<int>(row.size()) != table->table.fieldCount) std::abort();
    }
  }
}

}  // namespace

// Byte 0 picks the options of the batch run, byte 1 whether and how the input is stretched; the
// rest is the CSV input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  QByteArray input(reinterpret_cast<const char*>(data) + 2, static_cast<qsizetype>(size - 2));
  // One run in sixteen: a run from 4 bytes short of the reader's maximum to 3 past it, of NUL
  // bytes (bit 3) or of one ordinary byte, after the first line break.
  constexpr qsizetype kMax = 4096;
  const std::uint8_t stretch = data[1];
  if (stretch >= 0xF0) {
    const qsizetype at = input.indexOf('\n') + 1;
    input.insert(at, QByteArray(kMax - 4 + (stretch & 0x07), (stretch & 0x08) != 0 ? '\0' : 'x'));
  }

  // Whole and in pieces of one byte, which split every line break, quote pair and UTF-8 sequence.
  const ReadAll detected = Read(input, std::nullopt, 64 * 1024, kMax);
  if (!SameReading(detected, Read(input, std::nullopt, 1, kMax))) std::abort();
  if (detected.delimiter != ',' && detected.delimiter != ';' && detected.delimiter != '\t') {
    std::abort();
  }
  // The delimiter found reads the input as it was given.
  if (!SameReading(detected, Read(input, detected.delimiter, 7, kMax))) std::abort();
  for (const char delimiter : {',', ';', '\t'}) Read(input, delimiter, 64 * 1024, kMax);

  RunBatch(input, data[0]);
  ReadTables(input);
  return 0;
}
