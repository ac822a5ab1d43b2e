// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "csv.h"

#include <QIODevice>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

constexpr auto kDecoderFlags = QStringDecoder::Flag::Stateless;

}  // namespace

CsvReader::CsvReader(QIODevice& in, std::optional<char> delimiter, qsizetype chunkSize,
                     qsizetype maxRecordBytes)
    : in_(in),
      delimiter_(delimiter.value_or(',')),
      detecting_(!delimiter),
      chunkSize_(chunkSize > 0 ? chunkSize : 1),
      maxRecordBytes_(maxRecordBytes),
      // A byte order mark inside the data is text like any other.
      decoder_(QStringDecoder::Utf8, kDecoderFlags | QStringDecoder::Flag::ConvertInitialBom) {}

bool CsvReader::SetEncoding(const QString& name) {
  const QString n = name.trimmed().toLower();
  if (n == u"utf-8"_s || n == u"utf8"_s) {
    decoder_ = QStringDecoder(QStringDecoder::Utf8,
                              kDecoderFlags | QStringDecoder::Flag::ConvertInitialBom);
    utf8_ = true;
    return true;
  }
  const char* codec = nullptr;
  if (n == u"windows-1251"_s || n == u"cp1251"_s || n == u"1251"_s) {
    codec = "windows-1251";
  } else if (n == u"koi8-r"_s) {
    codec = "KOI8-R";
  } else if (n == u"cp866"_s || n == u"ibm866"_s) {
    codec = "IBM866";
  } else {
    return false;
  }
  QStringDecoder decoder(codec, kDecoderFlags);
  if (!decoder.isValid()) return false;
  decoder_ = std::move(decoder);
  utf8_ = false;
  return true;
}

bool CsvReader::Fill() {
  if (ended_) return false;
  buffer_.remove(0, pos_);
  pos_ = 0;
  const qsizetype kept = buffer_.size();
  buffer_.resize(kept + chunkSize_);
  const qint64 n = in_.read(buffer_.data() + kept, chunkSize_);
  buffer_.resize(kept + std::max<qint64>(n, 0));
  if (n <= 0) {
    ended_ = true;
    if (n < 0) Fail(line_, u"вход не прочитан: %1"_s.arg(in_.errorString()));
    return false;
  }
  return true;
}

void CsvReader::Fail(qint64 line, const QString& message) {
  if (!error_) error_ = CsvError{line, message};
}

void CsvReader::Spoil(qint64 line, const QString& message) {
  if (!problem_) problem_ = CsvError{line, message};
}

bool CsvReader::IsDelimiter(char c) {
  if (!detecting_) return c == delimiter_;
  if (c != ',' && c != ';' && c != '\t') return false;
  delimiter_ = c;
  detecting_ = false;
  return true;
}

void CsvReader::FinishField(QStringList& fields) {
  decoder_.resetState();
  QString text = decoder_.decode(field_);
  if (decoder_.hasError()) {
    Spoil(recordLine_,
          utf8_ ? u"поле %1: текст не в кодировке UTF-8; файл из Windows прочтёт --encoding "
                  u"windows-1251"_s.arg(fields.size() + 1)
                : u"поле %1: байты, которых нет в кодировке входа"_s.arg(fields.size() + 1));
  }
  if (field_.contains('\0')) {
    Spoil(recordLine_,
          u"поле %1: нулевой байт — это не текст (файл в UTF-16?)"_s.arg(fields.size() + 1));
    text.replace(QChar(u'\0'), QChar(0xFFFD));
  }
  fields.append(std::move(text));
  field_.clear();
}

// A line break is LF, CRLF or a CR alone; a CR looks ahead for its LF.
void CsvReader::EndLine(char c) {
  if (c == '\r' && (pos_ < buffer_.size() || Fill()) && buffer_[pos_] == '\n') ++pos_;
  ++line_;
}

bool CsvReader::Count(qsizetype bytes) {
  recordBytes_ += bytes;
  if (recordBytes_ <= maxRecordBytes_) return true;
  Fail(recordLine_,
       u"запись длиннее %1 байт — это не файл CSV; дальше вход не читается"_s.arg(maxRecordBytes_));
  return false;
}

qsizetype CsvReader::PlainRun(bool quoted) const {
  const char* data = buffer_.constData();
  qsizetype end = pos_;
  if (quoted) {
    while (end < buffer_.size() && data[end] != '"') ++end;
  } else {
    for (; end < buffer_.size(); ++end) {
      const char c = data[end];
      if (c == '"' || c == '\n' || c == '\r' || c == delimiter_) break;
      if (detecting_ && (c == ',' || c == ';' || c == '\t')) break;
    }
  }
  return end - pos_;
}

void CsvReader::TakeRestOfLine() {
  while ((pos_ < buffer_.size() || Fill()) && Count()) {
    const char c = buffer_[pos_++];
    if (c == '\n' || c == '\r') {
      EndLine(c);
      return;
    }
    field_.append(c);
  }
}

std::optional<QStringList> CsvReader::Next() {
  if (error_) return std::nullopt;
  problem_.reset();

  if (atStart_) {
    atStart_ = false;
    while (buffer_.size() - pos_ < 3 && Fill()) {
    }
    const QByteArray head = buffer_.mid(pos_, 3);
    if (head == "\xEF\xBB\xBF") {
      pos_ += 3;
      byteOrderMark_ = true;
    } else if (head.startsWith("\xFF\xFE") || head.startsWith("\xFE\xFF")) {
      Fail(1,
           u"вход в кодировке UTF-16; сохраните его как CSV в UTF-8 (или в Windows-1251 и "
           u"укажите --encoding windows-1251)"_s);
    }
  } else {
    detecting_ = false;  // only the first record names the delimiter
  }

  enum class State { FieldStart, Unquoted, Quoted, AfterQuote } state = State::FieldStart;
  QStringList fields;
  bool inRecord = false;  // something of a record has been read
  qint64 quoteLine = line_;
  recordLine_ = line_;
  recordBytes_ = 0;
  field_.clear();

  const auto tooLong = [&]() -> std::optional<QStringList> {
    if (state == State::Quoted) {
      error_->message =
          u"кавычка, открытая в строке %1, не закрыта: запись длиннее %2 байт "
          u"(строки %1–%3); дальше вход не читается"_s.arg(quoteLine)
              .arg(maxRecordBytes_)
              .arg(line_);
    }
    return std::nullopt;
  };
  // The bytes up to the next one that means something, into the field at once.
  // The run stops where the record reaches its maximum, as a byte-by-byte reading would.
  const auto takeRun = [&]() {
    const qsizetype plain = PlainRun(state == State::Quoted);
    const qsizetype n = std::min(plain, maxRecordBytes_ - recordBytes_);
    const QByteArrayView run(buffer_.constData() + pos_, n);
    if (state == State::Quoted) line_ += run.count('\n');
    field_.append(run);
    pos_ += n;
    recordBytes_ += n;
    return n == plain || Count();
  };

  // A spoilt record: the rest of its line joins the field where the fault lies.
  const auto spoilLine = [&](qint64 line, const QString& message) -> std::optional<QStringList> {
    Spoil(line, message);
    TakeRestOfLine();
    if (error_) return std::nullopt;
    FinishField(fields);
    return fields;
  };

  for (;;) {
    if (error_) return std::nullopt;
    if (pos_ >= buffer_.size() && !Fill()) {
      if (error_) return std::nullopt;
      switch (state) {
        case State::FieldStart:
          if (!inRecord) return std::nullopt;
          break;
        case State::Quoted: {
          // How far the damage reaches: to the last line that holds anything.
          const qint64 last = field_.endsWith('\n') ? line_ - 1 : line_;
          Spoil(quoteLine,
                last > quoteLine
                    ? u"кавычка, открытая в строке %1, не закрыта до конца файла: строки %1–%2 "
                      u"прочитаны как одно поле"_s.arg(quoteLine)
                          .arg(last)
                    : u"кавычка, открытая в строке %1, не закрыта до конца файла"_s.arg(quoteLine));
          break;
        }
        case State::Unquoted:
        case State::AfterQuote:
          break;
      }
      FinishField(fields);
      return fields;
    }
    if (!Count()) return tooLong();

    const char c = buffer_[pos_++];
    switch (state) {
      case State::FieldStart:
      case State::Unquoted:
        if (IsDelimiter(c)) {
          inRecord = true;
          FinishField(fields);
          state = State::FieldStart;
        } else if (c == '\n' || c == '\r') {
          EndLine(c);
          if (!inRecord) {  // an empty line
            recordLine_ = line_;
            recordBytes_ = 0;
            continue;
          }
          FinishField(fields);
          return fields;
        } else if (c == '"') {
          if (state == State::Unquoted) {
            field_.append(c);
            return spoilLine(line_,
                             u"кавычка внутри поля без кавычек; поле с кавычками заключите в "
                             u"кавычки целиком, а каждую кавычку внутри удвойте"_s);
          }
          inRecord = true;
          quoteLine = line_;
          state = State::Quoted;
        } else {
          inRecord = true;
          field_.append(c);
          state = State::Unquoted;
          if (!takeRun()) return tooLong();
        }
        break;

      case State::Quoted:
        if (c == '"') {
          state = State::AfterQuote;
        } else {
          if (c == '\n') ++line_;
          field_.append(c);
          if (!takeRun()) return tooLong();
        }
        break;

      case State::AfterQuote:
        if (c == '"') {
          field_.append('"');
          state = State::Quoted;
        } else if (IsDelimiter(c)) {
          FinishField(fields);
          state = State::FieldStart;
        } else if (c == '\n' || c == '\r') {
          EndLine(c);
          FinishField(fields);
          return fields;
        } else {
          field_.append(c);
          return spoilLine(line_,
                           u"после закрывающей кавычки идёт текст; кавычку внутри поля удвойте"_s);
        }
        break;
    }
  }
}

CsvWriter::CsvWriter(QIODevice& out, char delimiter, QByteArray lineEnd)
    : out_(out), delimiter_(delimiter), lineEnd_(std::move(lineEnd)) {}

void CsvWriter::Write(const QStringList& fields) {
  // The record is put together as text and converted once, into a buffer that is kept.
  line_.clear();
  // A lone empty field is written quoted, or the record would read back as an empty line.
  if (fields.size() == 1 && fields.front().isEmpty()) line_ = u"\"\""_s;
  const QChar delimiter = QLatin1Char(delimiter_);
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) line_ += delimiter;
    const QString& field = fields[i];
    const bool quote = std::any_of(field.begin(), field.end(), [&](QChar c) {
      return c == delimiter || c == u'"' || c == u'\n' || c == u'\r';
    });
    if (!quote) {
      line_ += field;
      continue;
    }
    line_ += u'"';
    for (const QChar c : field) {
      if (c == u'"') line_ += u'"';
      line_ += c;
    }
    line_ += u'"';
  }
  record_.resize(encoder_.requiredSpace(line_.size()) + lineEnd_.size());
  char* end = encoder_.appendToBuffer(record_.data(), line_);
  end = std::copy(lineEnd_.begin(), lineEnd_.end(), end);
  record_.truncate(end - record_.constData());
  out_.write(record_);
}

namespace {

// A number as a spreadsheet reads one: sign, digits, a decimal point or comma, an exponent.
bool PlainNumber(const QString& t) {
  const auto digit = [&](qsizetype i) { return i < t.size() && t[i] >= u'0' && t[i] <= u'9'; };
  qsizetype i = 0;
  if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
  bool digits = false;
  for (; digit(i); ++i) digits = true;
  if (i < t.size() && (t[i] == u'.' || t[i] == u',')) {
    for (++i; digit(i); ++i) digits = true;
  }
  if (digits && i < t.size() && (t[i] == u'e' || t[i] == u'E')) {
    ++i;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) ++i;
    if (!digit(i)) return false;
    while (digit(i)) ++i;
  }
  return digits && i == t.size();
}

}  // namespace

QString DefusedCell(const QString& text) {
  if (text.isEmpty()) return text;
  const QChar c = text.front();
  const bool formulaStart =
      c == u'=' || c == u'+' || c == u'-' || c == u'@' || c == u'\t' || c == u'\r';
  if (!formulaStart || PlainNumber(text)) return text;
  return u'\'' + text;
}

}  // namespace meltor::cli
