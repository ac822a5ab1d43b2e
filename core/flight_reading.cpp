// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// Reading the input fields into the flight record: the first step of a calculation.

#include "calculation.h"
#include "plausibility.h"

#include <cfloat>
#include <cmath>

namespace meltor {

namespace {

QString NumberText(double v) {
  return QString::number(v, 'g', 15);
}

bool HeightField(Field field) {
  return field == Field::Hpol || field == Field::Hn || field == Field::Hv ||
         field == Field::ShtorkaZ || field == Field::ShtorkaO;
}

[[noreturn]] void ThrowOutOfRange(Field field, const QString& text, double value) {
  const QString shown = std::isfinite(value) ? NumberText(value) : QStringLiteral("∞");
  if (HeightField(field)) {
    // A height says what can be typed, in metres, rather than the width of the number.
    throw CalcError(
        ErrorKind::Overflow, field,
        QStringLiteral("%1: «%2» — такой высоты не ввести: %3 высота — %4 м.")
            .arg(FieldCaption(field), text.trimmed(),
                 value > 0 ? QStringLiteral("наибольшая") : QStringLiteral("наименьшая"),
                 value > 0 ? QStringLiteral("32767") : QStringLiteral("-32768")));
  }
  throw CalcError(
      ErrorKind::Overflow, field,
      QStringLiteral("%1: «%2» — число %3 вне допустимого диапазона от -32768 до 32767.")
          .arg(FieldCaption(field), text.trimmed(), shown));
}

// A whole-text field as a double; stops the calculation when the text is no number.
double WholeTextField(Field field, const QString& text, const QLocale& locale) {
  const WholeTextResult r = ParseWholeText(text, locale);
  switch (r.status) {
    case WholeTextResult::Ok:
      return r.value;
    case WholeTextResult::Empty:
      throw CalcError(
          ErrorKind::Conversion, field,
          QStringLiteral("%1: поле не заполнено — введите число.").arg(FieldCaption(field)));
    case WholeTextResult::NotANumber:
      throw CalcError(
          ErrorKind::Conversion, field,
          QStringLiteral("%1: «%2» — не число. Введите число (десятичный разделитель «%3»).")
              .arg(FieldCaption(field), text.trimmed(), locale.decimalPoint()));
    case WholeTextResult::TooLarge:
      throw CalcError(ErrorKind::FloatingPoint, field,
                      QStringLiteral("%1: число «%2» слишком велико.")
                          .arg(FieldCaption(field), text.trimmed()));
  }
  return 0.0;
}

Int16 Round16Field(Field field, const QString& text, double value) {
  const std::optional<Int16> r = RoundHalfEven16(value);
  if (!r) ThrowOutOfRange(field, text, value);
  return *r;
}

// Tells the pilot when the leading-number reading of a field's text left part of it unused, or
// found no number at all. Empty text, blanks included, reads as 0 without a word.
void WarnUnread(FlightState& state, Field field, const QString& text,
                const LeadingNumberRead& read) {
  const QString rest = UnreadText(text, read);
  if (rest.isEmpty()) return;
  QString why;
  if (!read.found) {
    why = QStringLiteral("в начале нет числа");
  } else if (rest.startsWith(QLatin1Char(',')) && field == Field::VidKm) {
    why = QStringLiteral(
        "запятая заканчивает число: десятые доли километра (сотни метров) вводятся в поле после "
        "запятой");
  } else if (rest.startsWith(QLatin1Char(','))) {
    why = QStringLiteral(
              "запятая заканчивает число, «%1» не учтено: дробная часть пишется через "
              "точку")
              .arg(rest);
  } else {
    why = QStringLiteral("«%1» после числа не учтено").arg(rest);
  }
  InputWarning w;
  w.field = field;
  w.typed = text.trimmed();
  w.read = read.value;
  w.message = QStringLiteral("%1: введено «%2», прочитано %3 — %4.")
                  .arg(FieldCaption(field), w.typed, NumberText(read.value), why);
  state.warnings.append(std::move(w));
}

Int16 LeadingNumberField(FlightState& state, Field field, const QString& text) {
  const LeadingNumberRead read = ReadLeadingNumber(text);
  WarnUnread(state, field, text, read);
  return Round16Field(field, text, read.value);
}

// A field's text for a message: in quotes, or "пусто" when there is none.
QString Typed(const QString& text) {
  const QString t = text.trimmed();
  return t.isEmpty() ? QStringLiteral("пусто") : QStringLiteral("«%1»").arg(t);
}

}  // namespace

void ReadFlightRecord(FlightState& state, const FlightInput& in, const QLocale& locale) {
  FlightRecord& r = state.rec;

  r.Hpol = Round16Field(Field::Hpol, in.txtHpol, WholeTextField(Field::Hpol, in.txtHpol, locale));

  // Flight time: minutes first, then hours, summed in double and rounded once.
  const double minutes = WholeTextField(Field::TpolMin, in.txtTpolMin, locale);
  const double minuteSeconds = minutes * 60.0;
  if (!std::isfinite(minuteSeconds)) {
    throw CalcError(ErrorKind::FloatingPoint, Field::TpolMin,
                    QStringLiteral("%1: число «%2» слишком велико.")
                        .arg(FieldCaption(Field::TpolMin), in.txtTpolMin.trimmed()));
  }
  const double hours = WholeTextField(Field::TpolChas, in.txtTpolChas, locale);
  const double hourSeconds = hours * 3600.0;
  if (!std::isfinite(hourSeconds)) {
    throw CalcError(ErrorKind::FloatingPoint, Field::TpolChas,
                    QStringLiteral("%1: число «%2» слишком велико.")
                        .arg(FieldCaption(Field::TpolChas), in.txtTpolChas.trimmed()));
  }
  const double seconds = minuteSeconds + hourSeconds;
  const std::optional<Int16> tpol = RoundHalfEven16(seconds);
  if (!tpol) {
    // The field that contributes most is the one to correct.
    const Field field =
        std::fabs(minuteSeconds) > std::fabs(hourSeconds) ? Field::TpolMin : Field::TpolChas;
    throw CalcError(ErrorKind::Overflow, field,
                    QStringLiteral("Время п-та: %1 ч %2 мин = %3 с — вне допустимого диапазона: "
                                   "самое большее 32767 с (9 ч 06 мин 07 с).")
                        .arg(NumberText(hours), NumberText(minutes),
                             std::isfinite(seconds) ? NumberText(seconds) : QStringLiteral("∞")));
  }
  r.Tpol = *tpol;

  r.Bal = LeadingNumberField(state, Field::Bal, in.txtBal);
  r.Hn = LeadingNumberField(state, Field::Hn, in.txtHn);
  r.Hv = LeadingNumberField(state, Field::Hv, in.txtHv);
  // An empty cloud top stands for a layer up to 12000 m. The in-cloud key HObl follows from the
  // top by the profile's rule (SelectProfile), the 12000 m included.
  state.topReplaced = r.Hv == 0;
  if (state.topReplaced) r.Hv = 12000;

  // Visibility: hundreds of metres first, then kilometres; worked in double, kept as a float.
  const LeadingNumberRead hundredsRead = ReadLeadingNumber(in.txtVidSm);
  const LeadingNumberRead kmRead = ReadLeadingNumber(in.txtVidKm);
  WarnUnread(state, Field::VidKm, in.txtVidKm, kmRead);
  WarnUnread(state, Field::VidSm, in.txtVidSm, hundredsRead);
  const double hundreds = hundredsRead.value;
  const double km = kmRead.value;
  const double vid = km + hundreds * 0.1;
  if (!std::isfinite(vid) || std::fabs(vid) > double{FLT_MAX}) {
    const Field field =
        std::fabs(km) > double{FLT_MAX} || !std::isfinite(km) ? Field::VidKm : Field::VidSm;
    throw CalcError(
        ErrorKind::FloatingPoint, field,
        QStringLiteral("Видимость: км — %1, сотни м — %2: число вне допустимого диапазона.")
            .arg(Typed(in.txtVidKm), Typed(in.txtVidSm)));
  }
  r.Vid = static_cast<float>(vid);
  const bool vidReplaced = r.Vid == 0.0f;
  if (vidReplaced) r.Vid = 10.0f;

  r.ShtorkaZ = LeadingNumberField(state, Field::ShtorkaZ, in.txtShtorkaZ);
  r.ShtorkaO = LeadingNumberField(state, Field::ShtorkaO, in.txtShtorkaO);
  WarnImplausibleInputs(state, hours, minutes, !state.topReplaced);

  state.Explain([&] {
    const bool hood = r.ShtorkaZ > 0 && r.ShtorkaO > 0;
    QString shtorka;
    if (r.ShtorkaZ == 0 && r.ShtorkaO == 0) {
      shtorka = QStringLiteral("без шторки");
    } else {
      shtorka =
          QStringLiteral("шторка закрыта на %1 м, открыта на %2 м%3")
              .arg(r.ShtorkaZ)
              .arg(r.ShtorkaO)
              .arg(hood ? QString()
                        : QStringLiteral(" — не учитывается: обе высоты должны быть больше 0"));
    }
    return QStringLiteral(
               "Полёт: высота %1 м, %2; облачность %3, нижняя граница %4 м, верхняя %5; "
               "видимость %7 км%8; %9.")
        .arg(r.Hpol)
        .arg(ExplainedTime(r.Tpol))
        .arg(TenthsText(r.Bal))
        .arg(r.Hn)
        .arg(state.topReplaced ? QStringLiteral("не задана — принята 12000 м")
                               : QStringLiteral("%1 м").arg(r.Hv))
        .arg(KilometresText(r.Vid))
        .arg(vidReplaced ? QStringLiteral(" (не задана — принята 10 км)") : QString())
        .arg(shtorka);
  });
  for (const InputWarning& w : state.warnings) {
    state.Explain([&] { return QStringLiteral("Внимание: %1").arg(w.message); });
  }
}

}  // namespace meltor
