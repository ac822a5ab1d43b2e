// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "flight_rows.h"

#include "command_support.h"
#include "file_kind.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace meltor::cli {

OptionSet InputReadingOptions() {
  return {
      {.name = u"input-delimiter"_s,
       .valueName = u"CHAR"_s,
       .help = u"разделитель полей входа: «,», «;» или табуляция; без параметра — тот, "
               u"что делит заголовок на большее число полей"_s},
      {.name = u"encoding"_s,
       .valueName = u"NAME"_s,
       .help = u"кодировка входа: auto (по умолчанию: UTF-8, а если начало входа не в "
               u"UTF-8 — windows-1251, о чём сказано на stderr), utf-8, windows-1251 "
               u"(файлы Excel и 1С в русской Windows), koi8-r или cp866"_s},
  };
}

std::variant<InputReading, UsageError> ReadInputReading(const ParsedOptions& options) {
  InputReading reading;
  if (options.has(u"input-delimiter"_s)) {
    const QString text = options.value(u"input-delimiter"_s);
    reading.delimiter = CsvDelimiterNamed(text);
    if (!reading.delimiter) {
      return UsageError{
          u"--input-delimiter «%1» — допустимы «,», «;», «\\t» или tab"_s.arg(Visible(text))};
    }
  }
  if (options.has(u"encoding"_s)) {
    const std::optional<CsvEncoding> encoding = CsvEncodingNamed(options.value(u"encoding"_s));
    if (!encoding) {
      return UsageError{u"--encoding «%1» — допустимы %2"_s.arg(
          Visible(options.value(u"encoding"_s)), CsvEncodingChoices())};
    }
    reading.encoding = *encoding;
  }
  return reading;
}

FlightRows::FlightRows(const Call& call, Console& io) : call_(call), io_(io) {}

int FlightRows::ReadFailure(const CsvError& e) {
  Print(io_.err,
        u"meltor-cli: %1, строка %2: %3\n"_s.arg(shownName_, QString::number(e.line), e.message));
  return kExitUsage;
}

std::optional<int> FlightRows::Open(const QString& name, const InputReading& reading,
                                    const Columns& columns) {
  QIODevice* input = &io_.in;
  if (name != u"-"_s) {
    file_ = std::make_unique<QFile>(name);
    if (!file_->open(QIODevice::ReadOnly)) {
      Print(io_.err, u"meltor-cli: не удалось открыть входной файл «%1»: %2\n"_s.arg(
                         name, files::OpenFailure(*file_)));
      return kExitUsage;
    }
    input = file_.get();
  }
  shownName_ = name == u"-"_s ? u"стандартный ввод"_s : name;

  reader_ = std::make_unique<CsvReader>(*input, reading.delimiter);  // without one, the header's
  reader_->SetEncoding(reading.encoding);
  const std::optional<QStringList> header = reader_->Next();
  if (reader_->error()) return ReadFailure(*reader_->error());
  if (reader_->problem()) return ReadFailure(*reader_->problem());
  if (const QString note = reader_->encodingNote(); !note.isEmpty()) {
    Print(io_.err,
          u"meltor-cli: %1: %2 (другую кодировку задаёт --encoding)\n"_s.arg(shownName_, note));
  }
  // Said with a row whose fields do not match the header, where a delimiter misread is the
  // likely cause.
  if (reader_->delimiterFound()) {
    delimiterHint_ =
        u" — разделитель %1 определён по заголовку, другой задаёт --input-delimiter"_s.arg(
            CsvDelimiterShown(reader_->delimiter()));
  }
  if (!header) return std::nullopt;

  // Each field of the header to the input it fills, or to an extra column. A name nobody knows,
  // or one named twice, is a usage error unless unknown names are passed over.
  const auto& all = InputColumns();
  for (const QString& raw : *header) {
    const QString name = raw.trimmed().toLower();
    const auto input = std::find_if(all.begin(), all.end(),
                                    [&](const InputColumnInfo& c) { return c.name == name; });
    int target = kSkip;
    if (input != all.end()) {
      target = static_cast<int>(input->column);
    } else if (const qsizetype extra = columns.extra.indexOf(name); extra >= 0) {
      target = kExtra + static_cast<int>(extra);
    } else if (columns.passOver) {
      passedOver_ << Visible(raw);
    } else {
      QStringList known;
      for (const InputColumnInfo& c : all) known << c.name;
      known << columns.extra;
      const QString hint = name.startsWith(QChar(0xFEFF))
                               ? u" (в начале — вторая метка порядка байтов)"_s
                               : QString();
      return call_.Usage(io_, u"неизвестный столбец «%1»%2; допустимы: %3"_s.arg(
                                  Visible(raw), hint, known.join(u", "_s)));
    }
    if (target != kSkip && std::find(targets_.begin(), targets_.end(), target) != targets_.end()) {
      return call_.Usage(io_, u"столбец «%1» указан дважды"_s.arg(Visible(raw)));
    }
    targets_.push_back(target);
  }
  extraCount_ = columns.extra.size();
  fields_ = header->size();
  return std::nullopt;
}

bool FlightRows::Next(Row& row) {
  const std::optional<QStringList> record = reader_->Next();
  if (!record) return false;
  row = Row();
  row.extra = QStringList(extraCount_, QString());
  row.line = reader_->recordLine();
  const qsizetype n = std::min(record->size(), fields_);
  for (qsizetype i = 0; i < n; ++i) {
    const int target = targets_[static_cast<std::size_t>(i)];
    if (target >= kExtra) {
      row.extra[target - kExtra] = (*record)[i];
    } else if (target != kSkip) {
      row.texts[static_cast<InputColumn>(target)] = (*record)[i];
    }
  }
  if (reader_->problem()) {
    row.error = u"строка %1: %2"_s.arg(QString::number(reader_->problem()->line),
                                       reader_->problem()->message);
  } else if (record->size() != fields_) {
    row.error = u"строка %1: полей %2, а в заголовке %3%4"_s.arg(
        QString::number(reader_->recordLine()), QString::number(record->size()),
        QString::number(fields_), delimiterHint_);
  }
  const std::optional<DayNight> dayNight = ParseDayNight(row.texts[InputColumn::DayNight]);
  if (!dayNight && row.error.isEmpty()) {
    row.error = u"day_night: «%1» — допустимо day, night, днём, ночью или пусто"_s.arg(
        Visible(row.texts[InputColumn::DayNight]));
  }
  row.dayNight = dayNight.value_or(DayNight::None);
  if (row.error.isEmpty() && !TypeEntry(row.texts[InputColumn::Type])) {
    row.error = u"type (%1): %2"_s.arg(FieldCaption(Field::Typ),
                                       UnknownTypeMessage(row.texts[InputColumn::Type]));
  }
  return true;
}

bool FlightRows::HasExtra(qsizetype i) const {
  return std::find(targets_.begin(), targets_.end(), kExtra + static_cast<int>(i)) !=
         targets_.end();
}

std::optional<int> FlightRows::Failure() {
  if (reader_ && reader_->error()) return ReadFailure(*reader_->error());
  return std::nullopt;
}

RowCalculation CalculateRow(const FlightRows::Row& row, ClimbTables& tables,
                            const QLocale& locale) {
  RowCalculation done;
  done.error = row.error;
  if (!done.error.isEmpty()) return done;
  done.outcome = CalculateFlight(ToFlightInput(row.texts, row.dayNight), tables, locale);
  for (const InputWarning& w : done.outcome->warnings) {
    done.warnings << WarningText(w, InputNaming::Column);
  }
  if (!done.outcome->ok()) done.error = NamedMessage(*done.outcome->error, false);
  return done;
}

Progress::Progress(Console& io, QString what) : io_(io), what_(std::move(what)) {
  timer_.start();
}

void Progress::Step() {
  ++rows_;
  if (!io_.errIsTerminal || (rows_ & 0xFF) != 0) return;
  const qint64 now = timer_.elapsed();
  if (now < kDelayMs || now - shownAt_ < kIntervalMs) return;
  shownAt_ = now;
  Show({});
}

void Progress::Finish() {
  if (shownAt_ >= 0) Show(u"\n"_s);
}

void Progress::Show(const QString& end) {
  const qint64 ms = std::max<qint64>(timer_.elapsed(), 1);
  Print(io_.err, u"\rmeltor-cli %1: обработано строк: %2, строк в секунду: %3"_s.arg(
                     what_, QString::number(rows_), QString::number(rows_ * 1000 / ms)) +
                     end);
  io_.err.waitForBytesWritten(0);
}

QString FailedSummary(qint64 failed, qint64 rows) {
  const auto one = [](qint64 n) { return n % 10 == 1 && n % 100 != 11; };
  return u"%1 из %2 %3 не %4"_s.arg(QString::number(failed), QString::number(rows),
                                    one(rows) ? u"строки"_s : u"строк"_s,
                                    one(failed) ? u"рассчитана"_s : u"рассчитаны"_s);
}

}  // namespace meltor::cli
