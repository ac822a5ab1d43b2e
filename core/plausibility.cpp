// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "plausibility.h"

#include "results.h"

#include <cmath>

namespace meltor {

namespace {

QString Number(double v) {
  return QString::number(v, 'g', 15);
}

void Warn(FlightState& s, Field field, double value, const QString& typed, const QString& message) {
  InputWarning w;
  w.field = field;
  w.typed = typed;
  w.read = value;
  w.message = message;
  s.warnings.append(std::move(w));
}

void WarnResult(FlightState& s, ResultLabel label, const QString& message) {
  InputWarning w;
  w.result = label;
  w.message = message;
  s.warnings.append(std::move(w));
}

// A height below the ground or above any flight; `what` is told after the caption.
void CheckHeight(FlightState& s, Field field, int metres) {
  QString why;
  if (metres < 0) {
    why = QStringLiteral("отрицательная высота, ниже земли");
    if (field == Field::ShtorkaZ || field == Field::ShtorkaO) {
      why += QStringLiteral("; шторка поэтому не учитывается");
    }
  } else if (metres > kHighestPlausibleHeight) {
    why =
        QStringLiteral("выше %1 м, такой высоты у полёта не бывает; проверьте, не лишняя ли цифра")
            .arg(kHighestPlausibleHeight);
  } else {
    return;
  }
  Warn(s, field, metres, QString::number(metres),
       QStringLiteral("%1: %2 м — %3.").arg(FieldCaption(field)).arg(metres).arg(why));
}

// The middle of the hood band in metres, as the hood lookup takes it.
int HoodMiddle(const FlightRecord& r) {
  return static_cast<int>(std::nearbyint((int{r.ShtorkaZ} + int{r.ShtorkaO}) / 2.0));
}

bool HoodUsed(const FlightRecord& r) {
  return r.ShtorkaZ > 0 && r.ShtorkaO > 0;
}

// "3600 − 900 − 300 = 2400 с"
QString Difference(std::initializer_list<int> terms, int result) {
  QStringList parts;
  for (const int t : terms) parts << (t < 0 ? QStringLiteral("(%1)").arg(t) : QString::number(t));
  return QStringLiteral("%1 = %2 с").arg(parts.join(QStringLiteral(" − "))).arg(result);
}

// Why a category came out negative, in the pilot's words, from the case and the seconds.
QString NegativeCause(const FlightState& s, ResultLabel label, const TimeBreakdown& t, int flight) {
  const FlightRecord& r = s.rec;
  if (flight < 0) return QStringLiteral("отрицательное время полёта");
  const bool hoodAboveBase = HoodAboveCloudBase(s.flightCase);
  const bool hoodBelowBase = HoodLessCloud(s.flightCase);
  if (label == ResultLabel::ZaObl && hoodAboveBase) {
    return QStringLiteral(
               "шторка закрыта в облаках: середина участка под шторкой (%1 м) ниже верхней границы "
               "облаков (%2 м), и за облаками до неё выходит %3")
        .arg(HoodMiddle(r))
        .arg(r.Hv)
        .arg(Difference({t.TShtorka, t.TPod, t.TObl}, t.TZaObl));
  }
  if (label == ResultLabel::ZaObl) {
    return QStringLiteral(
               "полёт короче набора высоты через облака: полёт − набор до нижней границы − в "
               "облаках = %1")
        .arg(Difference({flight, t.TPod, t.TObl}, t.TZaObl));
  }
  if (label == ResultLabel::ZakKab && hoodBelowBase) {
    return QStringLiteral(
               "полёт короче набора до середины участка под шторкой (%1 м) и времени в облаках: %2")
        .arg(HoodMiddle(r))
        .arg(Difference({flight, t.TShtorka, t.TObl}, t.TZakKab));
  }
  if (label == ResultLabel::ZakKab) {
    return QStringLiteral("полёт короче набора до середины участка под шторкой (%1 м): %2")
        .arg(HoodMiddle(r))
        .arg(Difference({flight, t.TShtorka}, t.TZakKab));
  }
  if (r.Hn > r.Hv) return BaseAboveTopCause(r);
  return QStringLiteral("таблица набора высоты дала отрицательное время");
}

}  // namespace

void WarnImplausibleInputs(FlightState& s, double hours, double minutes, bool topGiven) {
  const FlightRecord& r = s.rec;
  if (r.Tpol < 0) {
    const Field field = hours < 0 ? Field::TpolChas : Field::TpolMin;
    Warn(s, field, field == Field::TpolChas ? hours : minutes,
         Number(field == Field::TpolChas ? hours : minutes),
         QStringLiteral("Время п-та: %1 ч %2 мин — отрицательное время полёта. Результаты "
                        "посчитаны как есть, но такого полёта не бывает: проверьте знак «-».")
             .arg(Number(hours), Number(minutes)));
  }
  if (r.Bal > 10 || r.Bal < 0) {
    Warn(s, Field::Bal, r.Bal, QString::number(r.Bal),
         QStringLiteral("%1: %2 — облачность бывает от 0 до 10 баллов; посчитано как %3.")
             .arg(FieldCaption(Field::Bal))
             .arg(r.Bal)
             .arg(r.Bal > 10 ? QStringLiteral("8 баллов и больше")
                             : QStringLiteral("меньше 8 баллов")));
  }
  CheckHeight(s, Field::Hn, r.Hn);
  if (topGiven) CheckHeight(s, Field::Hv, r.Hv);
  if (r.Hn > r.Hv) {
    Warn(s, Field::Hn, r.Hn, QString::number(r.Hn),
         QStringLiteral("%1: %2%3.")
             .arg(FieldCaption(Field::Hn), BaseAboveTopCause(r),
                  topGiven ? QString() : QStringLiteral(" (Нв не задана, принята 12000 м)")));
  }
  if (r.Vid < 0.0f) {
    Warn(s, Field::VidKm, double{r.Vid}, Number(double{r.Vid}),
         QStringLiteral("%1: %2 км — отрицательная видимость; посчитано как видимость ниже "
                        "минимума.")
             .arg(FieldCaption(Field::VidKm), QString::number(double{r.Vid}, 'g', 7)));
  }
  CheckHeight(s, Field::ShtorkaZ, r.ShtorkaZ);
  CheckHeight(s, Field::ShtorkaO, r.ShtorkaO);
  if (HoodUsed(r)) {
    for (const Field field : {Field::ShtorkaZ, Field::ShtorkaO}) {
      const int h = field == Field::ShtorkaZ ? r.ShtorkaZ : r.ShtorkaO;
      if (h <= r.Hpol) continue;
      Warn(s, field, h, QString::number(h),
           QStringLiteral("%1: %2 м — выше высоты полёта %3 м; проверьте высоты шторки и высоту "
                          "полёта.")
               .arg(FieldCaption(field))
               .arg(h)
               .arg(r.Hpol));
    }
  }
  CheckHeight(s, Field::Hpol, r.Hpol);
}

void WarnImplausibleResults(FlightState& s, const TimeBreakdown& seconds, int flightSeconds) {
  const TimeBreakdown& m = s.t;
  const std::array<std::pair<ResultLabel, int>, 4> categories = {{
      {ResultLabel::ZakKab, seconds.TZakKab},
      {ResultLabel::Obl, seconds.TObl},
      {ResultLabel::ZaObl, seconds.TZaObl},
      {ResultLabel::OgrVid, seconds.TOgrVid},
  }};
  const std::array<int, kResultCount> minutes = {m.TZakKab, m.TObl, m.TZaObl, m.TOgrVid, m.TSMU};
  QStringList inTotal;  // negative categories that went into the total
  for (const auto& [label, secs] : categories) {
    const int i = static_cast<int>(label);
    if (secs >= 0 && minutes[i] >= 0) continue;
    const QString shown = minutes[i] == 0 ? QStringLiteral("-") : MinutesText(minutes[i]);
    WarnResult(s, label,
               QStringLiteral("%1 %2: отрицательное время (%3 с) — %4. Число оставлено, как оно "
                              "посчитано; в лётную книжку его не переносите, проверьте данные.")
                   .arg(ResultHeadings()[i], shown)
                   .arg(secs)
                   .arg(NegativeCause(s, label, seconds, flightSeconds)));
    if (label != ResultLabel::ZakKab && minutes[i] < 0) {
      inTotal << QStringLiteral("%1 %2").arg(ResultHeadings()[i], shown);
    }
  }
  if (inTotal.isEmpty()) return;
  const int total = m.TSMU;
  WarnResult(s, ResultLabel::SMU,
             QStringLiteral("%1 %2: в сумму вошло отрицательное время (%3)%4.")
                 .arg(ResultHeadings()[static_cast<int>(ResultLabel::SMU)],
                      total == 0 ? QStringLiteral("ПМУ") : MinutesText(total),
                      inTotal.join(QStringLiteral(", ")),
                      total == 0 ? QStringLiteral(", поэтому полёт показан как ПМУ")
                                 : QStringLiteral(", и сумма занижена")));
}

QString BaseAboveTopCause(const FlightRecord& r) {
  if (r.Hn <= r.Hv) return {};
  return QStringLiteral(
             "нижняя граница облаков Нн %1 м выше верхней Нв %2 м — проверьте, не "
             "перепутаны ли Нн и Нв")
      .arg(r.Hn)
      .arg(r.Hv);
}

}  // namespace meltor
