// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "calculation.h"

#include "plausibility.h"
#include "profiles.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>

namespace meltor {

void ResetTimes(TimeBreakdown& t) {
  t = TimeBreakdown{};
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
        .arg(KilometresText(r.Vid));
  }
  QStringList failed;
  if (!(r.Hn > m.HnMin1))
    failed << QStringLiteral("нижняя граница %1 м — не выше %2 м").arg(r.Hn).arg(m.HnMin1);
  if (!(r.Vid > m.VidMin1))
    failed << QStringLiteral("видимость %1 км — не больше %2 км")
                  .arg(KilometresText(r.Vid), KilometresText(m.VidMin1));
  // The third condition adds a reason only when the first two hold.
  if (failed.isEmpty()) {
    failed << QStringLiteral("нижняя граница не выше %1 м и видимость не больше %2 км")
                  .arg(m.HnMin2)
                  .arg(KilometresText(m.VidMin2));
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
  // A line about the case just decided, which names it at its end: "… [случай 3c]."
  const auto explainCase = [&s](auto&& make) {
    s.Explain(
        [&] { return QStringLiteral("%1 [случай %2].").arg(make(), CaseText(s.flightCase)); });
  };

  if (r.Bal < 8) {
    const bool poorVisibility = r.Vid <= m.VidMin1;
    s.Explain([&] {
      return QStringLiteral(
                 "Облачность %1 (меньше 8): учитывается только видимость — %2 км при "
                 "минимуме больше %3 км.")
          .arg(TenthsText(r.Bal), KilometresText(r.Vid), KilometresText(m.VidMin1));
    });
    if (poorVisibility) {
      s.flightCase = FlightCase::Case1a;
      t.TOgrVid = r.Tpol;
      explainCase([&] {
        return QStringLiteral(
                   "Видимость не больше минимума: весь полёт при ограниченной видимости — %1")
            .arg(ExplainedTime(t.TOgrVid));
      });
    } else if (hood) {
      s.flightCase = FlightCase::Case1b;
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      explainCase([&] {
        return QStringLiteral(
                   "Видимость больше минимума, шторка: в закрытой кабине %1 — полёт без набора до "
                   "середины участка под шторкой")
            .arg(WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else {
      s.flightCase = FlightCase::Case1c;
      explainCase(
          [&] { return QStringLiteral("Видимость больше минимума, без шторки: %1").arg(nothing); });
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
          .arg(TenthsText(r.Bal))
          .arg(r.Hpol)
          .arg(r.Hn);
    });
    if (!within && hood) {
      s.flightCase = FlightCase::Case2a;
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      t.TOgrVid = t.TShtorka;
      explainCase([&] {
        return QStringLiteral(
                   "%1, шторка: при ограниченной видимости — набор до середины участка под "
                   "шторкой %2, в закрытой кабине %3")
            .arg(weather, ExplainedTime(t.TOgrVid), WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else if (!within) {
      s.flightCase = FlightCase::Case2b;
      t.TOgrVid = r.Tpol;
      explainCase([&] {
        return QStringLiteral("%1, без шторки: весь полёт при ограниченной видимости — %2")
            .arg(weather, ExplainedTime(t.TOgrVid));
      });
    } else if (hood) {
      s.flightCase = FlightCase::Case2c;
      tables.LookupShtorka(s);
      t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
      explainCase([&] {
        return QStringLiteral("%1, шторка: в закрытой кабине %2")
            .arg(weather, WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab));
      });
    } else {
      s.flightCase = FlightCase::Case2d;
      explainCase([&] { return QStringLiteral("%1, без шторки: %2").arg(weather, nothing); });
    }
    return;
  }

  s.Explain([&] {
    return QStringLiteral(
               "Облачность %1, полёт на %2 м — на нижней границе облаков %3 м "
               "или выше.")
        .arg(TenthsText(r.Bal))
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
    s.flightCase = FlightCase::Case3a;
    t.TOgrVid = t.TPod;
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    explainCase([&] {
      return QStringLiteral(
                 "%1, %2: при ограниченной видимости — набор до облаков %3, в закрытой кабине %4, "
                 "за облаками %5")
          .arg(weather, hoodPlace(), ExplainedTime(t.TOgrVid),
               WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab),
               WorkedTime({t.TShtorka, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (!within && hood) {
    s.flightCase = FlightCase::Case3b;
    t.TOgrVid = t.TShtorka;
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    explainCase([&] {
      return QStringLiteral(
                 "%1, %2: при ограниченной видимости — набор до середины участка под шторкой %3, "
                 "в закрытой кабине без времени в облаках %4")
          .arg(weather, hoodPlace(), ExplainedTime(t.TOgrVid),
               WorkedTime({r.Tpol, t.TShtorka, t.TObl}, t.TZakKab));
    });
  } else if (!within) {
    s.flightCase = FlightCase::Case3c;
    t.TOgrVid = t.TPod;
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    explainCase([&] {
      return QStringLiteral(
                 "%1, без шторки: при ограниченной видимости — набор до облаков %2, за облаками "
                 "%3")
          .arg(weather, ExplainedTime(t.TOgrVid), WorkedTime({r.Tpol, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (hood && t.TShtorka > t.TPod) {
    s.flightCase = FlightCase::Case3d;
    t.TZakKab = CheckedSub(r.Tpol, t.TShtorka, zakKab);
    t.TZaObl = CheckedSub(CheckedSub(t.TShtorka, t.TPod, zaObl), t.TObl, zaObl);
    explainCase([&] {
      return QStringLiteral("%1, %2: в закрытой кабине %3, за облаками %4")
          .arg(weather, hoodPlace(), WorkedTime({r.Tpol, t.TShtorka}, t.TZakKab),
               WorkedTime({t.TShtorka, t.TPod, t.TObl}, t.TZaObl));
    });
  } else if (hood) {
    s.flightCase = FlightCase::Case3e;
    t.TZakKab = CheckedSub(CheckedSub(r.Tpol, t.TShtorka, zakKab), t.TObl, zakKab);
    explainCase([&] {
      return QStringLiteral("%1, %2: в закрытой кабине без времени в облаках %3")
          .arg(weather, hoodPlace(), WorkedTime({r.Tpol, t.TShtorka, t.TObl}, t.TZakKab));
    });
  } else {
    s.flightCase = FlightCase::Case3f;
    t.TZaObl = CheckedSub(CheckedSub(r.Tpol, t.TPod, zaObl), t.TObl, zaObl);
    explainCase([&] {
      return QStringLiteral("%1, без шторки: за облаками %2")
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
