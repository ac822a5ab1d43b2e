// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// An entry from a calculation, and the texts the journal reads and writes: dates, H:MM, the
// group labels, the tables file's SHA-256.
#include "file_kind.h"
#include "flight_columns.h"
#include "journal.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace meltor::journal {

namespace {

JournalError BadInput(const QString& message) {
  return {JournalError::Kind::BadInput, message};
}

JournalError NotAnEntry(const QString& why) {
  return BadInput(u"Полёт не записан в журнал: %1."_s.arg(why));
}

bool IsSha256(const QString& text) {
  static const QRegularExpression hex(u"^[0-9a-f]{64}$"_s);
  return hex.match(text).hasMatch();
}

}  // namespace

QString CaseText(const CalcOutcome& outcome) {
  return meltor::CaseText(outcome.state.flightCase);
}

Result<Entry> MakeEntry(const QDate& date, const QString& board, const QString& remark,
                        const FlightInput& input, const CalcOutcome& outcome,
                        const QString& tablesSha256) {
  if (!outcome.ok()) {
    return NotAnEntry(
        u"он не рассчитан (%1), а в журнал записываются только рассчитанные полёты"_s.arg(
            outcome.error->message()));
  }
  if (!date.isValid()) return NotAnEntry(u"не указана дата полёта"_s);
  if (!IsSha256(tablesSha256)) {
    return NotAnEntry(u"«%1» — не SHA-256 файла таблиц (64 шестнадцатеричные цифры)"_s.arg(
        tablesSha256.left(80)));
  }
  Entry e;
  e.date = date;
  e.board = board.trimmed();
  e.remark = remark.trimmed();
  e.input = input;
  e.results = outcome.labels;
  e.minutes = LogbookMinutes(outcome.minutes);
  e.caseText = CaseText(outcome);
  for (const InputWarning& w : outcome.warnings) e.warnings << w.message;
  e.tablesSha256 = tablesSha256;
  e.programVersion = QStringLiteral(MELTOR_VERSION_TEXT);
  if (e.board.size() > kMaxBoardLength) {
    return NotAnEntry(u"бортовой номер длиннее %1 знаков"_s.arg(kMaxBoardLength));
  }
  if (e.remark.size() > kMaxRemarkLength) {
    return NotAnEntry(u"примечание длиннее %1 знаков"_s.arg(kMaxRemarkLength));
  }
  return e;
}

Result<QString> FileSha256(const QString& path) {
  if (const QString what = files::NotARegularFile(path); !what.isEmpty()) {
    return JournalError{
        JournalError::Kind::BadPath,
        u"Файл «%1» — %2, а не обычный файл: его SHA-256 не считается."_s.arg(path, what)};
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return JournalError{JournalError::Kind::Io,
                        u"Файл «%1» не читается: %2."_s.arg(path, files::OpenFailure(file))};
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  QByteArray chunk(1 << 20, Qt::Uninitialized);
  for (;;) {
    const qint64 n = file.read(chunk.data(), chunk.size());
    if (n < 0) {
      return JournalError{JournalError::Kind::Io,
                          u"Файл «%1» не читается: %2."_s.arg(path, file.errorString())};
    }
    if (n == 0) break;
    hash.addData(QByteArrayView(chunk.constData(), n));
  }
  return QString::fromLatin1(hash.result().toHex());
}

QString HoursMinutes(qint64 minutes) {
  const quint64 magnitude =
      minutes < 0 ? quint64{0} - static_cast<quint64>(minutes) : static_cast<quint64>(minutes);
  const quint64 rest = magnitude % 60;
  return (minutes < 0 ? u"-"_s : QString()) + QString::number(magnitude / 60) + u':' +
         QChar(u'0' + static_cast<int>(rest / 10)) + QChar(u'0' + static_cast<int>(rest % 10));
}

QString DateText(const QDate& date) {
  return date.toString(Qt::ISODate);
}

Result<QDate> ParseDate(const QString& text) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return BadInput(u"дата не указана"_s);
  static const QRegularExpression iso(u"^(\\d{4})-(\\d{2})-(\\d{2})$"_s);
  static const QRegularExpression dotted(u"^(\\d{1,2})\\.(\\d{1,2})\\.(\\d{4})$"_s);
  int year = 0;
  int month = 0;
  int day = 0;
  if (const auto m = iso.match(t); m.hasMatch()) {
    year = m.captured(1).toInt();
    month = m.captured(2).toInt();
    day = m.captured(3).toInt();
  } else if (const auto d = dotted.match(t); d.hasMatch()) {
    day = d.captured(1).toInt();
    month = d.captured(2).toInt();
    year = d.captured(3).toInt();
  } else {
    return BadInput(u"дата «%1» не читается: нужна ГГГГ-ММ-ДД или ДД.ММ.ГГГГ"_s.arg(t.left(40)));
  }
  const QDate date(year, month, day);
  if (!date.isValid()) return BadInput(u"дата «%1»: такого дня нет"_s.arg(t));
  if (year < 1900) return BadInput(u"дата «%1»: год раньше 1900-го"_s.arg(t));
  return date;
}

QString DayNightText(DayNight dayNight) {
  return DayNightColumnText(dayNight);
}

QString DayNightWords(DayNight dayNight) {
  switch (dayNight) {
    case DayNight::Day:
      return u"днём"_s;
    case DayNight::Night:
      return u"ночью"_s;
    case DayNight::None:
      break;
  }
  return {};
}

QString GroupLabel(Grouping grouping, const QString& key) {
  static const QStringList months = {u"январь"_s,   u"февраль"_s, u"март"_s,   u"апрель"_s,
                                     u"май"_s,      u"июнь"_s,    u"июль"_s,   u"август"_s,
                                     u"сентябрь"_s, u"октябрь"_s, u"ноябрь"_s, u"декабрь"_s};
  static const QStringList roman = {u"I"_s, u"II"_s, u"III"_s, u"IV"_s};
  const QString year = key.left(4);
  const int part = key.mid(key.size() - 1).toInt();
  switch (grouping) {
    case Grouping::None:
      return u"все полёты"_s;
    case Grouping::Month: {
      const int month = key.mid(5, 2).toInt();
      return month >= 1 && month <= 12 ? months[month - 1] + u' ' + year : key;
    }
    case Grouping::Quarter:
      return part >= 1 && part <= 4 ? u"%1 квартал %2"_s.arg(roman[part - 1], year) : key;
    case Grouping::Half:
      return part >= 1 && part <= 2 ? u"%1 полугодие %2"_s.arg(roman[part - 1], year) : key;
    case Grouping::Year:
      return u"%1 год"_s.arg(key);
    case Grouping::Type:
      return key;
    case Grouping::DayNight: {
      const std::optional<DayNight> dayNight = DayNightFromColumnText(key);
      return dayNight && *dayNight != DayNight::None ? DayNightWords(*dayNight)
                                                     : u"день/ночь не указаны"_s;
    }
  }
  return key;
}

bool OpeningBalance::empty() const {
  return std::none_of(items.begin(), items.end(), [](const auto& i) { return i.has_value(); });
}

QString DefaultJournalPath() {
  const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
  if (data.isEmpty()) return {};
  return QDir(data).filePath(u"Meltor/"_s + QString::fromLatin1(kJournalFileName));
}

}  // namespace meltor::journal
