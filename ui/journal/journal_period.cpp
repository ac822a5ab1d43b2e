// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#include "journal_period.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace meltor {

Period PeriodAround(PeriodKind kind, const QDate& day) {
  const int year = day.year();
  switch (kind) {
    case PeriodKind::Month: {
      const QDate first(year, day.month(), 1);
      return {kind, first, first.addMonths(1).addDays(-1)};
    }
    case PeriodKind::Quarter: {
      const QDate first(year, (day.month() - 1) / 3 * 3 + 1, 1);
      return {kind, first, first.addMonths(3).addDays(-1)};
    }
    case PeriodKind::Year:
      return {kind, QDate(year, 1, 1), QDate(year, 12, 31)};
    case PeriodKind::All:
      return {kind, {}, {}};
    case PeriodKind::Range:
      return {kind, day, day};
  }
  return {kind, day, day};
}

Period PeriodBetween(const QDate& from, const QDate& to) {
  return from <= to ? Period{PeriodKind::Range, from, to} : Period{PeriodKind::Range, to, from};
}

Period Shifted(const Period& period, int steps) {
  switch (period.kind) {
    case PeriodKind::Month:
      return PeriodAround(period.kind, period.from.addMonths(steps));
    case PeriodKind::Quarter:
      return PeriodAround(period.kind, period.from.addMonths(3 * steps));
    case PeriodKind::Year:
      return PeriodAround(period.kind, period.from.addYears(steps));
    case PeriodKind::All:
      return period;
    case PeriodKind::Range: {
      const qint64 length = period.from.daysTo(period.to) + 1;
      return {period.kind, period.from.addDays(length * steps), period.to.addDays(length * steps)};
    }
  }
  return period;
}

QString PeriodLabel(const Period& period) {
  using journal::Grouping;
  switch (period.kind) {
    case PeriodKind::Month:
      return journal::GroupLabel(Grouping::Month, period.from.toString(u"yyyy-MM"_s));
    case PeriodKind::Quarter:
      return journal::GroupLabel(
          Grouping::Quarter,
          u"%1-Q%2"_s.arg(period.from.year()).arg((period.from.month() + 2) / 3));
    case PeriodKind::Year:
      return journal::GroupLabel(Grouping::Year, QString::number(period.from.year()));
    case PeriodKind::All:
      return u"весь журнал"_s;
    case PeriodKind::Range:
      return period.from == period.to
                 ? ShownDate(period.from)
                 : u"с %1 по %2"_s.arg(ShownDate(period.from), ShownDate(period.to));
  }
  return {};
}

journal::Filter FilterOf(const Period& period, const QString& type) {
  return {period.from, period.to, type};
}

QString ShownDate(const QDate& date) {
  return date.toString(u"dd.MM.yyyy"_s);
}

}  // namespace meltor
