// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"

#include "profiles.h"

#include <cfloat>
#include <cmath>

namespace meltor {

namespace {

QString NumberText(double v) {
  return QString::number(v, 'g', 15);
}

[[noreturn]] void ThrowOutOfRange(Field field, const QString& text, double value) {
  const QString shown = std::isfinite(value) ? NumberText(value) : QStringLiteral("∞");
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

Int16 LeadingNumberField(Field field, const QString& text) {
  return Round16Field(field, text, LeadingNumber(text));
}

QString VidText(float v) {
  return QString::number(double{v}, 'g', 7);
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

  r.Bal = LeadingNumberField(Field::Bal, in.txtBal);
  r.Hn = LeadingNumberField(Field::Hn, in.txtHn);
  r.Hv = LeadingNumberField(Field::Hv, in.txtHv);
  const bool topReplaced = r.Hv == 0;
  if (topReplaced) {
    r.Hv = 12000;
    state.HObl = 10000;
  }

  // Visibility: hundreds of metres first, then kilometres; worked in double, kept as a float.
  const double hundreds = LeadingNumber(in.txtVidSm);
  const double km = LeadingNumber(in.txtVidKm);
  const double vid = km + hundreds * 0.1;
  if (!std::isfinite(vid) || std::fabs(vid) > double{FLT_MAX}) {
    const Field field =
        std::fabs(km) > double{FLT_MAX} || !std::isfinite(km) ? Field::VidKm : Field::VidSm;
    throw CalcError(
        ErrorKind::FloatingPoint, field,
        QStringLiteral("Видимость: %1 км и %2 сотен м — число вне допустимого диапазона.")
            .arg(in.txtVidKm.trimmed(), in.txtVidSm.trimmed()));
  }
  r.Vid = static_cast<float>(vid);
  const bool vidReplaced = r.Vid == 0.0f;
  if (vidReplaced) r.Vid = 10.0f;

  r.ShtorkaZ = LeadingNumberField(Field::ShtorkaZ, in.txtShtorkaZ);
  r.ShtorkaO = LeadingNumberField(Field::ShtorkaO, in.txtShtorkaO);

  state.Explain([&] {
    return QStringLiteral(
               "Запись полёта: высота Hpol = %1 м; время Tpol = %2 с; облачность "
               "Bal = %3 баллов; Нн = %4 м; Нв = %5 м%6; видимость Vid = %7 км%8; "
               "шторка: закрыта на %9 м, открыта на %10 м.")
        .arg(r.Hpol)
        .arg(r.Tpol)
        .arg(r.Bal)
        .arg(r.Hn)
        .arg(r.Hv)
        .arg(topReplaced ? QStringLiteral(" (не задана — принята 12000)") : QString())
        .arg(VidText(r.Vid))
        .arg(vidReplaced ? QStringLiteral(" (не задана — принята 10)") : QString())
        .arg(r.ShtorkaZ)
        .arg(r.ShtorkaO);
  });
}

namespace {

QString Sec(int s) {
  return QStringLiteral("%1 с").arg(s);
}

}  // namespace

void Classify(FlightState& s, ClimbTables& tables) {
  const FlightRecord& r = s.rec;
  TimeBreakdown& t = s.t;
  const WeatherMinima& m = s.minima;
  const bool hood = r.ShtorkaZ > 0 && r.ShtorkaO > 0;
  const QString zakKab = QStringLiteral("в закр. кабине");
  const QString zaObl = QStringLiteral("за обл.");

  if (r.Bal < 8) {
    const bool poorVisibility = r.Vid <= m.VidMin1;
    s.Explain([&] {
      return QStringLiteral(
                 "Облачность %1 баллов (< 8): учитывается только видимость %2 км против "
                 "минимума %3 км.")
          .arg(r.Bal)
          .arg(VidText(r.Vid), VidText(m.VidMin1));
    });
    if (poorVisibility) {
      s.caseId = QStringLiteral("1a");
      t.TOgrVid = r.Tpol;
      s.Explain([&] {
        return QStringLiteral(
            "Случай 1a: видимость не выше минимума — весь полёт при ограниченной "
            "видимости.");
      });
    } else if (hood) {
      s.caseId = QStringLiteral("1b");
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      s.Explain([&] {
        return QStringLiteral(
            "Случай 1b: видимость выше минимума, шторка — в закр. кабине = "
            "Tpol − TShtorka.");
      });
    } else {
      s.caseId = QStringLiteral("1c");
      s.Explain([&] {
        return QStringLiteral(
            "Случай 1c: видимость выше минимума, без шторки — ничего не "
            "засчитывается.");
      });
    }
    return;
  }

  const bool within =
      r.Hn > m.HnMin1 && r.Vid > m.VidMin1 && (r.Hn > m.HnMin2 || r.Vid > m.VidMin2);
  s.Explain([&] {
    return QStringLiteral(
               "Погода: Нн %1 м > %2 — %3; видимость %4 км > %5 — %6; Нн %1 > %7 — %8; "
               "видимость %4 > %9 — %10. Итог: %11.")
        .arg(r.Hn)
        .arg(m.HnMin1)
        .arg(r.Hn > m.HnMin1 ? QStringLiteral("да") : QStringLiteral("нет"))
        .arg(VidText(r.Vid), VidText(m.VidMin1))
        .arg(r.Vid > m.VidMin1 ? QStringLiteral("да") : QStringLiteral("нет"))
        .arg(m.HnMin2)
        .arg(r.Hn > m.HnMin2 ? QStringLiteral("да") : QStringLiteral("нет"))
        .arg(VidText(m.VidMin2))
        .arg(r.Vid > m.VidMin2 ? QStringLiteral("да") : QStringLiteral("нет"))
        .arg(within ? QStringLiteral("в пределах минимума")
                    : QStringLiteral("ниже минимума (СМУ)"));
  });

  if (r.Hpol < r.Hn) {
    s.Explain([&] {
      return QStringLiteral(
                 "Облачность %1 баллов (≥ 8), полёт ниже нижней границы: Hpol %2 м < Нн %3 м.")
          .arg(r.Bal)
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
            "Случай 2a: ниже минимума, шторка — в закр. кабине = Tpol − TShtorka, "
            "при огр. видимости = TShtorka.");
      });
    } else if (!within) {
      s.caseId = QStringLiteral("2b");
      t.TOgrVid = r.Tpol;
      s.Explain([&] {
        return QStringLiteral(
            "Случай 2b: ниже минимума, без шторки — весь полёт при ограниченной "
            "видимости.");
      });
    } else if (hood) {
      s.caseId = QStringLiteral("2c");
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      s.Explain([&] {
        return QStringLiteral(
            "Случай 2c: в пределах минимума, шторка — в закр. кабине = "
            "Tpol − TShtorka.");
      });
    } else {
      s.caseId = QStringLiteral("2d");
      s.Explain([&] {
        return QStringLiteral(
            "Случай 2d: в пределах минимума, без шторки — ничего не засчитывается.");
      });
    }
    return;
  }

  s.Explain([&] {
    return QStringLiteral(
               "Облачность %1 баллов (≥ 8), полёт достиг нижней границы: Hpol %2 м ≥ Нн %3 м.")
        .arg(r.Bal)
        .arg(r.Hpol)
        .arg(r.Hn);
  });
  tables.LookupCloudTimes(s);
  if (hood) tables.LookupShtorka(s);

  if (!within && hood && t.TShtorka > t.TPod) {
    s.caseId = QStringLiteral("3a");
    t.TOgrVid = t.TPod;
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
                 "Случай 3a: ниже минимума, шторка, TShtorka %1 > TPod %2 — при огр. "
                 "видимости = TPod, в закр. кабине = Tpol − TShtorka, за обл. = "
                 "TShtorka − TPod − TObl.")
          .arg(Sec(t.TShtorka), Sec(t.TPod));
    });
  } else if (!within && hood) {
    s.caseId = QStringLiteral("3b");
    t.TOgrVid = t.TShtorka;
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    s.Explain([&] {
      return QStringLiteral(
                 "Случай 3b: ниже минимума, шторка, TShtorka %1 ≤ TPod %2 — при огр. "
                 "видимости = TShtorka, в закр. кабине = Tpol − TShtorka − TObl.")
          .arg(Sec(t.TShtorka), Sec(t.TPod));
    });
  } else if (!within) {
    s.caseId = QStringLiteral("3c");
    t.TOgrVid = t.TPod;
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
          "Случай 3c: ниже минимума, без шторки — при огр. видимости = TPod, "
          "за обл. = Tpol − TPod − TObl.");
    });
  } else if (hood && t.TShtorka > t.TPod) {
    s.caseId = QStringLiteral("3d");
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
                 "Случай 3d: в пределах минимума, шторка, TShtorka %1 > TPod %2 — в закр. "
                 "кабине = Tpol − TShtorka, за обл. = TShtorka − TPod − TObl.")
          .arg(Sec(t.TShtorka), Sec(t.TPod));
    });
  } else if (hood) {
    s.caseId = QStringLiteral("3e");
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    s.Explain([&] {
      return QStringLiteral(
                 "Случай 3e: в пределах минимума, шторка, TShtorka %1 ≤ TPod %2 — в закр. "
                 "кабине = Tpol − TShtorka − TObl.")
          .arg(Sec(t.TShtorka), Sec(t.TPod));
    });
  } else {
    s.caseId = QStringLiteral("3f");
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    s.Explain([&] {
      return QStringLiteral(
          "Случай 3f: в пределах минимума, без шторки — за обл. = Tpol − TPod − TObl.");
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
  s.Explain([&] {
    return QStringLiteral(
               "Время в секундах: TPod %1, TObl %2, TZaObl %3, TZakKab %4, TOgrVid %5, "
               "TShtorka %6, Tpol %7.")
        .arg(t.TPod)
        .arg(t.TObl)
        .arg(t.TZaObl)
        .arg(t.TZakKab)
        .arg(t.TOgrVid)
        .arg(t.TShtorka)
        .arg(s.rec.Tpol);
  });
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
               "Округление до минут (половина — к чётному): в закр. кабине %1, в обл. %2, "
               "за обл. %3, при огр. видимости %4, полёт %5; всего в СМУ %6.")
        .arg(t.TZakKab)
        .arg(t.TObl)
        .arg(t.TZaObl)
        .arg(t.TOgrVid)
        .arg(s.rec.Tpol)
        .arg(t.TSMU);
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
                 "Баланс: сумма категорий %1 мин меньше времени полёта %2 мин — минута "
                 "добавлена ко времени в облаках.")
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
                 "Баланс: сумма категорий %1 мин больше времени полёта %2 мин — минута "
                 "снята со времени за облаками.")
          .arg(S)
          .arg(r.Tpol);
    });
  }
  if (!moved && r.Tpol == S) {
    s.Explain([&] {
      return QStringLiteral("Баланс: сумма категорий равна времени полёта, поправки нет.");
    });
  } else if (!moved) {
    s.Explain([&] {
      return QStringLiteral(
                 "Баланс: сумма категорий %1 мин, полёт %2 мин — поправка не делается "
                 "(заданы высоты шторки или нет времени при огр. видимости).")
          .arg(S)
          .arg(r.Tpol);
    });
  }
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
    out.reached = CalcStep::Done;
    ShowResults(s.t, out.labels);
    out.minutes = s.t;
  } catch (const CalcError& e) {
    out.error = e;
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
  return out;
}

}  // namespace meltor
