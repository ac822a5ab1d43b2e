// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "csv.h"

#include <QIODevice>

using namespace Qt::StringLiterals;

namespace meltor::cli {

CsvReader::CsvReader(QIODevice& in, std::optional<char> delimiter, qsizetype chunkSize)
    : in_(in),
      delimiter_(delimiter.value_or(',')),
      detecting_(!delimiter),
      chunkSize_(chunkSize > 0 ? chunkSize : 1),
      // A byte order mark inside the data is text like any other.
      decoder_(QStringDecoder::Utf8,
               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom) {}

bool CsvReader::Fill() {
  if (ended_) return false;
  buffer_.remove(0, pos_);
  pos_ = 0;
  const QByteArray more = in_.read(chunkSize_);
  if (more.isEmpty()) {
    ended_ = true;
    return false;
  }
  buffer_.append(more);
  return true;
}

void CsvReader::Fail(qint64 line, const QString& message) {
  if (!error_) error_ = CsvError{line, message};
}

bool CsvReader::IsDelimiter(char c) {
  if (!detecting_) return c == delimiter_;
  if (c != ',' && c != ';' && c != '\t') return false;
  delimiter_ = c;
  detecting_ = false;
  return true;
}

bool CsvReader::FinishField(QStringList& fields) {
  decoder_.resetState();
  QString text = decoder_.decode(field_);
  if (decoder_.hasError()) {
    Fail(recordLine_, u"поле %1 — текст не в кодировке UTF-8"_s.arg(fields.size() + 1));
    return false;
  }
  fields.append(std::move(text));
  field_.clear();
  return true;
}

std::optional<QStringList> CsvReader::Next() {
  if (error_) return std::nullopt;

  if (atStart_) {
    atStart_ = false;
    while (buffer_.size() - pos_ < 3 && Fill()) {
    }
    if (buffer_.mid(pos_, 3) == "\xEF\xBB\xBF") pos_ += 3;
  } else {
    detecting_ = false;  // only the first record names the delimiter
  }

  enum class State { FieldStart, Unquoted, Quoted, AfterQuote } state = State::FieldStart;
  QStringList fields;
  bool inRecord = false;  // something of a record has been read
  qint64 quoteLine = line_;
  recordLine_ = line_;
  field_.clear();

  // A line break is LF, CRLF or a CR alone; a CR looks ahead for its LF.
  const auto endLine = [this](char c) {
    if (c == '\r' && (pos_ < buffer_.size() || Fill()) && buffer_[pos_] == '\n') ++pos_;
    ++line_;
  };

  for (;;) {
    if (pos_ >= buffer_.size() && !Fill()) {
      switch (state) {
        case State::FieldStart:
          if (!inRecord) return std::nullopt;
          break;
        case State::Quoted:
          Fail(quoteLine, u"кавычка, открытая здесь, не закрыта до конца файла"_s);
          return std::nullopt;
        case State::Unquoted:
        case State::AfterQuote:
          break;
      }
      if (!FinishField(fields)) return std::nullopt;
      return fields;
    }

    const char c = buffer_[pos_++];
    switch (state) {
      case State::FieldStart:
      case State::Unquoted:
        if (IsDelimiter(c)) {
          inRecord = true;
          if (!FinishField(fields)) return std::nullopt;
          state = State::FieldStart;
        } else if (c == '\n' || c == '\r') {
          endLine(c);
          if (!inRecord) {  // an empty line
            recordLine_ = line_;
            continue;
          }
          if (!FinishField(fields)) return std::nullopt;
          return fields;
        } else if (c == '"') {
          if (state == State::Unquoted) {
            Fail(line_,
                 u"кавычка внутри поля без кавычек; поле с кавычками заключите в кавычки "
                 u"целиком, а каждую кавычку внутри удвойте"_s);
            return std::nullopt;
          }
          inRecord = true;
          quoteLine = line_;
          state = State::Quoted;
        } else {
          inRecord = true;
          field_.append(c);
          state = State::Unquoted;
        }
        break;

      case State::Quoted:
        if (c == '"') {
          state = State::AfterQuote;
        } else {
          if (c == '\n') ++line_;
          field_.append(c);
        }
        break;

      case State::AfterQuote:
        if (c == '"') {
          field_.append('"');
          state = State::Quoted;
        } else if (IsDelimiter(c)) {
          if (!FinishField(fields)) return std::nullopt;
          state = State::FieldStart;
        } else if (c == '\n' || c == '\r') {
          endLine(c);
          if (!FinishField(fields)) return std::nullopt;
          return fields;
        } else {
          Fail(line_, u"после закрывающей кавычки идёт текст; кавычку внутри поля удвойте"_s);
          return std::nullopt;
        }
        break;
    }
  }
}

CsvWriter::CsvWriter(QIODevice& out, char delimiter, QByteArray lineEnd)
    : out_(out), delimiter_(delimiter), lineEnd_(std::move(lineEnd)) {}

QByteArray CsvWriter::Field(const QString& text) const {
  QByteArray bytes = text.toUtf8();
  bool quote = false;
  for (const char c : bytes) {
    if (c == delimiter_ || c == '"' || c == '\n' || c == '\r') {
      quote = true;
      break;
    }
  }
  if (!quote) return bytes;
  bytes.replace("\"", "\"\"");
  return '"' + bytes + '"';
}

void CsvWriter::Write(const QStringList& fields) {
  record_.clear();
  // A lone empty field is written quoted, or the record would read back as an empty line.
  if (fields.size() == 1 && fields.front().isEmpty()) record_ = "\"\"";
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) record_.append(delimiter_);
    if (!fields[i].isEmpty()) record_.append(Field(fields[i]));
  }
  record_.append(lineEnd_);
  out_.write(record_);
}

}  // namespace meltor::cli
