// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: Meltor contributors
#pragma once

// The printout of a period: the flights in the logbook's order (by date, then by entry number)
// with the five categories in the order of the logbook's columns, page after page with the
// column headings on each, then the period's totals. Drawn on any paged device: a printer, or a
// PDF file (QPdfWriter). The lines are read a block at a time, so a long period needs no more
// memory than a short one.

#include "journal_rows.h"
#include "journal_totals.h"

#include <QString>

#include <optional>
#include <vector>

class QPagedPaintDevice;

namespace meltor {

struct LogbookPrintout {
  QString title;     // «Журнал полётов — март 2024»
  QString subtitle;  // the type chosen, the journal file, the day it was printed
  journal::Filter filter;
  std::vector<TotalsLine> totals;
};

// The pages drawn; or why nothing (or not everything) could be drawn.
journal::Result<int> PrintLogbook(QPagedPaintDevice& device, journal::RowReader& rows,
                                  const LogbookPrintout& printout);

}  // namespace meltor
