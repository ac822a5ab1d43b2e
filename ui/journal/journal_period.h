// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The periods the journal window lists and totals: a month, a quarter, a year, the whole journal
// or any span of days, and the step to the one before or after.

#include "journal.h"

#include <QDate>
#include <QString>

namespace meltor {

enum class PeriodKind { Month, Quarter, Year, All, Range };

struct Period {
  PeriodKind kind = PeriodKind::Month;
  QDate from;  // both null for All
  QDate to;

  bool operator==(const Period&) const = default;
};

// The month, quarter or year that holds `day`; All for the whole journal; Range is the one day.
Period PeriodAround(PeriodKind kind, const QDate& day);

// From `from` to `to`, both included, as given (a later `from` is swapped with `to`).
Period PeriodBetween(const QDate& from, const QDate& to);

// The period `steps` periods later (earlier when negative): the next month, quarter or year; a
// span moved by its own length. The whole journal stays as it is.
Period Shifted(const Period& period, int steps);

// As the window's title and the printout name it: «март 2024», «I квартал 2024», «2024 год»,
// «весь журнал», «с 01.03.2024 по 15.03.2024».
QString PeriodLabel(const Period& period);

// The journal's filter of the period and a type (empty: every type).
journal::Filter FilterOf(const Period& period, const QString& type);

// A date as the window shows it: 07.03.2024.
QString ShownDate(const QDate& date);

}  // namespace meltor
