// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// Comma-separated values as RFC 4180 writes them: the one reader and writer of every CSV file the
// programs read or write (the batch's flights, the table keeper's tables). Fields are separated by
// a delimiter and records ended by a line break (LF, CRLF or a CR alone on input); a field in
// double quotes may hold the delimiter, line breaks and doubled quotes. What the records mean is
// left to the caller.
//
// Two rules hold for every input:
// - A record in which no field holds anything but blanks (spaces, tabs), and none is quoted, is
//   no record: empty lines and the rows of bare delimiters a spreadsheet saves for empty rows are
//   passed over (their lines still count).
// - Blanks before an opening quote and after a closing one are no part of the field: ` "a;b" ;c`
//   is the fields «a;b» and «c».
//
// How failures travel: nothing here throws. A name that names nothing (CsvEncodingNamed,
// CsvDelimiterNamed) gives nullopt; the reader keeps what spoilt a record (problem()) and what
// ended the reading (error()) as CsvError values beside the records it returns.

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QStringList>

#include <optional>

class QIODevice;

namespace meltor {

struct CsvError {
  qint64 line = 0;  // the line of the input where the fault lies, from 1
  QString message;  // Russian text for the user
};

// The encodings an input may come in. Auto decides from the input's start (see CsvReader).
enum class CsvEncoding { Auto, Utf8, Windows1251, Koi8R, Cp866 };

// "auto", "utf-8" (also "utf8"), "windows-1251" ("cp1251", "1251"), "koi8-r", "cp866"
// ("ibm866"), in any letter case; nullopt for any other name.
std::optional<CsvEncoding> CsvEncodingNamed(const QString& name);
// The names CsvEncodingNamed takes, for help and messages.
QString CsvEncodingChoices();
// As a message names it: "UTF-8", "Windows-1251", "KOI8-R", "CP866".
QString CsvEncodingShown(CsvEncoding encoding);

// A delimiter as a command line gives it: ",", ";", a tab, "\t" or "tab"; nullopt otherwise.
std::optional<char> CsvDelimiterNamed(const QString& text);
// «,», «;» or «табуляция», for messages.
QString CsvDelimiterShown(char delimiter);

// Reads records one at a time from a device, so an input of any length needs little memory. A
// UTF-8 byte order mark at the very start is skipped.
//
// A fault inside one record spoils that record only: a quote inside a field that does not start
// with one, text after a closing quote, bytes that are not text in the encoding, a NUL byte, a
// quoted field still open at the end of the input. The record comes back as far as it could be
// read, with problem() set, and reading goes on at the next line. What ends the reading (error()):
// a record longer than the maximum (its line break included), an input longer than its maximum,
// input that starts like UTF-16, a device that fails to read.
//
// Without a delimiter the reader counts the commas, semicolons and tabs outside quotes in the
// first record (the header) and takes the one that splits it into the most fields; a tie goes to
// the semicolon, then the comma, as a spreadsheet with Russian settings would have it. A first
// record with none of them is one field, and the rest is read with commas.
//
// The encoding Auto reads UTF-8 unless the first kEncodingWindow bytes say otherwise: with a
// byte order mark, or with no byte above 127, or with at least as many valid multi-byte UTF-8
// sequences as bytes that fit none, the input is UTF-8 (a stray bad byte then spoils its record
// only); else it is read as Windows-1251, the encoding Russian office software saves in, and
// encodingNote() says so.
class CsvReader {
 public:
  static constexpr qsizetype kMaxRecordBytes = 1024 * 1024;
  static constexpr qsizetype kEncodingWindow = 64 * 1024;

  explicit CsvReader(QIODevice& in, std::optional<char> delimiter = ',',
                     qsizetype chunkSize = 64 * 1024, qsizetype maxRecordBytes = kMaxRecordBytes);

  // The settings below are for before the first record.
  void SetEncoding(CsvEncoding encoding);
  // Fields beyond the first `count` of a record are read and counted but not kept (fieldCount(),
  // filledCount()). Negative: every field is kept.
  void SetMaxFields(qsizetype count) { maxFields_ = count; }
  // The most bytes the whole input may hold; negative: no limit.
  void SetMaxInputBytes(qint64 bytes) { maxInputBytes_ = bytes; }

  // The next record; nullopt at the end of the input or on an error (then error() is set).
  std::optional<QStringList> Next();

  // The delimiter in use: the one given, or the one found in the first record. Until the first
  // record has been read, a reader that looks for it answers ','.
  char delimiter() const { return delimiter_; }
  // Whether the delimiter was found in the first record rather than given.
  bool delimiterFound() const { return delimiterFound_; }
  // Whether the input started with a UTF-8 byte order mark.
  bool byteOrderMark() const { return byteOrderMark_; }
  // Whether the fields are read as UTF-8.
  bool utf8() const { return encoding_ == CsvEncoding::Utf8; }
  // The encoding in use; for Auto, once the first record has been read.
  CsvEncoding encoding() const { return encoding_; }
  // What Auto decided when it decided for anything but UTF-8, in a few words ("текст не в UTF-8 —
  // прочитан как Windows-1251"); empty otherwise.
  QString encodingNote() const;

  // The line the last record returned starts on, from 1.
  qint64 recordLine() const { return recordLine_; }
  // How many fields the last record had, those not kept included.
  qsizetype fieldCount() const { return fieldCount_; }
  // How many up to the last one that holds more than blanks (or is quoted): the record without
  // the empty fields a spreadsheet may leave at the end of a row.
  qsizetype filledCount() const { return filledCount_; }
  // Why the last record returned is spoilt; empty when it was read cleanly.
  const std::optional<CsvError>& problem() const { return problem_; }
  const std::optional<CsvError>& error() const { return error_; }

 private:
  bool Fill();  // reads more input; false at its end
  void ChooseEncoding();
  void FindDelimiter();
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
  void NoteText(QByteArrayView bytes);  // marks the field as holding text unless `bytes` are blank

  QIODevice& in_;
  char delimiter_;
  bool detecting_;
  bool delimiterFound_ = false;
  const qsizetype chunkSize_;
  const qsizetype maxRecordBytes_;
  qsizetype maxFields_ = -1;
  qint64 maxInputBytes_ = -1;
  qint64 inputBytes_ = 0;
  QByteArray buffer_;
  qsizetype pos_ = 0;
  bool atStart_ = true;
  bool ended_ = false;
  bool byteOrderMark_ = false;
  CsvEncoding encoding_ = CsvEncoding::Auto;
  bool guessed_ = false;  // Auto chose an encoding other than UTF-8
  qint64 line_ = 1;
  qint64 recordLine_ = 0;
  qsizetype recordBytes_ = 0;
  qsizetype fieldCount_ = 0;
  qsizetype filledCount_ = 0;
  QByteArray field_;
  bool fieldText_ = false;   // the field is quoted or holds more than blanks
  bool recordText_ = false;  // some field of the record does
  QStringDecoder decoder_;
  std::optional<CsvError> problem_;
  std::optional<CsvError> error_;
};

// Writes records, quoting a field only where it must be: when it holds the delimiter, a quote or
// a line break, and the first field of a record whose fields are all blank (which would otherwise
// read back as no record).
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

}  // namespace meltor
