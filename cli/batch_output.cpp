// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "batch_output.h"

#include "csv.h"

#include <QIODevice>

#include <limits>

using namespace Qt::StringLiterals;

namespace meltor::cli {

namespace {

// H.MM for a sum of any size, by the rule of MinutesText.
QString SumText(qint64 minutes) {
  if (minutes >= std::numeric_limits<int>::min() && minutes <= std::numeric_limits<int>::max()) {
    return MinutesText(static_cast<int>(minutes));
  }
  // Beyond int: the hours are written here, the minutes after the point by MinutesText.
  const quint64 magnitude =
      minutes < 0 ? quint64{0} - static_cast<quint64>(minutes) : static_cast<quint64>(minutes);
  return (minutes < 0 ? u"-"_s : QString()) + QString::number(magnitude / 60) +
         MinutesText(static_cast<int>(magnitude % 60)).mid(1);
}

class CsvOutput final : public BatchOutput {
 public:
  CsvOutput(QIODevice& out, CsvDialect dialect)
      : out_(out), dialect_(dialect), writer_(out, dialect.delimiter) {
    if (dialect.byteOrderMark) out_.write("\xEF\xBB\xBF");
    writer_.Write(OutputHeader(dialect.minuteColumns));
  }

  void Row(const FlightTexts& inputs, const ResultTexts& labels,
           const std::optional<TimeBreakdown>& minutes, const QString& error,
           const QString& warnings) override {
    row_.clear();
    for (const QString& t : inputs.text) row_ << (dialect_.rawEcho ? t : DefusedCell(t));
    for (const QString& l : labels.text) row_ << l;
    if (dialect_.minuteColumns) {
      if (minutes) {
        for (const qint64 m : ResultMinutes(*minutes)) row_ << QString::number(m);
      } else {
        for (int i = 0; i < kResultCount; ++i) row_ << QString();
      }
    }
    row_ << error << warnings;
    writer_.Write(row_);
  }

  void Finish(const BatchTotals* totals) override {
    if (!totals) return;
    row_ = QStringList(kInputColumnCount, QString());
    row_[static_cast<qsizetype>(InputColumn::Type)] = u"ИТОГО"_s;
    for (const QString& l : totals->Labels().text) row_ << l;
    if (dialect_.minuteColumns) {
      for (const qint64 m : totals->minutes) row_ << QString::number(m);
    }
    row_ << u"ошибок: %1"_s.arg(totals->failed) << QString();
    writer_.Write(row_);
  }

 private:
  QIODevice& out_;
  const CsvDialect dialect_;
  CsvWriter writer_;
  QStringList row_;
};

// A JSON string: quotes, backslashes and control characters escaped, everything else as UTF-8.
void AppendString(QByteArray& json, const QString& text) {
  static constexpr char kHex[] = "0123456789abcdef";
  json += '"';
  for (const char c : text.toUtf8()) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (byte < 0x20) {
          json += "\\u00";
          json += kHex[byte >> 4];
          json += kHex[byte & 0xF];
        } else {
          json += c;
        }
    }
  }
  json += '"';
}

void AppendMember(QByteArray& json, const QString& key, const QString& value, bool first) {
  if (!first) json += ", ";
  AppendString(json, key);
  json += ": ";
  AppendString(json, value);
}

// The minute columns as numbers, or null for a row that failed.
void AppendMinutes(QByteArray& json, const std::optional<std::array<qint64, kResultCount>>& m) {
  for (int i = 0; i < kResultCount; ++i) {
    json += ", ";
    AppendString(json, MinuteColumns()[i]);
    json += ": ";
    json += m ? QByteArray::number((*m)[i]) : QByteArray("null");
  }
}

class JsonOutput final : public BatchOutput {
 public:
  JsonOutput(QIODevice& out, bool withTotals)
      : out_(out), withTotals_(withTotals), indent_(withTotals ? "    " : "  ") {
    out_.write(withTotals_ ? "{\n  \"rows\": [" : "[");
  }

  void Row(const FlightTexts& inputs, const ResultTexts& labels,
           const std::optional<TimeBreakdown>& minutes, const QString& error,
           const QString& warnings) override {
    json_.clear();
    json_ += rows_++ == 0 ? "\n" : ",\n";
    json_ += indent_;
    json_ += '{';
    for (int i = 0; i < kInputColumnCount; ++i) {
      AppendMember(json_, InputColumns()[i].name, inputs.text[i], i == 0);
    }
    for (int i = 0; i < kResultCount; ++i) {
      AppendMember(json_, ResultColumns()[i], labels.text[i], false);
    }
    AppendMinutes(json_, minutes ? std::optional(ResultMinutes(*minutes)) : std::nullopt);
    json_ += ", \"error\": ";
    if (error.isEmpty()) {
      json_ += "null";
    } else {
      AppendString(json_, error);
    }
    AppendMember(json_, u"warnings"_s, warnings, false);
    json_ += "}";
    out_.write(json_);
  }

  void Finish(const BatchTotals* totals) override {
    json_ = rows_ == 0 ? "]" : "\n" + indent_.chopped(2) + "]";
    if (withTotals_) {
      if (totals) {
        json_ += ",\n  \"totals\": {";
        const ResultTexts labels = totals->Labels();
        for (int i = 0; i < kResultCount; ++i) {
          AppendMember(json_, ResultColumns()[i], labels.text[i], i == 0);
        }
        AppendMinutes(json_, totals->minutes);
        json_ += ", \"rows\": " + QByteArray::number(totals->rows) +
                 ", \"failed\": " + QByteArray::number(totals->failed) + "}";
      }
      json_ += "\n}";
    }
    json_ += '\n';
    out_.write(json_);
  }

 private:
  QIODevice& out_;
  const bool withTotals_;
  const QByteArray indent_;
  qint64 rows_ = 0;
  QByteArray json_;
};

}  // namespace

std::array<qint64, kResultCount> ResultMinutes(const TimeBreakdown& m) {
  return LogbookMinutes(m);
}

QStringList OutputHeader(bool minuteColumns) {
  QStringList header;
  for (const InputColumnInfo& c : InputColumns()) header << c.name;
  for (const QString& r : ResultColumns()) header << r;
  if (minuteColumns) {
    for (const QString& m : MinuteColumns()) header << m;
  }
  header << u"error"_s << u"warnings"_s;
  return header;
}

void BatchTotals::AddSuccess(const TimeBreakdown& m) {
  const std::array<qint64, kResultCount> values = ResultMinutes(m);
  for (int i = 0; i < kResultCount; ++i) minutes[i] += values[i];
  ++rows;
}

ResultTexts BatchTotals::Labels() const {
  ResultTexts labels;
  for (int i = 0; i < kResultCount; ++i) {
    labels.text[i] = SumText(minutes[i]);
    if (minutes[i] == 0)
      labels.text[i] = i == static_cast<int>(ResultLabel::SMU) ? u"ПМУ"_s : u"-"_s;
  }
  return labels;
}

std::unique_ptr<BatchOutput> MakeCsvOutput(QIODevice& out, CsvDialect dialect) {
  return std::make_unique<CsvOutput>(out, dialect);
}

std::unique_ptr<BatchOutput> MakeJsonOutput(QIODevice& out, bool withTotals) {
  return std::make_unique<JsonOutput>(out, withTotals);
}

}  // namespace meltor::cli
