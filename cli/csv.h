// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Comma-separated values as RFC 4180 writes them: fields separated by a delimiter, records ended
// by a line break (CRLF or LF on input), a field in double quotes may hold the delimiter, line
// breaks and doubled quotes. Text is UTF-8.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringList>

#include <optional>

class QIODevice;

namespace meltor::cli {

struct CsvError {
  qint64 line = 0;  // the line of the input where the fault lies, from 1
  QString message;  // Russian text for the user
};

// Reads records one at a time from a device, so an input of any length needs little memory.
// A UTF-8 byte order mark at the very start is skipped. An empty line between records is no
// record. A quote that opens no field, text after a closing quote, an unterminated quoted field
// and bytes that are no UTF-8 are errors.
//
// Without a delimiter the reader takes the first comma, semicolon or tab outside quotes in the
// first record (the header) as the delimiter of the whole input; a first record with none of them
// is one field, and the rest is read with commas.
class CsvReader {
 public:
  explicit CsvReader(QIODevice& in, std::optional<char> delimiter = ',',
                     qsizetype chunkSize = 64 * 1024);

  // The next record; nullopt at the end of the input or on an error (then error() is set).
  std::optional<QStringList> Next();

  // The delimiter in use: the one given, or the one found in the first record. Until the first
  // record has been read, a reader that looks for it answers ','.
  char delimiter() const { return delimiter_; }

  // The line the last record returned starts on, from 1.
  qint64 recordLine() const { return recordLine_; }
  const std::optional<CsvError>& error() const { return error_; }

 private:
  bool Fill();  // reads more input; false at its end
  bool FinishField(QStringList& fields);
  void Fail(qint64 line, const QString& message);
  bool IsDelimiter(char c);  // settles the delimiter on the first candidate while looking for it

  QIODevice& in_;
  char delimiter_;
  bool detecting_;
  const qsizetype chunkSize_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  bool atStart_ = true;
  bool ended_ = false;
  qint64 line_ = 1;
  qint64 recordLine_ = 0;
  QByteArray field_;
  QStringDecoder decoder_;
  std::optional<CsvError> error_;
};

// Writes records, quoting a field only where it must be: when it holds the delimiter, a quote or
// a line break.
class CsvWriter {
 public:
  explicit CsvWriter(QIODevice& out, char delimiter = ',', QByteArray lineEnd = "\n");

  void Write(const QStringList& fields);

  // One field as it appears in the output.
  QByteArray Field(const QString& text) const;

 private:
  QIODevice& out_;
  const char delimiter_;
  const QByteArray lineEnd_;
  QByteArray record_;
};

}  // namespace meltor::cli
