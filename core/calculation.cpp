// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"

#include "plausibility.h"
#include "profiles.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <initializer_list>

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

QString VidText(float v) {
  return QString::number(double{v}, 'g', 7);
}

// A cloud amount in words: "1 балл", "3 балла", "10 баллов".
QString Tenths(int n) {
  const int last = std::abs(n) % 10;
  const int lastTwo = std::abs(n) % 100;
  const char16_t* word = u"баллов";
  if (last == 1 && lastTwo != 11) {
    word = u"балл";
  } else if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) {
    word = u"балла";
  }
  return QStringLiteral("%1 %2").arg(n).arg(QString::fromUtf16(word));
}

// A field's text for a message: in quotes, or "пусто" when there is none.
QString Typed(const QString& text) {
  const QString t = text.trimmed();
  return t.isEmpty() ? QStringLiteral("пусто") : QStringLiteral("«%1»").arg(t);
}

}  // namespace

void ResetTimes(TimeBreakdown& t) {
  t = TimeBreakdown{};
}

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
  const bool topReplaced = r.Hv == 0;
  if (topReplaced) {
    r.Hv = 12000;
    state.HObl = 10000;
  }

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
  WarnImplausibleInputs(state, hours, minutes, !topReplaced);

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
        .arg(Tenths(r.Bal))
        .arg(r.Hn)
        .arg(topReplaced ? QStringLiteral("не задана — принята 12000 м")
                         : QStringLiteral("%1 м").arg(r.Hv))
        .arg(VidText(r.Vid))
        .arg(vidReplaced ? QStringLiteral(" (не задана — принята 10 км)") : QString())
        .arg(shtorka);
  });
  for (const InputWarning& w : state.warnings) {
    state.Explain([&] { return QStringLiteral("Внимание: %1").arg(w.message); });
  }
}

namespace {

// "3600 − 900 − 300 = 2400 с": a difference as it was worked, in seconds.
QString Worked(std::initializer_list<int> terms, int result) {
  QStringList parts;
  for (const int t : terms) parts << (t < 0 ? QStringLiteral("(%1)").arg(t) : QString::number(t));
  return QStringLiteral("%1 = %2 с").arg(parts.join(QStringLiteral(" − "))).arg(result);
}

// A time found by a difference, as the logbook gets it: "45 мин (3600 − 900 = 2700 с)".
QString WorkedTime(std::initializer_list<int> terms, int result) {
  return QStringLiteral("%1 мин (%2)")
      .arg(static_cast<int>(std::nearbyint(result / 60.0)))
      .arg(Worked(terms, result));
}

// The weather against the minima, in words: every condition that failed, or that all held.
QString WeatherVerdict(const FlightRecord& r, const WeatherMinima& m, bool within) {
  if (within) {
    return QStringLiteral("Погода в пределах минимума: нижняя граница %1 м, видимость %2 км.")
        .arg(r.Hn)
        .arg(VidText(r.Vid));
  }
  QStringList failed;
  if (!(r.Hn > m.HnMin1))
    failed << QStringLiteral("нижняя граница %1 м — не выше %2 м").arg(r.Hn).arg(m.HnMin1);
  if (!(r.Vid > m.VidMin1))
    failed << QStringLiteral("видимость %1 км — не больше %2 км")
                  .arg(VidText(r.Vid), VidText(m.VidMin1));
  // The third condition adds a reason only when the first two hold.
  if (failed.isEmpty()) {
    failed << QStringLiteral("нижняя граница не выше %1 м и видимость не больше %2 км")
                  .arg(m.HnMin2)
                  .arg(VidText(m.VidMin2));
  }
  return QStringLiteral("Погода ниже минимума (СМУ): %1.").arg(failed.join(QStringLiteral("; ")));
}

}  // namespace

void Classify(FlightState& s, ClimbTables& tables) {
  const FlightRecord& r = s.rec;
  TimeBreakdown& t = s.t;
  const WeatherMinima& m = s.minima;
  const bool hood = r.ShtorkaZ > 0 && r.ShtorkaO > 0;
  const QString zakKab = QStringLiteral("в закр. кабине");
  const QString zaObl = QStringLiteral("за обл.");
  const QString nothing = QStringLiteral("в лётную книжку ничего");

  if (r.Bal < 8) {
    const bool poorVisibility = r.Vid <= m.VidMin1;
    s.Explain([&] {
      return QStringLiteral(
                 "Облачность %1 (меньше 8): учитывается только видимость — %2 км при "
                 "минимуме больше %3 км.")
          .arg(Tenths(r.Bal), VidText(r.Vid), VidText(m.VidMin1));
    });
    if (poorVisibility) {
      s.caseId = QStringLiteral("1a");
      t.TOgrVid = r.Tpol;
      s.Explain([&] {
        return QStringLiteral(
                   "Видимость не больше минимума: весь полёт при ограниченной видимости — %1 "
                   "[случай 1a].")
            .arg(ExplainedTime(t.TOgrVid));
      });
    } else if (hood) {
      s.caseId = QStringLiteral("1b");
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      s.Explain([&] {
        return QStringLiteral(
                   "Видимость больше минимума, шторка: в закрытой кабине %1 — полёт без набора до "
                   "середины участка под шторкой [случай 1b].")
            .arg(WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else {
      s.caseId = QStringLiteral("1c");
      s.Explain([&] {
        return QStringLiteral("Видимость больше минимума, без шторки: %1 [случай 1c].")
            .arg(nothing);
      });
    }
    return;
  }

  const bool within =
      r.Hn > m.HnMin1 && r.Vid > m.VidMin1 && (r.Hn > m.HnMin2 || r.Vid > m.VidMin2);
  s.Explain([&] { return WeatherVerdict(r, m, within); });
  const QString weather =
      within ? QStringLiteral("В пределах минимума") : QStringLiteral("Ниже минимума");

  if (r.Hpol < r.Hn) {
    s.Explain([&] {
      return QStringLiteral("Облачность %1, полёт на %2 м — ниже нижней границы облаков %3 м.")
          .arg(Tenths(r.Bal))
          .arg(r.Hpol)
          .arg(r.Hn);
    });
    if (!within && hood) {
      s.caseId = QStringLiteral("2a");
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      t.TOgrVid = t.TShtorka;
      s.Explain([&] {
        return QStringLiteral(
                   "%1, шторка: при ограниченной видимости — набор до середины участка под "
                   "шторкой %2, в закрытой кабине %3 [случай 2a].")
            .arg(weather, ExplainedTime(t.TOgrVid), WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else if (!within) {
      s.caseId = QStringLiteral("2b");
      t.TOgrVid = r.Tpol;
      s.Explain([&] {
        return QStringLiteral(
                   "%1, без шторки: весь полёт при ограниченной видимости — %2 [случай 2b].")
            .arg(weather, ExplainedTime(t.TOgrVid));
      });
    } else if (hood) {
      s.caseId = QStringLiteral("2c");
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      s.Explain([&] {
        return QStringLiteral("%1, шторка: в закрытой кабине %2 [случай 2c].")
            .arg(weather, WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else {
      s.caseId = QStringLiteral("2d");
      s.Explain(
          [&] { return QStringLiteral("%1, без шторки: %2 [случай 2d].").arg(weather, nothing); });
    }
    return;
  }

  s.Explain([&] {
    return QStringLiteral(
               "Облачность %1, полёт на %2 м — на нижней границе облаков %3 м "
               "или выше.")
        .arg(Tenths(r.Bal))
        .arg(r.Hpol)
        .arg(r.Hn);
  });
  tables.LookupCloudTimes(s);
  if (hood) tables.LookupShtorka(s);

  // Whether the middle of the hood band lies above the cloud base, told by the climb times.
  const auto hoodPlace = [&] {
    return t.TShtorka > t.TPod
               ? QStringLiteral(
                     "середина участка под шторкой выше нижней границы облаков (набор "
                     "%1 с > %2 с)")
                     .arg(t.TShtorka)
                     .arg(t.TPod)
               : QStringLiteral(
                     "середина участка под шторкой не выше нижней границы облаков "
                     "(набор %1 с ≤ %2 с)")
                     .arg(t.TShtorka)
                     .arg(t.TPod);
  };

  if (!within && hood && t.TShtorka > t.TPod) {
    s.caseId = QStringLiteral("3a");
    t.TOgrVid = t.TPod;
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
                 "%1, %2: при ограниченной видимости — набор до облаков %3, в закрытой кабине %4, "
                 "за облаками %5 [случай 3a].")
          .arg(weather, hoodPlace(), ExplainedTime(t.TOgrVid),
               WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab),
               WorkedTime({t.TShtorka, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (!within && hood) {
    s.caseId = QStringLiteral("3b");
    t.TOgrVid = t.TShtorka;
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    s.Explain([&] {
      return QStringLiteral(
                 "%1, %2: при ограниченной видимости — набор до середины участка под шторкой %3, "
                 "в закрытой кабине без времени в облаках %4 [случай 3b].")
          .arg(weather, hoodPlace(), ExplainedTime(t.TOgrVid),
               WorkedTime({r.Tpol, t.TShtorka, t.TObl}, t.TZakKab));
    });
  } else if (!within) {
    s.caseId = QStringLiteral("3c");
    t.TOgrVid = t.TPod;
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
                 "%1, без шторки: при ограниченной видимости — набор до облаков %2, за облаками "
                 "%3 [случай 3c].")
          .arg(weather, ExplainedTime(t.TOgrVid), WorkedTime({r.Tpol, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (hood && t.TShtorka > t.TPod) {
    s.caseId = QStringLiteral("3d");
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral("%1, %2: в закрытой кабине %3, за облаками %4 [случай 3d].")
          .arg(weather, hoodPlace(), WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab),
               WorkedTime({t.TShtorka, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (hood) {
    s.caseId = QStringLiteral("3e");
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    s.Explain([&] {
      return QStringLiteral("%1, %2: в закрытой кабине без времени в облаках %3 [случай 3e].")
          .arg(weather, hoodPlace(), WorkedTime({r.Tpol, t.TShtorka, t.TObl}, t.TZakKab));
    });
  } else {
    s.caseId = QStringLiteral("3f");
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral("%1, без шторки: за облаками %2 [случай 3f].")
          .arg(weather, WorkedTime({r.Tpol, t.TPod, t.TObl}, t.TZaObl));
    });
  }
}

namespace {

Int16 ToMinutes(Int16 seconds) {
  // |seconds / 60| <= 546.2, so the rounding always fits.
  return *RoundHalfEven16(static_cast<double>(seconds) / 60.0);
}

}  // namespace

void RoundToMinutes(FlightState& s) {
  TimeBreakdown& t = s.t;
  t.TPod = ToMinutes(t.TPod);
  t.TObl = ToMinutes(t.TObl);
  t.TZaObl = ToMinutes(t.TZaObl);
  t.TZakKab = ToMinutes(t.TZakKab);
  t.TOgrVid = ToMinutes(t.TOgrVid);
  t.TShtorka = ToMinutes(t.TShtorka);
  s.rec.Tpol = ToMinutes(s.rec.Tpol);
  const QString total = QStringLiteral("всего в СМУ");
  t.TSMU = CheckedAdd(CheckedAdd(t.TOgrVid, t.TObl, total), t.TZaObl, total);
  s.Explain([&] {
    return QStringLiteral(
               "В минутах (половина — к чётному): в закрытой кабине %1, в облаках %2, за облаками "
               "%3, при ограниченной видимости %4; всего в СМУ %5 при полёте %6 мин.")
        .arg(t.TZakKab)
        .arg(t.TObl)
        .arg(t.TZaObl)
        .arg(t.TOgrVid)
        .arg(t.TSMU)
        .arg(s.rec.Tpol);
  });
}

void BalanceMinutes(FlightState& s) {
  TimeBreakdown& t = s.t;
  const FlightRecord& r = s.rec;
  const QString sum = QStringLiteral("сумма категорий");
  const bool applies = r.ShtorkaZ == 0 && r.ShtorkaO == 0 && t.TOgrVid > 0;

  Int16 S = CheckedAdd(CheckedAdd(t.TObl, t.TOgrVid, sum), t.TZaObl, sum);
  bool moved = false;
  if (r.Tpol > S && applies) {
    t.TObl = CheckedAdd(t.TObl, 1, QStringLiteral("в обл."));
    t.TSMU = CheckedAdd(CheckedAdd(t.TObl, t.TOgrVid, sum), t.TZaObl, sum);
    moved = true;
    s.Explain([&] {
      return QStringLiteral(
                 "Поправка: в облаках, за облаками и при ограниченной видимости вместе %1 мин, "
                 "меньше полёта (%2 мин) — минута добавлена ко времени в облаках.")
          .arg(S)
          .arg(r.Tpol);
    });
  }
  S = CheckedAdd(CheckedAdd(t.TObl, t.TOgrVid, sum), t.TZaObl, sum);
  if (r.Tpol < S && applies) {
    t.TZaObl = CheckedSub(t.TZaObl, 1, QStringLiteral("за обл."));
    t.TSMU = CheckedAdd(CheckedAdd(t.TObl, t.TOgrVid, sum), t.TZaObl, sum);
    moved = true;
    s.Explain([&] {
      return QStringLiteral(
                 "Поправка: в облаках, за облаками и при ограниченной видимости вместе %1 мин, "
                 "больше полёта (%2 мин) — минута снята со времени за облаками.")
          .arg(S)
          .arg(r.Tpol);
    });
  }
  if (!moved && r.Tpol == S) {
    s.Explain([&] {
      return QStringLiteral(
                 "Поправки нет: в облаках, за облаками и при ограниченной видимости вместе %1 мин "
                 "— как полёт.")
          .arg(S);
    });
  } else if (!moved) {
    s.Explain([&] {
      return QStringLiteral("Поправки нет: вместе %1 мин при полёте %2 мин, но %3.")
          .arg(S)
          .arg(r.Tpol)
          .arg(r.ShtorkaZ != 0 || r.ShtorkaO != 0
                   ? QStringLiteral("заданы высоты шторки")
                   : QStringLiteral("нет времени при ограниченной видимости"));
    });
  }
}

bool FieldRead(const CalcOutcome& out, Field field) {
  if (out.reached > CalcStep::Reading) return true;
  // The order of ReadFlightRecord; a field whose reading failed was read too.
  static constexpr std::array<Field, 10> order = {
      Field::Hpol, Field::TpolMin, Field::TpolChas, Field::Bal,      Field::Hn,
      Field::Hv,   Field::VidKm,   Field::VidSm,    Field::ShtorkaZ, Field::ShtorkaO};
  const Field failed = out.error ? out.error->field() : Field::None;
  const auto at = [&](Field f) { return std::find(order.begin(), order.end(), f) - order.begin(); };
  const auto stop = at(failed);
  return stop < static_cast<std::ptrdiff_t>(order.size()) && at(field) <= stop;
}

CalcOutcome CalculateFlight(const FlightInput& input, ClimbTables& tables, const QLocale& locale,
                            bool explain) {
  CalcOutcome out;
  Explanation explanation;
  FlightState& s = out.state;
  s.explain = explain ? &explanation : nullptr;
  ClearResults(out.labels);
  try {
    ResetTimes(s.t);
    ReadFlightRecord(s, input, locale);
    out.reached = CalcStep::Profile;
    SelectProfile(s, input.cboTyp, input.dayNight);
    out.reached = CalcStep::Classify;
    Classify(s, tables);
    out.seconds = s.t;
    out.TpolSeconds = s.rec.Tpol;
    out.reached = CalcStep::Rounding;
    RoundToMinutes(s);
    const TimeBreakdown rounded = s.t;
    out.reached = CalcStep::Balance;
    BalanceMinutes(s);
    if (s.t.TObl != rounded.TObl) out.balance = BalanceMove::AddedToObl;
    if (s.t.TZaObl != rounded.TZaObl) out.balance = BalanceMove::TakenFromZaObl;
    const qsizetype told = s.warnings.size();
    WarnImplausibleResults(s, out.seconds, out.TpolSeconds);
    for (qsizetype i = told; i < s.warnings.size(); ++i) {
      s.Explain([&] { return QStringLiteral("Внимание: %1").arg(s.warnings[i].message); });
    }
    out.reached = CalcStep::Done;
    ShowResults(s.t, out.labels);
    out.minutes = s.t;
  } catch (const CalcError& e) {
    out.error = e;
    // A table asked for a layer whose base lies above its top: that is what to put right.
    const QString cause = BaseAboveTopCause(s.rec);
    if (e.kind() == ErrorKind::Table && out.reached >= CalcStep::Classify && !cause.isEmpty()) {
      out.error = CalcError(ErrorKind::Table, Field::Hn,
                            QStringLiteral("Облачность: %1. Расчёт остановлен на таблице: %2")
                                .arg(cause, e.message()));
      // The message says it first; the warning would say it again.
      s.warnings.removeIf(
          [&](const InputWarning& w) { return w.field == Field::Hn && w.message.contains(cause); });
    }
  } catch (const std::exception& e) {
    out.error = CalcError(
        ErrorKind::Table, Field::None,
        QStringLiteral("Внутренняя ошибка расчёта: %1").arg(QString::fromLocal8Bit(e.what())));
  }
  if (out.error) {
    ClearResults(out.labels);
    s.Explain([&] { return QStringLiteral("Расчёт остановлен: %1").arg(out.error->message()); });
  }
  s.explain = nullptr;
  out.explanation = explanation.lines();
  out.warnings = s.warnings;
  return out;
}

}  // namespace meltor
