// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The totals the journal window shows and prints for a period: the period's flights, by day and
// by night, and everything since the opening balance up to the period's end, each as a number of
// flights and the five categories in minutes.

#include "journal.h"
#include "journal_period.h"

#include <QString>

#include <vector>

namespace meltor {

struct TotalsLine {
  QString label;  // «За период», «днём», «ночью», …
  journal::Sums sums;
  QString note;  // what the line holds, for its tooltip and the printout
};

// The lines from the journal's totals: `period` of the period's filter grouped by day and night,
// `sinceStart` of the same filter from the first day (grouping None) to the period's end.
//   «За период»            the period's flights (period.flights)
//   «днём», «ночью»        its groups; «день/ночь не указаны» only when it holds flights
//   «С начала учёта»       sinceStart.grand: the flights up to the period's end and the opening
//                          balance items that count (none when a type is chosen)
std::vector<TotalsLine> TotalsLines(const journal::Totals& period,
                                    const journal::Totals& sinceStart, const Period& shown);

// The totals of `period` and `type` read from `journal`: the two Total() calls TotalsLines needs.
journal::Result<std::vector<TotalsLine>> ReadTotals(journal::Journal& journal, const Period& period,
                                                    const QString& type);

// A total of minutes as the logbook writes it and as a number: "2:05 (125)".
QString MinutesCell(qint64 minutes);

}  // namespace meltor
