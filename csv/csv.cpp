// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "csv.h"

#include <QIODevice>

#include <algorithm>
#include <array>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

constexpr auto kDecoderFlags = QStringDecoder::Flag::Stateless;

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// The valid multi-byte UTF-8 sequences in `bytes`, and the bytes above 127 that belong to none.
// A sequence cut off by the end of `bytes` counts as neither unless `complete` says nothing
// follows.
struct Utf8Census {
  qsizetype valid = 0;
  qsizetype invalid = 0;
};

Utf8Census CountUtf8(QByteArrayView bytes, bool complete) {
  Utf8Census census;
  qsizetype i = 0;
  while (i < bytes.size()) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c < 0x80) {
      ++i;
      continue;
    }
    // The length a lead byte announces and the range of the byte after it: no overlong forms, no
    // surrogates, nothing beyond U+10FFFF.
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    }
    bool ok = length > 0;
    for (int n = 1; ok && n < length; ++n) {
      if (i + n >= bytes.size()) {
        if (!complete) return census;  // the rest of it lies beyond what was looked at
        ok = false;
        break;
      }
      const auto next = static_cast<unsigned char>(bytes[i + n]);
      ok = n == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
    }
    if (ok) {
      ++census.valid;
      i += length;
    } else {
      ++census.invalid;
      ++i;
    }
  }
  return census;
}

}  // namespace

std::optional<CsvEncoding> CsvEncodingNamed(const QString& name) {
  const QString n = name.trimmed().toLower();
  if (n == u"auto"_s) return CsvEncoding::Auto;
  if (n == u"utf-8"_s || n == u"utf8"_s) return CsvEncoding::Utf8;
  if (n == u"windows-1251"_s || n == u"cp1251"_s || n == u"1251"_s) {
    return CsvEncoding::Windows1251;
  }
  if (n == u"koi8-r"_s) return CsvEncoding::Koi8R;
  if (n == u"cp866"_s || n == u"ibm866"_s) return CsvEncoding::Cp866;
  return std::nullopt;
}

QString CsvEncodingChoices() {
  return u"auto, utf-8, windows-1251, koi8-r, cp866"_s;
}

QString CsvEncodingShown(CsvEncoding encoding) {
  switch (encoding) {
    case CsvEncoding::Auto:
      return u"auto"_s;
    case CsvEncoding::Utf8:
      return u"UTF-8"_s;
    case CsvEncoding::Windows1251:
      return u"Windows-1251"_s;
    case CsvEncoding::Koi8R:
      return u"KOI8-R"_s;
    case CsvEncoding::Cp866:
      return u"CP866"_s;
  }
  return {};
}

std::optional<char> CsvDelimiterNamed(const QString& text) {
  if (text == u","_s) return ',';
  if (text == u";"_s) return ';';
  if (text == u"\t"_s || text == u"\\t"_s || text.compare(u"tab"_s, Qt::CaseInsensitive) == 0) {
    return '\t';
  }
  return std::nullopt;
}

QString CsvDelimiterShown(char delimiter) {
  return delimiter == '\t' ? u"табуляция"_s : u"«%1»"_s.arg(QLatin1Char(delimiter));
}

CsvReader::CsvReader(QIODevice& in, std::optional<char> delimiter, qsizetype chunkSize,
                     qsizetype maxRecordBytes)
    : in_(in),
      delimiter_(delimiter.value_or(',')),
      detecting_(!delimiter),
      chunkSize_(chunkSize > 0 ? chunkSize : 1),
      maxRecordBytes_(maxRecordBytes),
      // A byte order mark inside the data is text like any other.
      decoder_(QStringDecoder::Utf8, kDecoderFlags | QStringDecoder::Flag::ConvertInitialBom) {}

void CsvReader::SetEncoding(CsvEncoding encoding) {
  encoding_ = encoding;
  const char* codec = nullptr;
  switch (encoding) {
    case CsvEncoding::Auto:
    case CsvEncoding::Utf8:
      decoder_ = QStringDecoder(QStringDecoder::Utf8,
                                kDecoderFlags | QStringDecoder::Flag::ConvertInitialBom);
      return;
    case CsvEncoding::Windows1251:
      codec = "windows-1251";
      break;
    case CsvEncoding::Koi8R:
      codec = "KOI8-R";
      break;
    case CsvEncoding::Cp866:
      codec = "IBM866";
      break;
  }
  decoder_ = QStringDecoder(codec, kDecoderFlags);
}

QString CsvReader::encodingNote() const {
  return guessed_ ? u"текст не в UTF-8 — прочитан как %1"_s.arg(CsvEncodingShown(encoding_))
                  : QString();
}

bool CsvReader::Fill() {
  if (ended_) return false;
  buffer_.remove(0, pos_);
  pos_ = 0;
  qint64 want = chunkSize_;
  // One byte past the limit is enough to tell an input that is too long.
  if (maxInputBytes_ >= 0) want = std::min<qint64>(want, maxInputBytes_ - inputBytes_ + 1);
  const qsizetype kept = buffer_.size();
  buffer_.resize(kept + want);
  const qint64 n = in_.read(buffer_.data() + kept, want);
  buffer_.resize(kept + std::max<qint64>(n, 0));
  if (n <= 0) {
    ended_ = true;
    if (n < 0) Fail(line_, u"вход не прочитан: %1"_s.arg(in_.errorString()));
    return false;
  }
  inputBytes_ += n;
  if (maxInputBytes_ >= 0 && inputBytes_ > maxInputBytes_) {
    ended_ = true;
    const QString size = maxInputBytes_ % (1024 * 1024) == 0
                             ? u"%1 МБ"_s.arg(maxInputBytes_ / (1024 * 1024))
                             : u"%1 байт"_s.arg(maxInputBytes_);
    Fail(line_, u"вход больше %1 — дальше он не читается"_s.arg(size));
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

void CsvReader::ChooseEncoding() {
  if (byteOrderMark_) {
    SetEncoding(CsvEncoding::Utf8);
    return;
  }
  while (buffer_.size() - pos_ < kEncodingWindow && Fill()) {
  }
  const qsizetype size = std::min(buffer_.size() - pos_, kEncodingWindow);
  const bool complete = ended_ && size == buffer_.size() - pos_;
  const Utf8Census census = CountUtf8(QByteArrayView(buffer_).sliced(pos_, size), complete);
  if (census.invalid > census.valid) {
    SetEncoding(CsvEncoding::Windows1251);
    guessed_ = true;
  } else {
    SetEncoding(CsvEncoding::Utf8);
  }
}

// Counts the candidates outside quotes in the first record that is not an empty line, reading
// ahead as far as the record's maximum; nothing is consumed.
void CsvReader::FindDelimiter() {
  constexpr std::array<char, 3> kCandidates = {';', ',', '\t'};  // the order of a tie
  std::array<qsizetype, 3> counts{};
  enum class Scan { FieldStart, Plain, Quoted, AfterQuote } state = Scan::FieldStart;
  bool started = false;
  for (qsizetype at = 0; at < maxRecordBytes_;) {
    if (pos_ + at >= buffer_.size()) {
      if (!Fill()) break;
      continue;
    }
    const char c = buffer_.at(pos_ + at++);
    if (state == Scan::Quoted) {
      if (c == '"') state = Scan::AfterQuote;
      continue;
    }
    if (c == '"' && state == Scan::AfterQuote) {  // a doubled quote
      state = Scan::Quoted;
      continue;
    }
    if (c == '\n' || c == '\r') {
      if (started) break;
      continue;
    }
    started = true;
    const auto candidate = std::find(kCandidates.begin(), kCandidates.end(), c);
    if (candidate != kCandidates.end()) {
      ++counts[static_cast<std::size_t>(candidate - kCandidates.begin())];
      state = Scan::FieldStart;
    } else if (c == '"' && state == Scan::FieldStart) {
      state = Scan::Quoted;
    } else if (c != ' ') {
      state = Scan::Plain;
    }
  }
  qsizetype most = 0;
  for (std::size_t k = 0; k < kCandidates.size(); ++k) {
    if (counts[k] > most) {
      most = counts[k];
      delimiter_ = kCandidates[k];
    }
  }
  detecting_ = false;
  delimiterFound_ = true;
}

void CsvReader::NoteText(QByteArrayView bytes) {
  fieldText_ = std::any_of(bytes.begin(), bytes.end(), [](char c) { return !IsBlank(c); });
}

void CsvReader::FinishField(QStringList& fields) {
  ++fieldCount_;
  if (fieldText_) {
    recordText_ = true;
    filledCount_ = fieldCount_;
  }
  fieldText_ = false;
  if (maxFields_ >= 0 && fields.size() >= maxFields_) {
    field_.clear();
    return;
  }
  decoder_.resetState();
  QString text = decoder_.decode(field_);
  if (decoder_.hasError()) {
    Spoil(recordLine_,
          utf8() ? u"поле %1: текст не в кодировке UTF-8; файл из Windows прочтёт --encoding "
                   u"windows-1251"_s.arg(fields.size() + 1)
                 : u"поле %1: байты, которых нет в кодировке %2"_s.arg(
                       QString::number(fields.size() + 1), CsvEncodingShown(encoding_)));
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
    if (!decoder_.isValid()) {
      Fail(1, u"кодировка %1 в этой сборке не читается"_s.arg(CsvEncodingShown(encoding_)));
    }
    if (error_) return std::nullopt;
    if (encoding_ == CsvEncoding::Auto) ChooseEncoding();
    if (detecting_) FindDelimiter();
    if (error_) return std::nullopt;
  }

  enum class State {
    FieldStart,
    Unquoted,
    Quoted,
    AfterQuote,
    AfterQuoteBlanks,
  } state = State::FieldStart;
  QStringList fields;
  bool inRecord = false;  // something of a record has been read
  qint64 quoteLine = line_;
  qsizetype closedAt = 0;  // where the quoted part of the field ended
  recordLine_ = line_;
  recordBytes_ = 0;
  fieldCount_ = 0;
  filledCount_ = 0;
  field_.clear();
  fieldText_ = false;
  recordText_ = false;

  const auto tooLong = [&]() -> std::optional<QStringList> {
    if (state == State::Quoted) {
      error_->message =
          u"кавычка, открытая в строке %1, не закрыта: запись длиннее %2 байт "
          u"(строки %1–%3); дальше вход не читается"_s.arg(
              QString::number(quoteLine), QString::number(maxRecordBytes_), QString::number(line_));
    }
    return std::nullopt;
  };
  // The bytes up to the next one that means something, into the field at once.
  // The run stops where the record reaches its maximum, as a byte-by-byte reading would.
  const auto takeRun = [&]() {
    const qsizetype plain = PlainRun(state == State::Quoted);
    const qsizetype n = std::min(plain, maxRecordBytes_ - recordBytes_);
    const QByteArrayView run(buffer_.constData() + pos_, n);
    if (state == State::Quoted) {
      line_ += run.count('\n');
    } else if (!fieldText_) {
      NoteText(run);
    }
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

  // The end of a record: true when it is one to return, false for a record of blanks, which is
  // passed over as an empty line is.
  const auto endRecord = [&]() {
    FinishField(fields);
    if (recordText_ || problem_) return true;
    fields.clear();
    fieldCount_ = 0;
    filledCount_ = 0;
    inRecord = false;
    recordLine_ = line_;
    recordBytes_ = 0;
    state = State::FieldStart;
    return false;
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
                      u"прочитаны как одно поле"_s.arg(QString::number(quoteLine),
                                                       QString::number(last))
                    : u"кавычка, открытая в строке %1, не закрыта до конца файла"_s.arg(quoteLine));
          break;
        }
        case State::AfterQuoteBlanks:
          field_.truncate(closedAt);
          break;
        case State::Unquoted:
        case State::AfterQuote:
          break;
      }
      if (endRecord()) return fields;
      return std::nullopt;
    }
    if (!Count()) return tooLong();

    const char c = buffer_[pos_++];
    switch (state) {
      case State::FieldStart:
      case State::Unquoted:
        if (c == delimiter_) {
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
          if (endRecord()) return fields;
        } else if (c == '"') {
          if (fieldText_) {
            field_.append(c);
            return spoilLine(line_,
                             u"кавычка внутри поля без кавычек; поле с кавычками заключите в "
                             u"кавычки целиком, а каждую кавычку внутри удвойте"_s);
          }
          field_.clear();  // blanks before the opening quote
          inRecord = true;
          fieldText_ = true;
          quoteLine = line_;
          state = State::Quoted;
        } else {
          inRecord = true;
          field_.append(c);
          if (!IsBlank(c)) fieldText_ = true;
          state = State::Unquoted;
          if (!takeRun()) return tooLong();
        }
        break;

      case State::Quoted:
        if (c == '"') {
          state = State::AfterQuote;
          closedAt = field_.size();
        } else {
          if (c == '\n') ++line_;
          field_.append(c);
          if (!takeRun()) return tooLong();
        }
        break;

      case State::AfterQuote:
      case State::AfterQuoteBlanks:
        if (c == '"' && state == State::AfterQuote) {
          field_.append('"');
          state = State::Quoted;
        } else if (c == delimiter_) {
          field_.truncate(closedAt);
          FinishField(fields);
          state = State::FieldStart;
        } else if (c == '\n' || c == '\r') {
          EndLine(c);
          field_.truncate(closedAt);
          if (endRecord()) return fields;
        } else if (IsBlank(c)) {
          field_.append(c);  // no part of the field, unless text follows and spoils it
          state = State::AfterQuoteBlanks;
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
  const QChar delimiter = QLatin1Char(delimiter_);
  // A record of blanks alone would read back as no record: its first field is quoted.
  const bool blank = std::all_of(fields.begin(), fields.end(), [](const QString& field) {
    return std::all_of(field.begin(), field.end(), [](QChar c) { return c == u' ' || c == u'\t'; });
  });
  for (qsizetype i = 0; i < fields.size(); ++i) {
    if (i > 0) line_ += delimiter;
    const QString& field = fields[i];
    const bool quote = (blank && i == 0) || std::any_of(field.begin(), field.end(), [&](QChar c) {
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

}  // namespace meltor
