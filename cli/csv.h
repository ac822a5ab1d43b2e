// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Comma-separated values as RFC 4180 writes them: fields separated by a delimiter, records ended
// by a line break (CRLF or LF on input), a field in double quotes may hold the delimiter, line
// breaks and doubled quotes. Text is UTF-8 unless the reader is told another encoding.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <optional>

class QIODevice;

namespace meltor::cli {

struct CsvError {
  qint64 line = 0;  // the line of the input where the fault lies, from 1
  QString message;  // Russian text for the user
};

// Reads records one at a time from a device, so an input of any length needs little memory. A
// UTF-8 byte order mark at the very start is skipped. An empty line between records is no record.
//
// A fault inside one record spoils that record only: a quote that opens no field, text after a
// closing quote, bytes that are not text in the encoding, a NUL byte, a quoted field still open at
// the end of the input. The record comes back as far as it could be read, with problem() set, and
// reading goes on at the next line. What ends the reading (error()): a record longer than the
// maximum (its line break included), input that starts like UTF-16, a device that fails to read.
//
// Without a delimiter the reader takes the first comma, semicolon or tab outside quotes in the
// first record (the header) as the delimiter of the whole input; a first record with none of them
// is one field, and the rest is read with commas.
class CsvReader {
 public:
  static constexpr qsizetype kMaxRecordBytes = 1024 * 1024;

  explicit CsvReader(QIODevice& in, std::optional<char> delimiter = ',',
                     qsizetype chunkSize = 64 * 1024, qsizetype maxRecordBytes = kMaxRecordBytes);

  // Reads fields in an ASCII-compatible single-byte encoding instead of UTF-8: "windows-1251"
  // (also "cp1251"), "koi8-r", "cp866", or "utf-8". False for any other name.
  bool SetEncoding(const QString& name);

  // The next record; nullopt at the end of the input or on an error (then error() is set).
  std::optional<QStringList> Next();

  // The delimiter in use: the one given, or the one found in the first record. Until the first
  // record has been read, a reader that looks for it answers ','.
  char delimiter() const { return delimiter_; }
  // Whether the input started with a UTF-8 byte order mark.
  bool byteOrderMark() const { return byteOrderMark_; }
  // Whether the fields are read as UTF-8.
  bool utf8() const { return utf8_; }

  // The line the last record returned starts on, from 1.
  qint64 recordLine() const { return recordLine_; }
  // Why the last record returned is spoilt; empty when it was read cleanly.
  const std::optional<CsvError>& problem() const { return problem_; }
  const std::optional<CsvError>& error() const { return error_; }

 private:
  bool Fill();  // reads more input; false at its end
  void FinishField(QStringList& fields);
  void Fail(qint64 line, const QString& message);
  void Spoil(qint64 line, const QString& message);
  void TakeRestOfLine();  // a spoilt record: the rest of its line as it stands
  void EndLine(char c);
  // Counts bytes of the record; false, with error() set, past the maximum.
  bool Count(qsizetype bytes = 1);
  // How many bytes from the current position mean nothing to the reader: no quote, and outside
  // quotes no line break or delimiter.
  qsizetype PlainRun(bool quoted) const;
  bool IsDelimiter(char c);  // settles the delimiter on the first candidate while looking for it

  QIODevice& in_;
  char delimiter_;
  bool detecting_;
  const qsizetype chunkSize_;
  const qsizetype maxRecordBytes_;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  bool atStart_ = true;
  bool ended_ = false;
  bool byteOrderMark_ = false;
  bool utf8_ = true;
  qint64 line_ = 1;
  qint64 recordLine_ = 0;
  qsizetype recordBytes_ = 0;
  QByteArray field_;
  QStringDecoder decoder_;
  std::optional<CsvError> problem_;
  std::optional<CsvError> error_;
};

// Writes records, quoting a field only where it must be: when it holds the delimiter, a quote or
// a line break.
class CsvWriter {
 public:
  explicit CsvWriter(QIODevice& out, char delimiter = ',', QByteArray lineEnd = "\n");

  void Write(const QStringList& fields);

 private:
  QIODevice& out_;
  const char delimiter_;
  const QByteArray lineEnd_;
  QString line_;
  QByteArray record_;
  QStringEncoder encoder_{QStringEncoder::Utf8};
};

// An input text as a spreadsheet may safely show it: a text that starts like a formula (=, +, -,
// @, a tab or a carriage return) and is not a plain number gets a leading apostrophe, so the sheet
// keeps it as text.
QString DefusedCell(const QString& text);

}  // namespace meltor::cli
