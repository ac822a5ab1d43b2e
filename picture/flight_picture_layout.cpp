// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
// What the picture of a flight shows, taken from the calculation's recorded values.

#include "flight_picture.h"
#include "profiles.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

using namespace Qt::StringLiterals;

namespace meltor {

namespace {

QString YesNo(bool yes) {
  return yes ? u"да"_s : u"нет"_s;
}

QString DayNightWords(DayNight d) {
  switch (d) {
    case DayNight::Day:
      return u"днём"_s;
    case DayNight::Night:
      return u"ночью"_s;
    case DayNight::None:
      break;
  }
  return u"день или ночь не выбраны"_s;
}

QString Heading(PictureCategory c) {
  switch (c) {
    case PictureCategory::ZakKab:
      return ResultHeadings()[static_cast<int>(ResultLabel::ZakKab)];
    case PictureCategory::Obl:
      return ResultHeadings()[static_cast<int>(ResultLabel::Obl)];
    case PictureCategory::ZaObl:
      return ResultHeadings()[static_cast<int>(ResultLabel::ZaObl)];
    case PictureCategory::OgrVid:
      return ResultHeadings()[static_cast<int>(ResultLabel::OgrVid)];
    case PictureCategory::NotCounted:
      break;
  }
  return u"не засчитано"_s;
}

QString Where(PictureCategory c, FlightCase id) {
  switch (c) {
    case PictureCategory::OgrVid:
      if (id == FlightCase::Case1a) return u"весь полёт, видимость не выше минимума"_s;
      if (id == FlightCase::Case2b) return u"весь полёт, ниже облаков"_s;
      // Below the minima with the hood, the limited visibility lasts until the hood closes.
      if (UsesHood(id) && !HoodAboveCloudBase(id))
        return u"набор до середины участка под шторкой"_s;
      return u"ниже облаков"_s;
    case PictureCategory::Obl:
      return u"в облаках"_s;
    case PictureCategory::ZaObl:
      // What the calculation counts here: from the cloud top to the middle of the hood band.
      return HoodAboveCloudBase(id) ? u"над облаками до середины участка под шторкой"_s
                                    : u"над облаками"_s;
    case PictureCategory::ZakKab:
      return HoodLessCloud(id) ? u"под шторкой, кроме облаков"_s : u"под шторкой"_s;
    case PictureCategory::NotCounted:
      if (UsesHood(id)) return u"набор до середины участка под шторкой"_s;
      if (GroupOf(id) == CaseGroup::ReachesCloudBase) return u"ниже облаков, в пределах минимума"_s;
      return u"в пределах минимума"_s;
  }
  return {};
}

// "150 с = 2 мин 30 с → 2 мин", "+1 мин по балансу"; empty when the seconds were whole minutes
// and the balance left the category alone.
QString RoundingNote(int seconds, int minutes, int balance) {
  QStringList parts;
  if (seconds % 60 != 0) {
    const int whole = std::abs(seconds) / 60;
    const int rest = std::abs(seconds) % 60;
    parts << u"%1 с = %2%3 мин %4 с → %5 мин%6"_s.arg(seconds)
                 .arg(seconds < 0 ? u"-"_s : QString())
                 .arg(whole)
                 .arg(rest)
                 .arg(minutes - balance)
                 .arg(rest == 30 ? u" (к чётному)"_s : QString());
  }
  if (balance > 0) parts << u"+1 мин по балансу"_s;
  if (balance < 0) parts << u"-1 мин по балансу"_s;
  return parts.join(u"; "_s);
}

struct Piece {
  PictureCategory category;
  int end;  // seconds from the start
};

// The order in which the categories follow each other in the flight, case by case: below the
// cloud base for TPod, in cloud for TObl, then above; the hood closed from TShtorka on.
QList<Piece> Pieces(FlightCase id, const TimeBreakdown& t, int flight) {
  using C = PictureCategory;
  const int P = t.TPod, O = t.TPod + t.TObl, S = t.TShtorka, T = flight;
  switch (id) {
    case FlightCase::Case1a:
    case FlightCase::Case2b:
      return {{C::OgrVid, T}};
    case FlightCase::Case1c:
    case FlightCase::Case2d:
      return {{C::NotCounted, T}};
    case FlightCase::Case1b:
    case FlightCase::Case2c:
      return {{C::NotCounted, S}, {C::ZakKab, T}};
    case FlightCase::Case2a:
      return {{C::OgrVid, S}, {C::ZakKab, T}};
    case FlightCase::Case3a:
      return {{C::OgrVid, P}, {C::Obl, O}, {C::ZaObl, S}, {C::ZakKab, T}};
    case FlightCase::Case3b:
      return {{C::OgrVid, S}, {C::ZakKab, P}, {C::Obl, O}, {C::ZakKab, T}};
    case FlightCase::Case3c:
      return {{C::OgrVid, P}, {C::Obl, O}, {C::ZaObl, T}};
    case FlightCase::Case3d:
      return {{C::NotCounted, P}, {C::Obl, O}, {C::ZaObl, S}, {C::ZakKab, T}};
    case FlightCase::Case3e:
      return {{C::NotCounted, S}, {C::ZakKab, P}, {C::Obl, O}, {C::ZakKab, T}};
    case FlightCase::Case3f:
      return {{C::NotCounted, P}, {C::Obl, O}, {C::ZaObl, T}};
    case FlightCase::None:
      break;
  }
  return {};
}

int Recorded(PictureCategory c, const TimeBreakdown& t) {
  switch (c) {
    case PictureCategory::OgrVid:
      return t.TOgrVid;
    case PictureCategory::Obl:
      return t.TObl;
    case PictureCategory::ZaObl:
      return t.TZaObl;
    case PictureCategory::ZakKab:
      return t.TZakKab;
    case PictureCategory::NotCounted:
      break;
  }
  return 0;
}

void LayoutTimeline(const CalcOutcome& out, FlightPictureLayout& l) {
  const FlightState& s = out.state;
  const FlightCase id = s.flightCase;
  l.timeline = true;
  l.flightSeconds = out.TpolSeconds;
  l.flightMinutes = s.rec.Tpol;

  bool clipped = false;
  int at = 0;
  for (const Piece& piece : Pieces(id, out.seconds, out.TpolSeconds)) {
    // Times that run backwards or past the end of the flight are cut to the flight.
    const int end = std::clamp(piece.end, at, std::max<int>(out.TpolSeconds, at));
    if (piece.end > out.TpolSeconds) clipped = true;
    auto it = std::find_if(l.segments.begin(), l.segments.end(),
                           [&](const TimelineSegment& g) { return g.category == piece.category; });
    if (it == l.segments.end()) {
      TimelineSegment g;
      g.category = piece.category;
      if (piece.category != PictureCategory::NotCounted) {
        g.seconds = Recorded(piece.category, out.seconds);
        g.minutes = Recorded(piece.category, out.minutes);
        if (piece.category == PictureCategory::Obl && out.balance == BalanceMove::AddedToObl) {
          g.balance = 1;
        }
        if (piece.category == PictureCategory::ZaObl &&
            out.balance == BalanceMove::TakenFromZaObl) {
          g.balance = -1;
        }
        g.caption = u"%1 — %2 мин"_s.arg(Heading(piece.category)).arg(g.minutes);
        g.rounding = RoundingNote(g.seconds, g.minutes, g.balance);
      } else {
        g.caption = Heading(piece.category);
      }
      g.where = Where(piece.category, id);
      l.segments.append(g);
      it = l.segments.end() - 1;
    }
    if (end > at) it->spans.append({at, end});
    if (piece.category == PictureCategory::NotCounted) it->seconds += end - at;
    at = end;
  }

  for (const TimelineSegment& g : l.segments) {
    if (g.seconds < 0) {
      l.notes << u"«%1» отрицательно (%2 с) — на шкале не показано."_s.arg(Heading(g.category))
                     .arg(g.seconds);
    }
  }
  if (clipped) {
    l.notes << u"Времена подъёма не укладываются во время полёта: шкала обрезана по нему."_s;
  }

  if (UsesHood(id)) {
    // The band shows what the calculation credited under the hood, from its own seconds: from
    // the climb to the middle of the hood band to the end, less the time in cloud where that is
    // taken out. It may overlap the flight's bar where the calculation's own numbers overlap.
    l.hoodCase = true;
    const bool lessCloud = HoodLessCloud(id);
    const int T = out.TpolSeconds;
    const auto clip = [T](int t) { return std::clamp(t, 0, std::max(T, 0)); };
    const TimeBreakdown& t = out.seconds;
    QList<TimeSpan> spans;
    if (lessCloud) {
      spans = {{clip(t.TShtorka), clip(t.TPod)}, {clip(t.TPod + t.TObl), clip(T)}};
    } else {
      spans = {{clip(t.TShtorka), clip(T)}};
    }
    if (t.TZakKab > 0) {
      for (const TimeSpan& s : spans) {
        if (s.to > s.from) l.hood << s;
      }
    }
    l.notes << u"Шторка закрыта на %1 м, открыта на %2 м. В закр. кабине засчитано время от "
               u"набора до середины этого участка (%3 с) до конца полёта%4: %5 с."_s
                   .arg(s.rec.ShtorkaZ)
                   .arg(s.rec.ShtorkaO)
                   .arg(out.seconds.TShtorka)
                   .arg(lessCloud ? u", кроме времени в облаках"_s : QString())
                   .arg(out.seconds.TZakKab);
  } else if (s.rec.ShtorkaZ != 0 || s.rec.ShtorkaO != 0) {
    l.notes << (id == FlightCase::Case1a
                    ? u"Высоты шторки заданы, но при видимости не выше минимума не учитываются."_s
                    : u"Шторка не учитывается: обе высоты должны быть больше 0."_s);
  }

  if (out.TpolSeconds % 60 != 0) {
    l.notes << u"Время полёта %1 с округлено до %2 мин."_s.arg(out.TpolSeconds).arg(s.rec.Tpol);
  }
  const int sum = out.minutes.TSMU;
  const int before = sum - (out.balance == BalanceMove::AddedToObl       ? 1
                            : out.balance == BalanceMove::TakenFromZaObl ? -1
                                                                         : 0);
  if (out.balance == BalanceMove::AddedToObl) {
    l.notes << u"Сумма округлённых категорий %1 мин меньше %2 мин полёта: баланс добавил 1 мин "
               u"к «в обл.»."_s.arg(before)
                   .arg(s.rec.Tpol);
  } else if (out.balance == BalanceMove::TakenFromZaObl) {
    l.notes << u"Сумма округлённых категорий %1 мин больше %2 мин полёта: баланс снял 1 мин "
               u"с «за обл.»."_s.arg(before)
                   .arg(s.rec.Tpol);
  } else if (!UsesHood(id) && out.minutes.TOgrVid + out.minutes.TObl + out.minutes.TZaObl > 0 &&
             before != s.rec.Tpol) {
    l.notes << u"Сумма округлённых категорий %1 мин, полёт %2 мин: баланс не делается "
               u"(заданы высоты шторки или нет времени при огр. видимости)."_s.arg(before)
                   .arg(s.rec.Tpol);
  }
}

void LayoutHeights(const CalcOutcome& out, FlightPictureLayout& l) {
  const FlightState& s = out.state;
  const FlightRecord& r = s.rec;
  l.heights = true;
  // Below 8 tenths the calculation looks at no cloud: none is drawn, nor its heights.
  l.cloudCounts = r.Bal >= 8;
  l.cloudBase = r.Hn;
  l.cloudTop = r.Hv;
  l.cloudCaption = l.cloudCounts ? u"облачность %1 баллов"_s.arg(r.Bal)
                                 : u"облачность %1 баллов, меньше 8 — не учитывается"_s.arg(r.Bal);
  l.marks << HeightMark{HeightMark::Ground, 0, u"земля"_s};
  if (l.cloudCounts) {
    l.marks << HeightMark{HeightMark::CloudBase, r.Hn, u"Нн %1 м"_s.arg(r.Hn)};
    l.marks << HeightMark{HeightMark::CloudTop, r.Hv, u"Нв %1 м"_s.arg(r.Hv)};
  }
  l.marks << HeightMark{HeightMark::Flight, r.Hpol, u"высота полёта %1 м"_s.arg(r.Hpol)};
  if (r.ShtorkaZ != 0) {
    l.marks << HeightMark{HeightMark::HoodClose, r.ShtorkaZ,
                          u"шторка закрыта на %1 м"_s.arg(r.ShtorkaZ)};
  }
  if (r.ShtorkaO != 0) {
    l.marks << HeightMark{HeightMark::HoodOpen, r.ShtorkaO,
                          u"шторка открыта на %1 м"_s.arg(r.ShtorkaO)};
  }
  if (out.reached < CalcStep::Classify) return;  // the minima were not chosen

  const WeatherMinima& m = s.minima;
  if (l.cloudCounts) {
    l.marks << HeightMark{HeightMark::Minimum, m.HnMin1, u"1-й минимум Нн %1 м"_s.arg(m.HnMin1)};
    l.marks << HeightMark{HeightMark::Minimum, m.HnMin2, u"2-й минимум Нн %1 м"_s.arg(m.HnMin2)};
    l.minimaLines << u"Нн %1 м > %2 м — %3"_s.arg(r.Hn).arg(m.HnMin1).arg(YesNo(r.Hn > m.HnMin1));
    l.minimaLines << u"видимость %1 км > %2 км — %3"_s.arg(
        KilometresText(r.Vid), KilometresText(m.VidMin1), YesNo(r.Vid > m.VidMin1));
    l.minimaLines << u"Нн > %1 м или видимость > %2 км — %3"_s.arg(m.HnMin2).arg(
        KilometresText(m.VidMin2), YesNo(r.Hn > m.HnMin2 || r.Vid > m.VidMin2));
  } else {
    l.minimaLines << u"Нн не учитывается"_s;
    l.minimaLines << u"видимость %1 км > %2 км — %3"_s.arg(
        KilometresText(r.Vid), KilometresText(m.VidMin1), YesNo(r.Vid > m.VidMin1));
  }
  if (s.flightCase != FlightCase::None) {
    l.verdict = BelowMinima(s.flightCase) ? u"ниже минимума"_s : u"в пределах минимума"_s;
  }
}

// The fields in the order the calculation reads them, with what each gave.
QStringList ReadFields(const CalcOutcome& out) {
  const FlightRecord& r = out.state.rec;
  const struct {
    QList<Field> fields;
    QString caption;
    QString value;
  } order[] = {
      {{Field::Hpol}, FieldCaption(Field::Hpol), QString::number(r.Hpol)},
      {{Field::TpolMin, Field::TpolChas}, u"Время п-та, с"_s, QString::number(r.Tpol)},
      {{Field::Bal}, FieldCaption(Field::Bal), QString::number(r.Bal)},
      {{Field::Hn}, FieldCaption(Field::Hn), QString::number(r.Hn)},
      {{Field::Hv}, FieldCaption(Field::Hv), QString::number(r.Hv)},
      {{Field::VidKm, Field::VidSm}, u"Видимость, км"_s, KilometresText(r.Vid)},
      {{Field::ShtorkaZ}, FieldCaption(Field::ShtorkaZ), QString::number(r.ShtorkaZ)},
      {{Field::ShtorkaO}, FieldCaption(Field::ShtorkaO), QString::number(r.ShtorkaO)},
  };
  const bool reading = out.reached == CalcStep::Reading;
  const Field failed = out.error ? out.error->field() : Field::None;
  QStringList lines;
  // Stopped before any field was read (a row of a file that could not be taken apart, say).
  bool stopped = reading && std::none_of(std::begin(order), std::end(order),
                                         [&](const auto& f) { return f.fields.contains(failed); });
  for (const auto& f : order) {
    if (stopped) {
      lines << u"%1: не прочитано"_s.arg(f.caption);
    } else if (reading && f.fields.contains(failed)) {
      lines << u"%1: ошибка"_s.arg(f.caption);
      stopped = true;
    } else {
      lines << u"%1: %2"_s.arg(f.caption, f.value);
    }
  }
  if (out.reached == CalcStep::Profile && failed == Field::Typ) {
    lines << u"%1: ошибка"_s.arg(FieldCaption(Field::Typ));
  }
  if (out.reached >= CalcStep::Classify) {
    const TimeBreakdown& t = out.state.t;
    if (out.state.flightCase != FlightCase::None) {
      lines << u"Случай %1"_s.arg(CaseText(out.state.flightCase));
    }
    if (t.TPod != 0) lines << u"Подъём до Нн (из таблиц): %1 с"_s.arg(t.TPod);
    if (t.TObl != 0) lines << u"В облаках (из таблиц): %1 с"_s.arg(t.TObl);
    if (t.TShtorka != 0) lines << u"Подъём до середины шторки (из таблиц): %1 с"_s.arg(t.TShtorka);
  }
  return lines;
}

}  // namespace

FlightPictureLayout LayoutFlightPicture(const CalcOutcome& out) {
  FlightPictureLayout l;
  const FlightState& s = out.state;
  l.results = out.labels.text;
  QString title = u"Разбор полёта"_s;
  if (s.profile) title += u" — %1, %2"_s.arg(s.profile->Entry(), DayNightWords(s.dayNight));
  l.title = title;

  if (!out.ok()) {
    l.failed = true;
    l.failure = out.error->message();
    l.subtitle = u"Расчёт не выполнен — показано то, что прочитано до остановки."_s;
    l.readFields = ReadFields(out);
    if (out.reached >= CalcStep::Profile) LayoutHeights(out, l);
    return l;
  }
  l.subtitle = CaseWords(s.flightCase);
  // What the pilot was told beside the results comes first.
  for (const InputWarning& w : out.warnings) l.notes << u"Внимание: "_s + w.message;
  LayoutTimeline(out, l);
  LayoutHeights(out, l);
  return l;
}

}  // namespace meltor
